#include "program/programprogress.h"

#include "program/programrunner.h"
#include "program/programtext.h"

#include <algorithm>

namespace {

qint64 plannedDuration(const ProgramStep &step)
{
    using Kind = ProgramStep::Kind;
    const bool timed =
        step.kind == Kind::Ramp || step.kind == Kind::Hold || step.kind == Kind::WaitUntil;
    return timed ? step.seconds : 0;
}

} // namespace

ProgramProgress ProgramProgress::of(const ProgramRunner *runner, qint64 plannedSeconds)
{
    ProgramProgress shown;
    if (!runner || runner->state() == ProgramRunner::State::Idle) {
        shown.state = QStringLiteral("未运行");
        shown.time = QStringLiteral("程序共 %1").arg(ProgramText::duration(plannedSeconds));
        return shown;
    }

    switch (runner->state()) {
    case ProgramRunner::State::Idle:
    case ProgramRunner::State::Running:
        shown.state = QStringLiteral("运行中");
        break;
    case ProgramRunner::State::Paused:
        shown.state =
            QStringLiteral("已暂停：%1").arg(ProgramRunner::causeText(runner->pauseCause()));
        break;
    case ProgramRunner::State::Ending:
        shown.state =
            QStringLiteral("结束段：%1").arg(ProgramRunner::causeText(runner->endCause()));
        break;
    case ProgramRunner::State::Ended:
        shown.state =
            QStringLiteral("已结束：%1").arg(ProgramRunner::causeText(runner->endCause()));
        break;
    }

    const ProgramPlan &plan = runner->plan();
    const ProgramPosition position = runner->position();
    const bool inEnd = runner->inEndBlock();
    const qsizetype index = plan.indexOf(position.path, inEnd);
    shown.second = plan.secondOf(position);
    if (index < 0 || !shown.second)
        return shown;
    // A step inside repeats is shown once, whatever the iteration: its place leaves them out.
    shown.place = {inEnd ? 1 : 0};
    for (qsizetype i = 0; i < position.path.size(); i += 2)
        shown.place.append(position.path[i]);
    const ProgramPlan::Step &step = (inEnd ? plan.endSteps() : plan.steps())[index];
    const qint64 stepLeft =
        std::max<qint64>(0, plannedDuration(step.step) - position.secondsIntoStep);
    shown.time =
        QStringLiteral("本步剩余 %1，程序剩余 %2")
            .arg(ProgramText::duration(stepLeft),
                 ProgramText::duration(std::max<qint64>(0, plan.totalSeconds() - *shown.second)));
    return shown;
}

bool ProgramProgress::busy(const ProgramRunner *runner)
{
    if (!runner)
        return false;
    const ProgramRunner::State state = runner->state();
    return state == ProgramRunner::State::Running || state == ProgramRunner::State::Paused ||
           state == ProgramRunner::State::Ending;
}
