#include "program/programcontrol.h"

#include "alarms/alarmmonitor.h"
#include "files/boundedread.h"
#include "link/linkprotocol.h"
#include "link/numbertext.h"
#include "program/programfile.h"
#include "session/pumpsession.h"
#include "status/showntext.h"
#include "timedrun/runclock.h"
#include "timedrun/runjournal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonObject>
#include <QTimer>

#include <cmath>

namespace {

QByteArray fileHash(const QString &path)
{
    if (path.isEmpty())
        return {};
    const BoundedRead::Result read = BoundedRead::within(path, BoundedRead::kProgramBytes);
    return read.bytes ? QCryptographicHash::hash(*read.bytes, QCryptographicHash::Sha256).toHex()
                      : QByteArray();
}

} // namespace

ProgramControl::ProgramControl(PumpSession *session, AlarmMonitor *alarms, RunJournal *journal,
                               std::function<bool()> timedRunActive, QObject *parent)
    : QObject(parent), m_session(session), m_journal(journal),
      m_timedRunActive(std::move(timedRunActive)), m_clock(RunClock::bootTimeMs),
      m_ticker(new QTimer(this))
{
    m_ticker->setInterval(kTickMs);
    m_ticker->setTimerType(Qt::PreciseTimer);
    connect(m_ticker, &QTimer::timeout, this, &ProgramControl::tick);
    connect(session, &PumpSession::frameSent, this,
            [this](const PumpSession::SentFrame &sent) { onFrameSent(sent.frame, sent.source); });
    connect(session, &PumpSession::reading, this, [this](const QString &text) {
        if (!m_runner || (m_runner->state() != ProgramRunner::State::Running &&
                          m_runner->state() != ProgramRunner::State::Ending))
            return;
        m_runner->reading(text);
        const std::optional<double> value = NumberText::toDouble(text);
        if (const std::optional<qint64> second = programSecond(); value && second)
            Q_EMIT readingAt(*second, *value);
    });
    connect(session, &PumpSession::linkChanged, this,
            [this](PumpSession::Link link, PumpSession::Link before) {
                onLink(link == PumpSession::Link::Open, before == PumpSession::Link::Lost);
                if (link == PumpSession::Link::Lost && m_runner)
                    m_runner->linkLost();
                Q_EMIT changed();
            });
    // 通信 may open another device while the line is up: no change of the link, but this pump
    // is no longer the panel's.
    connect(session, &PumpSession::statusChanged, this, [this] {
        if (m_runner && m_session->link() == PumpSession::Link::Open &&
            m_session->device() != m_device)
            m_runner->otherDevice();
    });
    // The operator's command refused while the link was down is still the operator's word: a
    // program paused by the outage then waits for 继续.
    connect(session, &PumpSession::frameRefused, this,
            [this](const QString &frame, const QString &source) {
                if (m_runner && source != this->source() && source != PumpSession::alarmSource())
                    m_runner->operatorCommand(frame == QLatin1String(LinkProtocol::kStopFrame));
            });
    connect(session, &PumpSession::statusChanged, this, [this] {
        if (!m_endedInOutage.isEmpty() && !m_session->pendingStop().isPending()) {
            m_endedInOutage.clear();
            Q_EMIT changed();
        }
    });
    // The pump commanded settles the notice of an interrupted program, as it does a timed run's.
    connect(session, &PumpSession::pumpCommanded, this, &ProgramControl::acknowledgeInterrupted);
    connect(session, &PumpSession::alarmActed, this, [this] {
        if (m_runner)
            m_runner->alarmStop();
    });
    if (alarms) {
        connect(alarms, &AlarmMonitor::raised, this, [this](const AlarmMonitor::Alarm &alarm) {
            if (!m_runner || alarm.stops || m_runner->state() != ProgramRunner::State::Running)
                return;
            m_warning = tr("报警“%1”只作提醒，程序继续").arg(AlarmMonitor::name(alarm.kind));
            log("prog-step", m_warning);
            Q_EMIT changed();
        });
    }
}

ProgramControl::~ProgramControl() = default;

QString ProgramControl::source() const
{
    return tr("程序“%1”").arg(m_program.name);
}

void ProgramControl::log(const char *key, const QString &text)
{
    m_session->logEvent(key, text);
}

QString ProgramControl::start(const Program &program, const QString &path)
{
    return begin(program, path, [](ProgramRunner &runner) { return runner.start(); });
}

QString ProgramControl::begin(const Program &program, const QString &path,
                              const std::function<bool(ProgramRunner &)> &how)
{
    if (m_runner && m_runner->state() != ProgramRunner::State::Ended &&
        m_runner->state() != ProgramRunner::State::Idle)
        return tr("程序“%1”正在进行，请先结束它。").arg(m_program.name);
    if (m_timedRunActive && m_timedRunActive())
        return tr("定时运行正在计时或已暂停，程序不能开始。请先结束定时运行。");
    if (m_session->link() != PumpSession::Link::Open)
        return tr("通信端口未打开，程序不能开始。请先选择“通信”打开端口。");
    m_endedInOutage.clear();
    m_program = program;
    m_path = path;
    m_fileHash = fileHash(path);
    // The end block goes into the journal as a program of its own, so that it can still wind
    // the pump down when the file has changed or gone.
    Program endOnly = program;
    ProgramStep stop;
    stop.kind = ProgramStep::Kind::Stop;
    endOnly.steps = {stop};
    m_endText = QString::fromUtf8(ProgramFile::write(endOnly));
    m_device = m_session->device();
    m_warning.clear();
    m_runner = std::make_unique<ProgramRunner>(program, m_clock);
    Q_EMIT runnerChanged();
    ProgramRunner *runner = m_runner.get();
    connect(runner, &ProgramRunner::send, this, [this](const QString &frame) {
        if (const QString failure = m_session->send(frame, source()); !failure.isEmpty())
            log("prog-step", tr("%1 未能发送：%2").arg(frame, failure));
        // Each setpoint is journalled as it goes out, so that a resume never steps back.
        else if (frame.at(3) == u'L' || frame.at(3) == u'P')
            keepPosition(true);
    });
    connect(runner, &ProgramRunner::stepStarted, this, [this](const QString &path) {
        log("prog-step", path);
        keepPosition(true);
        Q_EMIT changed();
    });
    connect(runner, &ProgramRunner::paused, this, [this](const QString &why) {
        log("prog-pause", why);
        keepPosition(true);
        Q_EMIT changed();
    });
    connect(runner, &ProgramRunner::continued, this, [this] {
        log("prog-continue", m_program.name);
        Q_EMIT changed();
    });
    connect(runner, &ProgramRunner::endBlockStarted, this, [this](const QString &why) {
        log("prog-step", tr("结束程序段：%1").arg(why));
        Q_EMIT changed();
    });
    connect(runner, &ProgramRunner::ended, this, [this](const QString &why) {
        log("prog-end", tr("“%1”：%2").arg(m_program.name, why));
        finished();
    });
    // The file's hash beside its name, so that the record says which version of it ran.
    const QString file = path.isEmpty()         ? tr("未保存")
                         : m_fileHash.isEmpty() ? QDir::toNativeSeparators(path)
                                                : tr("%1，SHA-256 %2")
                                                      .arg(QDir::toNativeSeparators(path),
                                                           QString::fromLatin1(m_fileHash));
    log("prog-start",
        tr("“%1”（%2），泵 %3，%4")
            .arg(program.name, file, QString::number(program.pump),
                 program.onLinkLost == Program::OnLinkLost::Pause ? tr("断线时暂停")
                                                                  : tr("断线时结束程序")));
    const std::optional<Interrupted> offered = std::exchange(m_interrupted, std::nullopt);
    if (!how(*runner)) {
        m_interrupted = offered;
        m_runner.reset();
        Q_EMIT runnerChanged();
        const QString why = tr("程序无法从记录的位置继续。");
        log("prog-end", tr("“%1”：%2").arg(program.name, why));
        Q_EMIT changed();
        return why;
    }
    if (m_runner->state() != ProgramRunner::State::Ended)
        m_ticker->start();
    keepPosition(true);
    Q_EMIT changed();
    return {};
}

void ProgramControl::pause()
{
    if (m_runner)
        m_runner->pause();
}

QString ProgramControl::continueProgram()
{
    if (!m_runner || m_runner->state() != ProgramRunner::State::Paused)
        return tr("没有暂停的程序。");
    if (m_timedRunActive && m_timedRunActive())
        return tr("定时运行正在计时或已暂停，程序不能继续。请先结束定时运行。");
    if (!m_runner->continueProgram(limitOnPump()))
        return tr("线路未恢复，程序不能继续。");
    return {};
}

void ProgramControl::end()
{
    if (!m_runner)
        return;
    const ProgramRunner::State state = m_runner->state();
    // Ended while the line is down: the stop is held, goes first on the link's return and ends
    // what the program started; the end block is not run after it.
    if (m_session->link() == PumpSession::Link::Lost && state != ProgramRunner::State::Idle &&
        state != ProgramRunner::State::Ended) {
        m_endedInOutage = m_program.name;
        m_session->send(QString::fromLatin1(LinkProtocol::kStopFrame), source());
    }
    m_runner->end();
}

ProgramRunner::LimitOnPump ProgramControl::limitOnPump() const
{
    const QString frame = m_session->lastLimitSent().frame;
    const std::optional<double> mpa = NumberText::toDouble(frame.mid(4, 4));
    if (!mpa)
        return std::nullopt;
    return int(std::lround(*mpa * 10));
}

void ProgramControl::tick()
{
    if (!m_runner)
        return;
    m_runner->tick();
    keepPosition(false);
    // Steps, pauses and ends tell themselves; the time left changes once a second.
    if (const qint64 second = programSecond().value_or(-1); second != m_shownSecond) {
        m_shownSecond = second;
        Q_EMIT changed();
    }
}

void ProgramControl::onFrameSent(const QString &frame, const QString &source)
{
    // The program's own frames, and the alarm's stop (which ends the program through its
    // action), are no operator's command.
    // The stop held through an outage is told with its causes, and is not taken for a command.
    if (!m_runner || source == this->source() || source == PumpSession::alarmSource() ||
        PumpSession::isPendingStopSource(source))
        return;
    if (m_runner->state() == ProgramRunner::State::Running ||
        m_runner->state() == ProgramRunner::State::Ending)
        m_runner->operatorCommand(frame == QLatin1String(LinkProtocol::kStopFrame));
}

void ProgramControl::onLink(bool open, bool lost)
{
    if (!m_runner || !open)
        return;
    // Back on the adapter it ran on, or another device opened: then this pump is not the
    // panel's any more.
    if (m_session->device() != m_device)
        m_runner->otherDevice();
    else if (lost)
        m_runner->linkBack(limitOnPump());
}

void ProgramControl::keepPosition(bool now)
{
    if (!m_journal || !m_runner)
        return;
    const qint64 at = m_clock();
    const ProgramPosition position = m_runner->position();
    if (position == m_journalled || (!now && at - m_journalledAtMs < kJournalEveryMs))
        return;
    const ProgramRunner::State state = m_runner->state();
    if (state == ProgramRunner::State::Ended || state == ProgramRunner::State::Idle)
        return;
    m_journalledAtMs = at;
    m_journalled = position;
    m_journal->writeSection(kJournalKey,
                            {{QStringLiteral("name"), m_program.name},
                             {QStringLiteral("path"), m_path},
                             {QStringLiteral("sha256"), QString::fromLatin1(m_fileHash)},
                             {QStringLiteral("device"), m_device},
                             {QStringLiteral("step"), stepText()},
                             {QStringLiteral("endBlock"), m_endText},
                             {QStringLiteral("position"), position.toJson()}});
}

void ProgramControl::finished()
{
    m_ticker->stop();
    // The program is over: a lost link that ended it owes the one stop there is.
    if (m_runner->endCause() == ProgramRunner::Cause::LinkLost && m_runner->position().pumpRun)
        m_session->sendStop(source(), PendingStop::Cause::Program, tr("程序因线路中断而结束"));
    if (m_journal)
        m_journal->clearSection(kJournalKey);
    m_journalled = {};
    Q_EMIT changed();
}

bool ProgramControl::lookForInterrupted()
{
    m_interrupted.reset();
    if (!m_journal)
        return false;
    const QJsonObject kept = m_journal->section(kJournalKey);
    const std::optional<ProgramPosition> position =
        ProgramPosition::fromJson(kept.value(QStringLiteral("position")).toObject());
    if (!position)
        return false;
    Interrupted found;
    found.name = kept.value(QStringLiteral("name")).toString();
    found.path = kept.value(QStringLiteral("path")).toString();
    found.stepText = kept.value(QStringLiteral("step")).toString();
    found.position = *position;
    const QString hash = kept.value(QStringLiteral("sha256")).toString();
    found.fileChanged = hash.isEmpty() || fileHash(found.path) != hash.toLatin1();
    found.endText = kept.value(QStringLiteral("endBlock")).toString();
    m_interrupted = found;
    Q_EMIT changed();
    return true;
}

QString ProgramControl::resumeInterrupted()
{
    if (!m_interrupted)
        return tr("没有被中断的程序。");
    if (m_interrupted->fileChanged)
        return refuseInterrupted(tr("程序文件已改变，只能运行它的结束程序段。"));
    const ProgramFile::Loaded loaded = ProgramFile::readFile(m_interrupted->path);
    if (!loaded.program)
        return refuseInterrupted(loaded.problem);
    const ProgramPosition position = m_interrupted->position;
    return refuseInterrupted(
        begin(*loaded.program, m_interrupted->path,
              [position, onPump = limitOnPump()](ProgramRunner &runner) {
                  return runner.resume(position, onPump);
              }));
}

QString ProgramControl::refuseInterrupted(const QString &why)
{
    if (why.isEmpty() || !m_interrupted)
        return why;
    m_interrupted->problem = why;
    Q_EMIT changed();
    return why;
}

void ProgramControl::stopInterrupted()
{
    if (!m_interrupted)
        return;
    // Sent as the operator's own stop: while the line is down it is held like any other.
    m_session->send(QString::fromLatin1(LinkProtocol::kStopFrame),
                    tr("程序“%1”被中断：停止泵").arg(m_interrupted->name));
    acknowledgeInterrupted();
}

void ProgramControl::acknowledgeInterrupted()
{
    if (!m_interrupted || m_runner)
        return;
    m_interrupted.reset();
    if (m_journal)
        m_journal->clearSection(kJournalKey);
    Q_EMIT changed();
}

QString ProgramControl::runInterruptedEnd()
{
    if (!m_interrupted)
        return tr("没有被中断的程序。");
    // The end block kept in the journal ramps from the setpoints journalled beside it.
    const ProgramFile::Loaded loaded =
        m_interrupted->fileChanged ? ProgramFile::read(m_interrupted->endText.toUtf8(),
                                                       ProgramFile::RampsFrom::SetpointsInForce)
                                   : ProgramFile::readFile(m_interrupted->path);
    if (!loaded.program)
        return refuseInterrupted(loaded.problem);
    const ProgramPosition position = m_interrupted->position;
    return refuseInterrupted(
        begin(*loaded.program, m_interrupted->path,
              [position](ProgramRunner &runner) { return runner.runEndBlock(position); }));
}

QString ProgramControl::stepText() const
{
    if (!m_runner)
        return {};
    const ProgramPosition position = m_runner->position();
    return ProgramPlan::pathText(position.path, position.inEnd);
}

QString ProgramControl::stepKey() const
{
    return m_runner ? m_runner->stepKey() : QString();
}

std::optional<qint64> ProgramControl::programSecond() const
{
    if (!m_runner)
        return std::nullopt;
    return m_runner->plan().secondOf(m_runner->position());
}

QString ProgramControl::stateWord() const
{
    if (!m_runner)
        return QStringLiteral("idle");
    switch (m_runner->state()) {
    case ProgramRunner::State::Idle:
        return QStringLiteral("idle");
    case ProgramRunner::State::Running:
        return QStringLiteral("running");
    case ProgramRunner::State::Paused:
        return QStringLiteral("paused");
    case ProgramRunner::State::Ending:
        return QStringLiteral("ending");
    case ProgramRunner::State::Ended:
        return QStringLiteral("ended");
    }
    return QStringLiteral("idle");
}

QString ProgramControl::stateText() const
{
    if (!m_runner || m_runner->state() == ProgramRunner::State::Ended) {
        if (!m_endedInOutage.isEmpty())
            return tr("程序“%1”已在线路中断时结束，不运行结束程序段：停止命令线路恢复后首先发送")
                .arg(m_endedInOutage);
        if (!m_interrupted)
            return {};
        const QString name = ShownText::name(m_interrupted->name);
        if (!m_interrupted->problem.isEmpty())
            return tr("程序“%1”被中断于%2；无法接着运行：%3。可按“停止泵”停止泵（见“程序…”）")
                .arg(name, m_interrupted->stepText, m_interrupted->problem);
        return m_interrupted->fileChanged
                   ? tr("程序“%1”被中断于%2；程序文件已改变，只能运行结束程序段（见“程序…”）")
                         .arg(name, m_interrupted->stepText)
                   : tr("程序“%1”被中断于%2：可从该处继续或运行结束程序段（见“程序…”）")
                         .arg(name, m_interrupted->stepText);
    }
    const QString name = ShownText::name(m_program.name);
    QString text;
    switch (m_runner->state()) {
    case ProgramRunner::State::Idle:
    case ProgramRunner::State::Ended:
        return {};
    case ProgramRunner::State::Running:
        text = tr("程序“%1”运行中：%2").arg(name, stepText());
        break;
    case ProgramRunner::State::Paused:
        text = tr("程序“%1”已暂停（%2）：%3")
                   .arg(name, ProgramRunner::causeText(m_runner->pauseCause()), stepText());
        break;
    case ProgramRunner::State::Ending:
        text = tr("程序“%1”正在运行结束程序段：%2").arg(name, stepText());
        break;
    }
    if (!m_warning.isEmpty())
        text += tr("；%1").arg(m_warning);
    return text;
}
