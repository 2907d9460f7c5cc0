#pragma once

#include <QList>
#include <QString>

// Clock-time ticks for a time axis: the finest of the usual steps (1 s ... 1 day) that leaves
// at least minSpacingPx between ticks, on round local times, labelled as fine as the step.
namespace TimeAxis {

struct Tick
{
    qint64 ms;
    QString label;
};

QList<Tick> ticks(qint64 fromMs, qint64 toMs, int pixels, int minSpacingPx = 80);

} // namespace TimeAxis
