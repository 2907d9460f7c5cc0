#include "program/programrunner.h"

#include "link/commandframe.h"
#include "link/linkprotocol.h"
#include "link/numbertext.h"
#include "program/programlimits.h"

namespace {

constexpr qint64 kSecondMs = 1000;

} // namespace

ProgramRunner::ProgramRunner(const Program &program, Clock clock, QObject *parent)
    : QObject(parent), m_plan(program), m_address(addressField(program.pump)),
      m_pauseOnLinkLost(program.onLinkLost == Program::OnLinkLost::Pause), m_clock(std::move(clock))
{
}

bool ProgramRunner::start()
{
    if (m_state != State::Idle)
        return false;
    m_lastNowMs = m_clock();
    m_state = State::Running;
    beginStep(0, 0);
    advance();
    return true;
}

bool ProgramRunner::resume(const ProgramPosition &position, std::optional<int> limitOnPump)
{
    const qsizetype index = m_plan.indexOf(position.path, position.inEnd);
    const auto outside = [](std::optional<int> value, int highest) {
        return value && (*value < 0 || *value > highest);
    };
    if (m_state != State::Idle || index < 0 || position.secondsIntoStep < 0 ||
        outside(position.flow, ProgramLimits::kHighestFlowMlPerMin) ||
        outside(position.limit, ProgramLimits::kHighestLimitTenthsMpa))
        return false;
    m_lastNowMs = m_clock();
    m_inEnd = position.inEnd;
    m_state = m_inEnd ? State::Ending : State::Running;
    // The journal does not say why the end block began; it ends as one the operator began.
    m_endCause = m_inEnd ? Cause::OperatorEnd : Cause::None;
    m_flow = position.flow;
    m_limit = position.limit;
    m_pumpRun = position.pumpRun;
    beginStep(index, -position.secondsIntoStep * kSecondMs);
    m_flowAtStart = position.flowAtStepStart;
    m_limitAtStart = position.limitAtStepStart;
    resendSetpoints(limitOnPump, true);
    advance();
    return true;
}

bool ProgramRunner::runEndBlock(const ProgramPosition &position)
{
    if (m_state != State::Idle)
        return false;
    m_lastNowMs = m_clock();
    m_flow = position.flow;
    m_limit = position.limit;
    m_pumpRun = position.pumpRun;
    enterEnd(Cause::OperatorEnd);
    advance();
    return true;
}

void ProgramRunner::tick()
{
    updateClock();
    advance();
}

void ProgramRunner::reading(const QString &text)
{
    updateClock();
    // What fell due goes first: a wait that has timed out takes no more readings.
    advance();
    if (!active() || m_index >= block().size())
        return;
    const ProgramStep &step = block()[m_index].step;
    if (step.kind != ProgramStep::Kind::WaitUntil)
        return;
    const std::optional<double> value = NumberText::toDouble(text);
    if (!value)
        return;
    const double threshold = step.valueTenths / 10.0;
    const bool counts = step.above ? *value > threshold : *value < threshold;
    m_waitRow = counts ? m_waitRow + 1 : 0;
    if (m_waitRow >= step.readings) {
        m_waitMet = true;
        advance();
    }
}

void ProgramRunner::linkLost()
{
    updateClock();
    m_linkDown = true;
    if (m_state == State::Idle || m_state == State::Ended)
        return;
    if (!m_pauseOnLinkLost)
        finish(Cause::LinkLost);
    else if (active())
        pauseFor(Cause::LinkLost);
}

void ProgramRunner::linkBack(LimitOnPump limitOnPump)
{
    m_linkDown = false;
    if (m_state != State::Paused || m_pauseCause != Cause::LinkLost)
        return;
    // A frame refused by the closed port is not on the pump: what the program holds goes again.
    go();
    resendSetpoints(limitOnPump, false);
    emit continued();
    advance();
}

void ProgramRunner::alarmStop()
{
    updateClock();
    // An end block already under way winds the pump down as it is.
    if (m_state == State::Idle || m_state == State::Ended || m_inEnd)
        return;
    enterEnd(Cause::Alarm);
    advance();
}

void ProgramRunner::operatorCommand(bool stop)
{
    updateClock();
    const Cause cause = stop ? Cause::OperatorStop : Cause::OperatorCommand;
    if (active()) {
        pauseFor(cause);
        return;
    }
    // Commanded while the link was down: the operator decides when the program goes on. An end
    // block waiting for the link still runs; it never starts the pump.
    if (m_state == State::Paused && !m_inEnd &&
        (m_pauseCause == Cause::LinkLost || (stop && m_pauseCause == Cause::OperatorCommand)))
        pauseFor(cause);
}

void ProgramRunner::pause()
{
    updateClock();
    if (active())
        pauseFor(Cause::OperatorPause);
}

bool ProgramRunner::continueProgram(LimitOnPump limitOnPump)
{
    if (m_state != State::Paused || m_linkDown)
        return false;
    go();
    resendSetpoints(limitOnPump, true);
    emit continued();
    advance();
    return true;
}

void ProgramRunner::end()
{
    updateClock();
    if (m_state == State::Idle || m_state == State::Ended)
        return;
    // Ended again while winding down, or while the link is down: the operator wants it over
    // now, and the stop owed for it ends what the program started.
    if (m_inEnd || m_linkDown) {
        finish(Cause::OperatorEnd);
        return;
    }
    enterEnd(Cause::OperatorEnd);
    advance();
}

void ProgramRunner::otherDevice()
{
    if (m_state != State::Idle && m_state != State::Ended)
        finish(Cause::OtherDevice);
}

QString ProgramRunner::stepKey() const
{
    if (m_index < 0 || m_index >= block().size())
        return {};
    return ProgramPlan::pathKey(block()[m_index].path, block()[m_index].step.kind, m_inEnd);
}

ProgramPosition ProgramRunner::position() const
{
    ProgramPosition position;
    position.inEnd = m_inEnd;
    if (m_index < block().size())
        position.path = block()[m_index].path;
    position.secondsIntoStep = (m_programMs - m_stepStartMs) / kSecondMs;
    position.flow = m_flow;
    position.limit = m_limit;
    position.flowAtStepStart = m_flowAtStart;
    position.limitAtStepStart = m_limitAtStart;
    position.pumpRun = m_pumpRun;
    return position;
}

QString ProgramRunner::causeText(Cause cause)
{
    switch (cause) {
    case Cause::None:
        break;
    case Cause::Completed:
        return QStringLiteral("程序完成");
    case Cause::OperatorEnd:
        return QStringLiteral("操作员结束了程序");
    case Cause::Alarm:
        return QStringLiteral("报警停泵");
    case Cause::LinkLost:
        return QStringLiteral("通信中断");
    case Cause::OperatorCommand:
        return QStringLiteral("操作员发出了命令");
    case Cause::OperatorPause:
        return QStringLiteral("操作员暂停了程序");
    case Cause::OtherDevice:
        return QStringLiteral("打开了另一台设备");
    case Cause::WaitTimedOut:
        return QStringLiteral("等待压力超时");
    case Cause::OperatorStop:
        return QStringLiteral("操作员已停止泵，按 继续 恢复程序");
    }
    return {};
}

const QList<ProgramPlan::Step> &ProgramRunner::block() const
{
    return m_inEnd ? m_plan.endSteps() : m_plan.steps();
}

void ProgramRunner::updateClock()
{
    const qint64 now = m_clock();
    const qint64 passed = qMax<qint64>(0, now - m_lastNowMs);
    m_lastNowMs = now;
    if (!active())
        return;
    // Readings from before a gap say nothing of the pressure after it.
    if (passed > ProgramLimits::kHeldUpMs)
        m_waitRow = 0;
    m_programMs += passed;
}

void ProgramRunner::go()
{
    // The time spent paused is not the program's.
    m_lastNowMs = m_clock();
    m_state = m_inEnd ? State::Ending : State::Running;
    m_waitRow = 0;
}

void ProgramRunner::advance()
{
    using Kind = ProgramStep::Kind;
    while (active()) {
        if (m_index >= block().size()) {
            if (m_inEnd)
                finish(m_endCause);
            else
                enterEnd(Cause::Completed);
            continue;
        }
        const ProgramStep &step = block()[m_index].step;
        const qint64 elapsedMs = m_programMs - m_stepStartMs;
        const qint64 durationMs = step.seconds * kSecondMs;
        switch (step.kind) {
        case Kind::Set:
            sendSetpoints(step.flow, step.limit, false, m_limit);
            beginStep(m_index + 1, m_stepStartMs);
            break;
        case Kind::Run:
        case Kind::Stop:
            m_pumpRun = step.kind == Kind::Run;
            emit send(QString::fromLatin1(m_pumpRun ? LinkProtocol::kRunFrame
                                                    : LinkProtocol::kStopFrame));
            beginStep(m_index + 1, m_stepStartMs);
            break;
        case Kind::Ramp: {
            const qint64 elapsed = qMin<qint64>(elapsedMs / kSecondMs, step.seconds);
            // A quantity the program never sent (an end block run early) has nothing to ramp
            // from: it goes straight to its target.
            const auto value = [&](std::optional<int> from, std::optional<int> to) {
                if (!to)
                    return std::optional<int>();
                return std::optional<int>(
                    from ? ProgramPlan::interpolate(*from, *to, elapsed, step.seconds) : *to);
            };
            sendSetpoints(value(m_flowAtStart, step.flow), value(m_limitAtStart, step.limit), true,
                          m_limit);
            if (elapsed < step.seconds)
                return;
            beginStep(m_index + 1, m_stepStartMs + durationMs);
            break;
        }
        case Kind::Hold:
            if (elapsedMs < durationMs)
                return;
            beginStep(m_index + 1, m_stepStartMs + durationMs);
            break;
        case Kind::WaitUntil:
            if (m_waitMet)
                beginStep(m_index + 1, m_programMs);
            else if (elapsedMs < durationMs)
                return;
            else if (step.endOnTimeout)
                enterEnd(Cause::WaitTimedOut);
            else
                beginStep(m_index + 1, m_stepStartMs + durationMs);
            break;
        case Kind::Repeat:
            Q_UNREACHABLE();
        }
    }
}

void ProgramRunner::beginStep(qsizetype index, qint64 startMs)
{
    m_index = index;
    m_stepStartMs = startMs;
    m_flowAtStart = m_flow;
    m_limitAtStart = m_limit;
    m_waitRow = 0;
    m_waitMet = false;
    if (index < block().size())
        emit stepStarted(ProgramPlan::pathText(block()[index].path, m_inEnd));
}

void ProgramRunner::enterEnd(Cause cause)
{
    m_endCause = cause;
    if (cause != Cause::Completed && !m_inEnd)
        m_stepsLeftAt = m_plan.secondOf(position());
    m_inEnd = true;
    if (m_plan.endSteps().isEmpty()) {
        finish(cause);
        return;
    }
    emit endBlockStarted(causeText(cause));
    // An alarm or the operator's end wins over a pause; the frames wait for the link.
    if (m_linkDown) {
        m_state = State::Paused;
        m_pauseCause = Cause::LinkLost;
    } else if (!active()) {
        go();
    } else {
        m_state = State::Ending;
    }
    beginStep(0, m_programMs);
}

void ProgramRunner::pauseFor(Cause cause)
{
    m_state = State::Paused;
    m_pauseCause = cause;
    emit paused(causeText(cause));
}

void ProgramRunner::finish(Cause cause)
{
    m_state = State::Ended;
    m_endCause = cause;
    emit ended(causeText(cause));
}

void ProgramRunner::sendSetpoints(std::optional<int> flow, std::optional<int> limit,
                                  bool onlyChanged, std::optional<int> limitNow)
{
    const bool sendFlow = flow && (!onlyChanged || flow != m_flow);
    const bool sendLimit = limit && (!onlyChanged || limit != m_limit);
    // The protection limit is raised before the flow that needs it, and lowered only after
    // the flow has come down.
    const bool limitFalls = sendLimit && limitNow && *limit < *limitNow;
    const auto limitFrame = [&] {
        m_limit = limit;
        emit send(MakeFrame(m_address, QStringLiteral("P"), pressureField(*limit / 10.0)));
    };
    if (sendLimit && !limitFalls)
        limitFrame();
    if (sendFlow) {
        m_flow = flow;
        emit send(MakeFrame(m_address, QStringLiteral("L"), flowField(*flow)));
    }
    if (sendLimit && limitFalls)
        limitFrame();
}

void ProgramRunner::resendSetpoints(LimitOnPump limitOnPump, bool withRun)
{
    // The program's setpoints before its run, so that the pump starts on them and not on the
    // operator's; their order is against the limit the pump has now.
    sendSetpoints(m_flow, m_limit, false, limitOnPump ? limitOnPump : m_limit);
    if (withRun && m_pumpRun && !m_inEnd)
        emit send(QString::fromLatin1(LinkProtocol::kRunFrame));
}
