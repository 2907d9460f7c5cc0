#pragma once

#include <optional>
#include <vector>

// One step of a pump program as its file states it. Setpoints are held in whole units, flow in
// ml/min and the protection-pressure limit in tenths of a MPa, so that a ramp counts in
// integers and a saved file reads back equal.
struct ProgramStep
{
    enum class Kind { Set, Run, Stop, Ramp, Hold, Repeat, WaitUntil };

    Kind kind = Kind::Hold;
    std::optional<int> flow;  // set, ramp: ml/min
    std::optional<int> limit; // set, ramp: tenths of a MPa
    int seconds = 0;          // ramp, hold; a wait's timeout
    int times = 0;            // repeat
    // A repeat's steps; std::vector because it holds its own, still incomplete, type.
    std::vector<ProgramStep> steps;
    bool above = false;        // wait: the pressure above the value, else below it
    int valueTenths = 0;       // wait: tenths of a MPa
    int readings = 0;          // wait: that many in a row
    bool endOnTimeout = false; // wait: else the program goes on

    friend bool operator==(const ProgramStep &, const ProgramStep &) = default;
};
