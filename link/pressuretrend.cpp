#include "pressuretrend.h"

#include "numbertext.h"

const std::array<QLineF, 4> &PressureTrend::axisLines()
{
    static const std::array<QLineF, 4> lines{
        QLineF(0, 0, 100, 0),
        QLineF(0, 2.5, 1.5, 2.5),
        QLineF(0, 5, 1.5, 5),
        QLineF(0, 7.5, 1.5, 7.5),
    };
    return lines;
}

PressureTrend::Step PressureTrend::addSample(const QString &pressureText)
{
    if (const auto value = NumberText::toDouble(pressureText))
        setPrhistory(m_itime, *value);
    const QLineF segment = segmentTo(m_itime);
    ++m_itime;
    const bool sweepEnded = m_itime == kSamplesPerSweep;
    if (sweepEnded)
        m_itime = 0;
    return {segment, sweepEnded};
}

QLineF PressureTrend::segmentTo(int sample) const
{
    return QLineF(sample - 1, prhistory(sample - 1), sample, prhistory(sample));
}
