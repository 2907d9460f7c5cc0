#pragma once

#include "program/program.h"
#include "program/programplan.h"
#include "program/programposition.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

// Runs a pump program: says which frames to send when, as an operator would have typed them at
// their times. It reads no clock and no port of its own: the caller ticks it a few times a
// second, hands it every current-pressure reply and tells it what happened to the link, the
// alarms and the operator; the frames come out of send() in the order the pump must get them.
//
// Time is the program's own, in whole seconds on the clock given (one that counts through a
// suspend): it stands still while the program is paused. After the clock was held up, what fell
// due in the gap goes out at once and in order, a ramp only at its value for now, and a wait
// starts its row of readings again. Nothing the program sent is sent again, except on a
// continue, a resume from the journal or the link's return: then the setpoints it holds in
// force go again, each once (a frame may have been lost with the line, and the operator may
// have changed them meanwhile), a rising limit before the flow and a falling one after it,
// against the limit the pump was last given. Run goes again only on the operator's continue or
// a resume, when the program had started the pump; never when the link's return continues it.
// A program paused by a lost link continues by itself only when nobody commanded the pump
// meanwhile: the operator's stop, or any command of the operator, keeps it paused.
//
// The end block runs when the program completes, when the operator ends it, when an alarm
// stops the pump or when a wait that says so times out; an alarm or an end while the link is
// down starts it as soon as the link is back. It never sends run, not even on a continue; an
// alarm during it changes nothing, and the operator's second end ends it at once; so does the
// operator's end while the link is down (the stop owed for it ends what the program started,
// and is the caller's). A ramp of a quantity the program never sent goes to its target at
// once. A lost link
// ends the program without the end block when the program says so, and another device always
// does; the stop that is then owed is the caller's.
class ProgramRunner : public QObject
{
    Q_OBJECT

public:
    // Milliseconds on a clock that never goes back; the panel gives RunClock::bootTimeMs.
    using Clock = std::function<qint64()>;

    enum class State { Idle, Running, Paused, Ending, Ended };
    enum class Cause {
        None,
        Completed,
        OperatorEnd,
        Alarm,
        LinkLost,
        OperatorCommand,
        OperatorPause,
        OtherDevice,
        WaitTimedOut,
        OperatorStop,
    };
    Q_ENUM(State)
    Q_ENUM(Cause)

    ProgramRunner(const Program &program, Clock clock, QObject *parent = nullptr);

    // From the first step; false unless idle.
    bool start();
    // From a journalled position, sending the setpoints it had sent (and run, when it had
    // started the pump) first; false unless idle or when the position is not in this program.
    bool resume(const ProgramPosition &position, std::optional<int> limitOnPump = std::nullopt);
    // Only the end block, from the setpoints of a journalled position; false unless idle.
    bool runEndBlock(const ProgramPosition &position);

    // Every few hundred milliseconds while the program runs.
    void tick();
    // A current-pressure reply's four characters.
    void reading(const QString &text);

    // The limit the pump was last given (tenths of a MPa, none when unknown) decides the order
    // in which the setpoints in force go again.
    using LimitOnPump = std::optional<int>;

    void linkLost();
    void linkBack(LimitOnPump limitOnPump = std::nullopt);
    void alarmStop();
    // The operator's own run, stop, setpoint or timed-run command went out, or was refused
    // while the link was down (then it keeps the program paused).
    void operatorCommand(bool stop = false);
    void pause();
    // False while the link is down or when nothing is paused.
    bool continueProgram(LimitOnPump limitOnPump = std::nullopt);
    void end();
    // Another device was opened: this pump is no longer the panel's.
    void otherDevice();

    State state() const { return m_state; }
    // Why it is paused; why it ends or ended.
    Cause pauseCause() const { return m_pauseCause; }
    Cause endCause() const { return m_endCause; }
    bool inEndBlock() const { return m_inEnd; }
    ProgramPosition position() const;
    // The step now running as the file has it ("steps[2].ramp"); empty at no step.
    QString stepKey() const;
    // Where on the plan's time the steps were left for the end block before they were done (an
    // alarm, the operator's end, a wait that timed out); none while they run or ran to the end.
    std::optional<qint64> stepsLeftAt() const { return m_stepsLeftAt; }
    const ProgramPlan &plan() const { return m_plan; }

    static QString causeText(Cause cause);

Q_SIGNALS:
    void send(const QString &frame);
    void stepStarted(const QString &path);
    void paused(const QString &why);
    void continued();
    void endBlockStarted(const QString &why);
    void ended(const QString &why);

private:
    const QList<ProgramPlan::Step> &block() const;
    bool active() const { return m_state == State::Running || m_state == State::Ending; }
    void updateClock();
    void go();
    void advance();
    void beginStep(qsizetype index, qint64 startMs);
    void enterEnd(Cause cause);
    void pauseFor(Cause cause);
    void finish(Cause cause);
    void sendSetpoints(std::optional<int> flow, std::optional<int> limit, bool onlyChanged,
                       std::optional<int> limitNow);
    void resendSetpoints(LimitOnPump limitOnPump, bool withRun);

    ProgramPlan m_plan;
    QString m_address;
    bool m_pauseOnLinkLost;
    Clock m_clock;

    State m_state = State::Idle;
    Cause m_pauseCause = Cause::None;
    Cause m_endCause = Cause::None;
    std::optional<qint64> m_stepsLeftAt;
    bool m_inEnd = false;
    bool m_linkDown = false;

    qint64 m_lastNowMs = 0;
    qint64 m_programMs = 0;
    qint64 m_stepStartMs = 0;
    qsizetype m_index = 0;
    std::optional<int> m_flow;
    std::optional<int> m_limit;
    std::optional<int> m_flowAtStart;
    std::optional<int> m_limitAtStart;
    bool m_pumpRun = false;
    int m_waitRow = 0;
    bool m_waitMet = false;
};
