#include "tools/pumpsim/pumpmodel.h"

#include <algorithm>
#include <cmath>
#include <limits>

PumpModel::PumpModel(const Parameters &parameters)
    : m_parameters(parameters), m_random(parameters.seed)
{
}

bool PumpModel::setFlowSetpoint(double mlPerMin)
{
    if (!std::isfinite(mlPerMin) || mlPerMin < 0.0)
        return false;
    const double rounded = std::round(mlPerMin);
    if (rounded > kMaxFlowMlPerMin)
        return false;
    m_flowMlPerMin = rounded;
    return true;
}

bool PumpModel::setProtectionLimit(double mpa)
{
    if (!std::isfinite(mpa) || mpa < 0.0)
        return false;
    const double rounded = std::round(mpa * 10.0) / 10.0;
    if (rounded > kMaxPressureMPa)
        return false;
    m_limitMPa = rounded;
    return true;
}

void PumpModel::setFaults(const Faults &faults)
{
    m_faults = faults;
    m_stallPending = faults.stallAtS.has_value();
}

void PumpModel::run()
{
    m_running = true;
    m_tripped = false;
    m_stalled = false;
}

void PumpModel::stop()
{
    m_running = false;
    m_tripped = false;
    m_stalled = false;
}

bool PumpModel::isSilent() const
{
    if (!m_faults.silentAtS || m_clockS < *m_faults.silentAtS)
        return false;
    return !m_faults.silentForS || m_clockS < *m_faults.silentAtS + *m_faults.silentForS;
}

double PumpModel::blockedPressure() const
{
    return m_faults.blockedMPa.value_or(m_limitMPa + kBlockedMarginMPa);
}

void PumpModel::step(double dtSeconds)
{
    if (!(dtSeconds > 0.0))
        return;

    // In pieces that end where a fault begins, so that a coarse or irregular tick lands where
    // fine ones do.
    const double end = m_clockS + dtSeconds;
    while (m_clockS < end) {
        stallIfDue();
        const double until = std::min(end, nextFaultAfter(m_clockS));
        advance(until - m_clockS);
        m_clockS = until;
    }
    stallIfDue();

    const double noise =
        m_parameters.noiseMPa > 0.0 ? (m_random.bounded(2.0) - 1.0) * m_parameters.noiseMPa : 0.0;
    const double measured = m_pressureMPa + noise;
    m_readingMPa = std::clamp(measured, 0.0, kMaxPressureMPa);

    if (m_running && measured > m_limitMPa) {
        m_running = false;
        m_tripped = true;
    }
}

void PumpModel::advance(double dtSeconds)
{
    double target =
        m_running && !isLeaking() ? m_flowMlPerMin * m_parameters.backPressureMPaPerMlMin : 0.0;
    if (m_running && isBlocked() && !isLeaking()) {
        target = blockedPressure();
        // Below the dead-end pressure it climbs in a straight line; above it (the limit or
        // the given pressure lowered meanwhile) it eases down through the lag.
        if (m_pressureMPa < target) {
            m_pressureMPa = std::min(target, m_pressureMPa + kBlockedClimbMPaPerS * dtSeconds);
            return;
        }
    }
    // Exact solution of the lag over dt.
    const double tau = m_parameters.timeConstantS;
    const double approach = tau > 0.0 ? 1.0 - std::exp(-dtSeconds / tau) : 1.0;
    m_pressureMPa += (target - m_pressureMPa) * approach;
}

void PumpModel::stallIfDue()
{
    if (m_stallPending && m_running && m_clockS >= *m_faults.stallAtS) {
        m_stallPending = false;
        m_running = false;
        m_tripped = false;
        m_stalled = true;
    }
}

double PumpModel::nextFaultAfter(double clockS) const
{
    double next = std::numeric_limits<double>::infinity();
    for (const std::optional<double> &at :
         {m_faults.blockedAtS, m_faults.leakAtS, m_faults.stallAtS}) {
        if (at && *at > clockS)
            next = std::min(next, *at);
    }
    return next;
}
