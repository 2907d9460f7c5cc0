#pragma once

#include <QtGlobal>

#include <functional>

// Measures a timed run in whole seconds on a clock that keeps counting while the machine is
// suspended and while the event loop is held up, so that a run lasts as long as it was set
// even when its ticks come late. Each take hands out the whole seconds passed since the last
// second it counted, at least one (the tick that asks has come); the part of a second not yet
// counted is kept for the next take. restart() begins counting afresh, dropping that part, as a
// start or a continue does.
class RunClock
{
public:
    // Milliseconds on a clock that never goes back.
    using Source = std::function<qint64()>;

    explicit RunClock(Source source = bootTimeMs);

    void restart();
    qint64 takeSeconds();

    // CLOCK_BOOTTIME where the system has it (it includes suspend), else a steady clock.
    static qint64 bootTimeMs();

private:
    Source m_source;
    qint64 m_countedUpToMs = 0;
};
