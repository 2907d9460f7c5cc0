#pragma once

#include <QLineF>
#include <QString>

#include <array>

// The pressure trend of the last replies: one sample per accepted reply, 100 samples a sweep,
// drawn in plot units (x = sample number 0..99, y = pressure in MPa). The sample is the
// number that the current-pressure box shows, so a reply that carries a setting repeats the
// last pressure. Slots keep their value from the previous sweep until written again; slot -1
// is never written and anchors each sweep's first segment at (-1, 0).
class PressureTrend
{
public:
    static constexpr int kSamplesPerSweep = 100;
    static constexpr int kFirstSlot = -1;
    static constexpr int kLastSlot = 101;

    struct Step
    {
        QLineF segment;  // from the previous sample to this one
        bool sweepEnded; // the plot is to be cleared after drawing the segment
    };

    // Base line and the three short tick marks at y = 2.5, 5 and 7.5, in plot units.
    static const std::array<QLineF, 4> &axisLines();

    // Records a sample from the text of the current-pressure box (kept as it was when the text
    // is not a number) and advances to the next sample number.
    Step addSample(const QString &pressureText);

    double prhistory(int slot) const { return m_prhistory.at(slot - kFirstSlot); }
    void setPrhistory(int slot, double value) { m_prhistory.at(slot - kFirstSlot) = value; }
    int itime() const { return m_itime; }

private:
    QLineF segmentTo(int sample) const;

    std::array<double, kLastSlot - kFirstSlot + 1> m_prhistory{};
    int m_itime = 0;
};
