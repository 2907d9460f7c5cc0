#pragma once

#include <QLineF>
#include <QPointF>
#include <QString>

#include <array>
#include <limits>
#include <optional>

// The pressure trend of the last replies: one sample per accepted reply, 100 samples a sweep,
// drawn in plot units (x = sample number 0..99, y = pressure in MPa, at its own value). The
// sample is the number that the current-pressure box shows, so a reply that carries a setting
// repeats the last pressure; a box that does not read as a number gives a gap, which no
// segment reaches or leaves. A reading beyond the plot keeps its true value in the history and
// is drawn at the plot's edge. Slot -1 is never written and anchors each sweep's first segment
// at (-1, 0).
class PressureTrend
{
public:
    static constexpr int kSamplesPerSweep = 100;
    static constexpr int kFirstSlot = -1;
    static constexpr int kLastSlot = 101;

    // The plot's corners in plot units: 0 MPa two thirds down, 2 MPa (the highest protection
    // limit) at the top.
    static constexpr QPointF kScaleTopLeft{0, 2};
    static constexpr QPointF kScaleBottomRight{100, -1};

    // What a sample's slot holds when the box did not read as a number.
    static constexpr double kNoReading = std::numeric_limits<double>::quiet_NaN();

    struct Step
    {
        std::optional<QLineF> segment; // from the previous sample to this one; none at a gap
        bool sweepEnded;               // the plot is to be cleared after drawing the segment
    };

    // Base line and the three short tick marks at y = 0.5, 1 and 1.5, in plot units.
    static const std::array<QLineF, 4> &axisLines();

    // Records a sample from the text of the current-pressure box and advances to the next
    // sample number.
    Step addSample(const QString &pressureText);
    // The line was down: the next sample starts afresh, with no segment joining it to the
    // readings from before the outage.
    void breakLine() { m_lineBroken = true; }

    double prhistory(int slot) const { return m_prhistory.at(slot - kFirstSlot); }
    void setPrhistory(int slot, double value) { m_prhistory.at(slot - kFirstSlot) = value; }
    int itime() const { return m_itime; }

private:
    std::optional<QLineF> segmentTo(int sample) const;

    std::array<double, kLastSlot - kFirstSlot + 1> m_prhistory{};
    int m_itime = 0;
    bool m_lineBroken = false;
};
