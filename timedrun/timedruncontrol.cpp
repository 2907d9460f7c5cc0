#include "timedrun/timedruncontrol.h"

#include "link/linkprotocol.h"
#include "session/pumpsession.h"

#include <QTimer>

#include <utility>

namespace {

const QString kRun = QString::fromLatin1(LinkProtocol::kRunFrame);
const QString kStop = QString::fromLatin1(LinkProtocol::kStopFrame);

} // namespace

TimedRunControl::TimedRunControl(QTimer *ticker, PumpSession *session, QObject *parent)
    : QObject(parent), m_ticker(ticker), m_session(session)
{
    m_ticker->setInterval(TimedRun::kTickInterval);
    // Late ticks lose no time (the run clock counts what passed), but a coarse timer would
    // make every second of the clock uneven.
    m_ticker->setTimerType(Qt::PreciseTimer);
}

bool TimedRunControl::counting() const
{
    return m_ticker->isActive();
}

QString TimedRunControl::clockText() const
{
    return tr("已运行 %1:%2:%3").arg(m_shown.hours, m_shown.minutes, m_shown.seconds);
}

bool TimedRunControl::setTime(const QString &answer)
{
    if (!m_run.setTime(answer))
        return false;
    m_session->logEvent("run-set", tr("%1 分").arg(QLocale().toString(m_run.timeset())));
    Q_EMIT setTimeChanged();
    return true;
}

void TimedRunControl::startTicking()
{
    // An enabled tick keeps its interval; only a stopped one starts a fresh second, and the
    // part of a second that passed before a pause is not counted.
    if (!m_ticker->isActive()) {
        m_clock.restart();
        m_ticker->start();
    }
}

QString TimedRunControl::start(const QString &source)
{
    m_run.start();
    startTicking();
    m_inProgress = true;
    m_startedAt = QDateTime::currentDateTime();
    m_session->logEvent("run-start",
                        tr("设定时间 %1 分").arg(QLocale().toString(m_run.timeset())));
    Q_EMIT runStarted();
    const QString failure = m_session->send(kRun, source);
    Q_EMIT clockShown(true);
    return failure;
}

QString TimedRunControl::pause(const QString &source)
{
    m_ticker->stop();
    m_session->logEvent("run-pause", clockText());
    return m_session->send(kStop, source);
}

QString TimedRunControl::resume(const QString &source)
{
    startTicking();
    m_inProgress = true;
    m_session->logEvent("run-continue", clockText());
    return m_session->send(kRun, source);
}

QString TimedRunControl::end(const QString &source)
{
    m_startedAt = QDateTime();
    // A run that reached its set time has ended already: 结束 still stops the pump and hides
    // the clock, but the run does not end twice.
    if (std::exchange(m_inProgress, false))
        m_session->logEvent("run-end", tr("结束：%1").arg(clockText()));
    m_run.end();
    m_ticker->stop();
    const QString failure = m_session->send(kStop, source);
    Q_EMIT runEnded();
    Q_EMIT clockShown(false);
    Q_EMIT setTimeChanged();
    return failure;
}

void TimedRunControl::tick()
{
    // A tick held up (a busy machine, a suspend) counts every second that has passed.
    const TimedRun::Tick tick = m_run.tick(m_clock.takeSeconds());
    m_shown = tick.clock;
    Q_EMIT clockChanged(tick.clock);
    if (!tick.ended)
        return;
    m_startedAt = QDateTime();
    m_inProgress = false;
    // Stopped first, so that what the run's end publishes no longer says it counts.
    m_ticker->stop();
    m_session->logEvent("run-end", tr("到设定时间：%1").arg(clockText()));
    // Nobody may be at the screen: the stop is held and goes out first when the line is back.
    m_session->sendStop(tr("定时运行到时"), PendingStop::Cause::TimedRun,
                        tr("定时运行已到设定时间"));
    Q_EMIT runEnded();
}
