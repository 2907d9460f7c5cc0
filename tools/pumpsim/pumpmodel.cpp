#include "pumpmodel.h"

#include <algorithm>
#include <cmath>

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

void PumpModel::run()
{
    m_running = true;
    m_tripped = false;
}

void PumpModel::stop()
{
    m_running = false;
    m_tripped = false;
}

void PumpModel::step(double dtSeconds)
{
    if (!(dtSeconds > 0.0))
        return;

    const double target = m_running ? m_flowMlPerMin * m_parameters.backPressureMPaPerMlMin : 0.0;
    // Exact solution of the lag over dt, so a coarse or irregular tick does not change where
    // the pressure ends up.
    const double tau = m_parameters.timeConstantS;
    const double approach = tau > 0.0 ? 1.0 - std::exp(-dtSeconds / tau) : 1.0;
    m_pressureMPa += (target - m_pressureMPa) * approach;

    const double noise =
        m_parameters.noiseMPa > 0.0 ? (m_random.bounded(2.0) - 1.0) * m_parameters.noiseMPa : 0.0;
    const double measured = m_pressureMPa + noise;
    m_readingMPa = std::clamp(measured, 0.0, kMaxPressureMPa);

    if (m_running && measured > m_limitMPa) {
        m_running = false;
        m_tripped = true;
    }
}
