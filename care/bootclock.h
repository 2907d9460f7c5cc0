#pragma once

#include <QtGlobal>

#include <functional>

// The clock pump care counts on: milliseconds since the machine booted, suspend included, so
// that neither a clock set back nor a sleeping laptop changes what a run lasted. The rules take
// it as a function, so that tests pass their own times in.
using BootClock = std::function<qint64()>;

namespace BootTime {

// CLOCK_BOOTTIME where the system has it, else the monotonic clock.
qint64 nowMs();

} // namespace BootTime
