#pragma once

#include "timedrun/runclock.h"
#include "timedrun/timedrun.h"

#include <QDateTime>
#include <QObject>
#include <QString>

class PumpSession;
class QTimer;

// The timed run as 定时(T) drives it: each command counts, logs its event line and sends its
// frame through the session in the order the pump needs, and the run's end at its set time
// sends the stop that nobody may be at the screen to retry. The one-second tick is the
// window's timer, set up, started and stopped here; the window calls tick() when it fires and shows
// the clock this tells it.
class TimedRunControl : public QObject
{
    Q_OBJECT

public:
    TimedRunControl(QTimer *ticker, PumpSession *session, QObject *parent = nullptr);

    // The clock the run counts its seconds on; only tests give another.
    void setClockSource(RunClock::Source source) { m_clock = RunClock(std::move(source)); }

    // 设定: false, and nothing changes, for an answer that is no set time.
    bool setTime(const QString &answer);
    // 开始, 暂停, 继续, 结束. Each returns why its frame could not go out, or nothing; the
    // count has already moved on, so that a box telling it does not hold the run.
    QString start(const QString &source);
    QString pause(const QString &source);
    QString resume(const QString &source);
    QString end(const QString &source);
    // The ticker fired.
    void tick();

    const TimedRun &run() const { return m_run; }
    bool counting() const;
    // When the run that counts or is paused was started; invalid otherwise.
    QDateTime startedAt() const { return m_startedAt; }
    // The clock as last shown, "已运行 h:m:s".
    QString clockText() const;

Q_SIGNALS:
    void clockChanged(const TimedRun::Clock &clock);
    void clockShown(bool shown);
    // The set time changed (设定, or 结束 clearing it).
    void setTimeChanged();
    // A run began counting (开始), or ended (结束, or its set time reached).
    void runStarted();
    void runEnded();

private:
    void startTicking();

    QTimer *m_ticker;
    PumpSession *m_session;
    TimedRun m_run;
    RunClock m_clock;
    // The clock's designed text until the first tick.
    TimedRun::Clock m_shown{QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("00")};
    QDateTime m_startedAt;
    bool m_inProgress = false; // started or continued, and not yet ended
};
