#pragma once

#include "program/programstep.h"

#include <QString>

#include <vector>

// A pump program as read from its file: what to send to which pump and when. Only ProgramFile
// makes one from outside, and only whole: every value is in range and every ramp starts from a
// value the program set before it.
struct Program
{
    enum class OnLinkLost { Pause, End };

    QString name;
    int pump = 0;
    OnLinkLost onLinkLost = OnLinkLost::Pause;
    std::vector<ProgramStep> steps;
    // Run when the program completes or is ended by the operator or an alarm: set, ramp, hold
    // and stop only, ending with stop; may be empty.
    std::vector<ProgramStep> end;

    friend bool operator==(const Program &, const Program &) = default;
};
