#pragma once

#include "care/carecounter.h"

#include <QtGlobal>

#include <array>
#include <optional>

// What one adapter's pump has done, counted from what the panel knows of it, on the boot-time
// clock (milliseconds, passed in with every call):
// - The pump is known to run from a run frame that went out until a stop frame went out; a
//   stop that is only owed has not stopped it. A run frame while it runs is no new start.
// - The flow is the last one known, from an L frame sent or an L reply, whichever came later;
//   the volume is its integral over the running time (ml).
// - The pressure-load is the integral of pressure × flow (MPa·L), the pressure being the last
//   reading held until the next one. That interval counts only once the next reading closes it:
//   a reading that goes stale (or a line that goes) drops it, so nothing is counted across it.
// - The highest pressure is that of any reading.
// Counters only grow; reset() is the one way down.
class CareTally
{
public:
    using Values = std::array<double, CareCounter::kCount>;

    explicit CareTally(const Values &start = {}, std::optional<double> flowMlPerMin = {});

    void pumpCommanded(bool running, qint64 bootMs);
    void flowKnown(double mlPerMin, qint64 bootMs);
    // A current-pressure reply; nothing for a reply that was no number.
    void reading(std::optional<double> mpa, qint64 bootMs);
    // The reading went stale, or the line with it.
    void readingLost(qint64 bootMs);
    // Brings the counters up to bootMs.
    void advance(qint64 bootMs);
    void reset(CareCounter::Kind kind);

    const Values &values() const { return m_values; }
    double value(CareCounter::Kind kind) const { return m_values[int(kind)]; }
    bool isRunning() const { return m_running; }
    std::optional<double> flow() const { return m_flow; }

private:
    Values m_values{};
    bool m_running = false;
    std::optional<double> m_flow;
    std::optional<double> m_heldMPa;
    double m_openLoad = 0; // since the held reading, counted once the next reading comes
    std::optional<qint64> m_lastMs;
};
