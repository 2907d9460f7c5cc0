#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

class ProgramRunner;

// What the program window shows of a runner: its state, the times left, the step it is at as a
// place in the program's tree (see ProgramEditor::Place) and the second of the plan it is at.
struct ProgramProgress
{
    QString state;
    QString time;
    // {} when no step is running.
    QList<int> place;
    std::optional<qint64> second;

    // plannedSeconds: the length of the program shown, told while none runs.
    static ProgramProgress of(const ProgramRunner *runner, qint64 plannedSeconds);
    // Running, paused or in its end block: the program shown is the one under way, and is not
    // changed beneath the runner.
    static bool busy(const ProgramRunner *runner);
};
