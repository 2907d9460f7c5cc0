#pragma once

#include <QtGlobal>

// What a pump program may ask for. The setpoint ranges are the keypad's; the rest bounds what
// one file can make the panel hold and run.
namespace ProgramLimits {

inline constexpr int kFormat = 1;
inline constexpr qint64 kFileBytes = 1024 * 1024;

inline constexpr int kHighestPump = 99;
inline constexpr int kHighestFlowMlPerMin = 1000;
inline constexpr int kHighestLimitTenthsMpa = 20;
inline constexpr int kLongestStepSeconds = 24 * 60 * 60;
inline constexpr int kMostRepeats = 1000;
inline constexpr int kDeepestRepeat = 4;
inline constexpr int kMostReadings = 100;
// Over the steps and the end block together, every repeat written out.
inline constexpr qint64 kMostPlannedSteps = 100'000;

// A gap this long between two calls means the loop was held up or the machine slept: readings
// from before it say nothing about the pressure after it.
inline constexpr qint64 kHeldUpMs = 2000;

} // namespace ProgramLimits
