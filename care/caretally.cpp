#include "care/caretally.h"

#include <algorithm>
#include <cmath>

using CareCounter::Kind;

namespace {

constexpr double kMsPerMinute = 60'000.0;
constexpr double kMsPerHour = 3'600'000.0;
constexpr double kMlPerL = 1000.0;

} // namespace

CareTally::CareTally(const Values &start, std::optional<double> flowMlPerMin)
    : m_values(start), m_flow(flowMlPerMin)
{
}

void CareTally::advance(qint64 bootMs)
{
    // The boot-time clock does not go back; a caller's time that does counts nothing.
    const qint64 dtMs = m_lastMs ? std::max<qint64>(0, bootMs - *m_lastMs) : 0;
    m_lastMs = std::max(bootMs, m_lastMs.value_or(bootMs));
    if (!m_running || dtMs == 0)
        return;
    m_values[int(Kind::RunTime)] += double(dtMs) / kMsPerHour;
    if (!m_flow)
        return;
    const double ml = *m_flow * double(dtMs) / kMsPerMinute;
    m_values[int(Kind::Volume)] += ml;
    if (m_heldMPa)
        m_openLoad += *m_heldMPa * ml / kMlPerL;
}

void CareTally::pumpCommanded(bool running, qint64 bootMs)
{
    advance(bootMs);
    if (running && !m_running)
        m_values[int(Kind::Starts)] += 1;
    m_running = running;
}

void CareTally::flowKnown(double mlPerMin, qint64 bootMs)
{
    advance(bootMs);
    if (std::isfinite(mlPerMin) && mlPerMin >= 0)
        m_flow = mlPerMin;
}

void CareTally::reading(std::optional<double> mpa, qint64 bootMs)
{
    advance(bootMs);
    m_values[int(Kind::PressureLoad)] += std::exchange(m_openLoad, 0.0);
    if (mpa && !std::isfinite(*mpa))
        mpa.reset();
    // A gauge's zero offset ("-0.1") loads nothing: a counter never goes down but by a reset.
    if (mpa)
        mpa = std::max(0.0, *mpa);
    m_heldMPa = mpa;
    if (mpa)
        m_values[int(Kind::HighestPressure)] = std::max(m_values[int(Kind::HighestPressure)], *mpa);
}

void CareTally::readingLost(qint64 bootMs)
{
    advance(bootMs);
    m_openLoad = 0;
    m_heldMPa.reset();
}

void CareTally::reset(Kind kind)
{
    m_values[int(kind)] = 0;
    if (kind == Kind::PressureLoad)
        m_openLoad = 0;
}
