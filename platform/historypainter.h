#pragma once

#include "history/historyseries.h"

#include <QColor>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

class QPainter;
class QPicture;

// Draws the run's history as the history window shows it, exports it and prints it: a title,
// the pressure over clock time with its axes, a gap wherever there was no number or no line,
// and a mark on the time axis for each event. The same drawing serves the screen, PNG, SVG
// and the printed report.
namespace HistoryPainter {

struct View
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
    QString title;
};

// Where the curve goes inside the whole picture's rectangle.
QRectF plotArea(const QRectF &bounds);
// columnsPerUnit: columns per unit of the painter's coordinates (the device pixel ratio on
// screen, so that each device pixel column gets its own lowest and highest value).
void paint(QPainter &painter, const QRectF &bounds, const HistorySeries &series, const View &view,
           double columnsPerUnit = 1.0);
// The colour of an event's mark by its key.
QColor eventColor(const QString &key);

// An exported picture stands alone: above the curve, a heading (what, when, which device); under
// it, a legend of the curve and of the marks' colours.
QSize exportSize(QSize curve);
void paintExport(QPainter &painter, const QPicture &curve, QSize curveSize,
                 const QStringList &heading);

} // namespace HistoryPainter
