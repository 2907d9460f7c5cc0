#pragma once

#include <QJsonObject>
#include <QList>
#include <QtGlobal>

#include <optional>

// Where a running program is, small enough to journal at every step: the step by its path
// through the repeats (see ProgramPlan), how far into it, and what the program last told the
// pump. A runner given it goes on from there; given it for its end block, it ramps down from
// those setpoints. The setpoints at the step's start are kept because a ramp runs from them.
struct ProgramPosition
{
    bool inEnd = false;
    QList<int> path;
    qint64 secondsIntoStep = 0;
    // Last sent: ml/min, tenths of a MPa.
    std::optional<int> flow;
    std::optional<int> limit;
    std::optional<int> flowAtStepStart;
    std::optional<int> limitAtStepStart;
    bool pumpRun = false; // the program started the pump and has not stopped it

    QJsonObject toJson() const;
    // Nothing for an object that is not a position.
    static std::optional<ProgramPosition> fromJson(const QJsonObject &json);

    friend bool operator==(const ProgramPosition &, const ProgramPosition &) = default;
};
