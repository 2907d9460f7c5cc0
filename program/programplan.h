#pragma once

#include "program/program.h"
#include "program/programposition.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// A program written out step by step through its repeats, each step with its path and the
// second it is planned to start. A wait is planned at its full timeout: the plan then tells the
// longest the program can take, and its plot holds the setpoints for as long as the wait may.
// The end block is planned after the steps, as it runs when the program completes.
//
// A path is the step's index in its list, then for each repeat around it the iteration and the
// index inside, all from 0: [4, 1, 0] is the first step of step 4's second iteration.
class ProgramPlan
{
public:
    struct Step
    {
        ProgramStep step; // never a repeat
        QList<int> path;
        qint64 startSecond = 0;
        // In force before the step: ml/min and tenths of a MPa, none before the first set.
        std::optional<int> flowBefore;
        std::optional<int> limitBefore;
    };

    struct Point
    {
        qint64 second = 0;
        std::optional<int> flow;  // ml/min
        std::optional<int> limit; // tenths of a MPa

        friend bool operator==(const Point &, const Point &) = default;
    };

    explicit ProgramPlan(const Program &program);

    const QList<Step> &steps() const { return m_steps; }
    const QList<Step> &endSteps() const { return m_endSteps; }
    qint64 stepsSeconds() const { return m_stepsSeconds; }
    qint64 totalSeconds() const { return m_totalSeconds; }

    // The setpoints the program sends by this whole second from its start, as the runner
    // counts them.
    Point at(qint64 second) const;
    // The corners of the planned flow and limit, for a plot: straight lines between two points,
    // a jump as two points at the same second.
    QList<Point> breakpoints() const;

    // Where a position is on the plan's time axis, the end block counted after the steps; none
    // when it is at no step.
    std::optional<qint64> secondOf(const ProgramPosition &position) const;
    // Where a path is in steps() or endSteps(); -1 when the program has no such step.
    qsizetype indexOf(const QList<int> &path, bool inEnd) const;
    // The path as the program file has it, for a program reading it: the step's object in the
    // file ("steps[4].repeat.steps[0].ramp", "end[1].stop"), a repeat's pass left out. Empty
    // for no step.
    static QString pathKey(const QList<int> &path, ProgramStep::Kind kind, bool inEnd);
    // The path as the operator reads it: "第 5 步 第 2 遍 第 1 步".
    static QString pathText(const QList<int> &path, bool inEnd);
    // A ramp's value after `elapsed` of its `seconds`, in whole units, a half away from zero.
    static int interpolate(int from, int to, qint64 elapsed, qint64 seconds);

private:
    QList<Step> m_steps;
    QList<Step> m_endSteps;
    qint64 m_stepsSeconds = 0;
    qint64 m_totalSeconds = 0;
};
