#include "link/pressuretrend.h"

#include "link/numbertext.h"

#include <algorithm>
#include <cmath>

const std::array<QLineF, 4> &PressureTrend::axisLines()
{
    static const std::array<QLineF, 4> lines{
        QLineF(0, 0, 100, 0),
        QLineF(0, 0.5, 1.5, 0.5),
        QLineF(0, 1, 1.5, 1),
        QLineF(0, 1.5, 1.5, 1.5),
    };
    return lines;
}

PressureTrend::Step PressureTrend::addSample(const QString &pressureText)
{
    setPrhistory(m_itime, NumberText::toDouble(pressureText).value_or(kNoReading));
    const std::optional<QLineF> segment = m_lineBroken ? std::nullopt : segmentTo(m_itime);
    m_lineBroken = false;
    ++m_itime;
    const bool sweepEnded = m_itime == kSamplesPerSweep;
    if (sweepEnded)
        m_itime = 0;
    return {segment, sweepEnded};
}

std::optional<QLineF> PressureTrend::segmentTo(int sample) const
{
    const double from = prhistory(sample - 1);
    const double to = prhistory(sample);
    if (std::isnan(from) || std::isnan(to))
        return std::nullopt;
    const auto onPlot = [](double value) {
        return std::clamp(value, kScaleBottomRight.y(), kScaleTopLeft.y());
    };
    return QLineF(sample - 1, onPlot(from), sample, onPlot(to));
}
