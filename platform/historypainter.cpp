#include "platform/historypainter.h"

#include "history/historycolumns.h"
#include "history/timeaxis.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPicture>

#include <cmath>

namespace HistoryPainter {

namespace {

constexpr double kLeft = 58;
constexpr double kRight = 16;
constexpr double kTop = 30;
constexpr double kBottom = 44;
constexpr double kMarkHeight = 7;
const QColor kCurve(220, 0, 0);
const QColor kGrid(225, 225, 225);

// 1, 2 or 5 times a power of ten, the first step that gives at most `most` intervals.
double niceStep(double span, int most)
{
    const double rough = span / most;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10 * power;
}

constexpr int kHeadingLines = 2;
constexpr int kExportLine = 20;

} // namespace

QSize exportSize(QSize curve)
{
    return curve + QSize(0, (kHeadingLines + 1) * kExportLine + 8);
}

void paintExport(QPainter &painter, const QPicture &curve, QSize curveSize,
                 const QStringList &heading)
{
    const QRectF whole(QPointF(0, 0), exportSize(curveSize));
    painter.fillRect(whole, Qt::white);
    painter.setPen(Qt::black);
    for (int i = 0; i < kHeadingLines && i < heading.size(); ++i)
        painter.drawText(QRectF(8, 4 + i * kExportLine, whole.width() - 16, kExportLine),
                         Qt::AlignLeft | Qt::AlignVCenter, heading[i]);
    const double top = 4 + kHeadingLines * kExportLine;
    painter.drawPicture(QPointF(0, top), curve);

    // The legend: the curve's colour, then each kind of mark with its colour.
    const double y = top + curveSize.height() + kExportLine / 2.0;
    const QFontMetricsF metrics(painter.font());
    double x = 8;
    painter.setPen(QPen(kCurve, 2));
    painter.drawLine(QPointF(x, y), QPointF(x + 18, y));
    x += 22;
    painter.setPen(Qt::black);
    const QString pressure = QStringLiteral("压力（MPa）");
    painter.drawText(QPointF(x, y + metrics.ascent() / 2 - 1), pressure);
    x += metrics.horizontalAdvance(pressure) + 16;
    const std::pair<const char *, const char *> marks[] = {
        {"alarm", "报警"}, {"link", "线路"},       {"run", "定时运行"},
        {"prog-", "程序"}, {"frame-sent", "命令"}, {"", "其他事件"}};
    for (const auto &[key, text] : marks) {
        const QString label = QString::fromUtf8(text);
        painter.setPen(Qt::NoPen);
        painter.setBrush(eventColor(QString::fromLatin1(key)));
        const QPointF mark[] = {{x + kMarkHeight / 2, y - kMarkHeight / 2},
                                {x, y + kMarkHeight / 2},
                                {x + kMarkHeight, y + kMarkHeight / 2}};
        painter.drawPolygon(mark, 3);
        x += kMarkHeight + 4;
        painter.setPen(Qt::black);
        painter.drawText(QPointF(x, y + metrics.ascent() / 2 - 1), label);
        x += metrics.horizontalAdvance(label) + 14;
    }
}

QRectF plotArea(const QRectF &bounds)
{
    return bounds.adjusted(kLeft, kTop, -kRight, -kBottom);
}

QColor eventColor(const QString &key)
{
    if (key.startsWith(u"alarm"))
        return QColor(220, 0, 0);
    if (key.startsWith(u"link"))
        return QColor(230, 120, 0);
    if (key.startsWith(u"run"))
        return QColor(0, 140, 0);
    // A program's turns, told apart from the timed run's.
    if (key.startsWith(u"prog-"))
        return QColor(130, 0, 170);
    if (key == u"frame-sent")
        return QColor(0, 70, 200);
    return QColor(110, 110, 110);
}

void paint(QPainter &painter, const QRectF &bounds, const HistorySeries &series, const View &view,
           double columnsPerUnit)
{
    painter.save();
    painter.fillRect(bounds, Qt::white);
    const QRectF area = plotArea(bounds);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(bounds.left(), bounds.top(), bounds.width(), kTop), Qt::AlignCenter,
                     view.title);
    if (area.width() < 2 || area.height() < 2 || view.toMs <= view.fromMs) {
        painter.restore();
        return;
    }

    const int count = std::max(1, int(std::lround(area.width() * columnsPerUnit)));
    const std::vector<HistoryColumn> columns =
        HistoryColumns::reduce(series, view.fromMs, view.toMs, count);
    double low = INFINITY;
    double high = -INFINITY;
    for (const HistoryColumn &column : columns) {
        if (column.any) {
            low = std::min(low, column.min);
            high = std::max(high, column.max);
        }
    }
    if (!std::isfinite(low)) {
        low = 0;
        high = 2;
    }
    // At least a tenth of an MPa, and a little room above and below the curve.
    const double middle = (low + high) / 2;
    const double half = std::max(0.05, (high - low) / 2) * 1.08;
    const double step = niceStep(2 * half, 6);
    const double bottom = std::floor((middle - half) / step) * step;
    const double top = std::ceil((middle + half) / step) * step;
    const auto y = [&](double value) {
        return area.bottom() - (value - bottom) / (top - bottom) * area.height();
    };
    const double span = double(view.toMs - view.fromMs);
    const auto x = [&](qint64 ms) {
        return area.left() + double(ms - view.fromMs) / span * area.width();
    };

    // Grid and value axis.
    const QFontMetricsF metrics(painter.font());
    for (double value = bottom; value <= top + step / 2; value += step) {
        painter.setPen(kGrid);
        painter.drawLine(QPointF(area.left(), y(value)), QPointF(area.right(), y(value)));
        painter.setPen(Qt::black);
        painter.drawText(
            QRectF(bounds.left(), y(value) - metrics.height() / 2, kLeft - 6, metrics.height()),
            Qt::AlignRight | Qt::AlignVCenter, QString::number(value, 'f', step < 0.1 ? 2 : 1));
    }
    painter.save();
    painter.translate(bounds.left() + metrics.height() / 2 + 2, area.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-60, -metrics.height() / 2, 120, metrics.height()), Qt::AlignCenter,
                     QStringLiteral("MPa"));
    painter.restore();

    // Time axis with clock times.
    for (const TimeAxis::Tick &tick : TimeAxis::ticks(view.fromMs, view.toMs, int(area.width()))) {
        const double at = x(tick.ms);
        painter.setPen(kGrid);
        painter.drawLine(QPointF(at, area.top()), QPointF(at, area.bottom()));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(at, area.bottom()), QPointF(at, area.bottom() + 4));
        painter.drawText(QRectF(at - 50, area.bottom() + kMarkHeight + 4, 100, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, tick.label);
    }
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);

    // The curve: each column from its lowest to its highest value, joined to the column
    // before where the readings were.
    painter.save();
    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen curve(kCurve, 0);
    painter.setPen(curve);
    const double columnWidth = area.width() / count;
    std::optional<QPointF> previous;
    QPainterPath path;
    for (int c = 0; c < count; ++c) {
        const HistoryColumn &column = columns[size_t(c)];
        if (!column.any)
            continue;
        const double at = area.left() + (c + 0.5) * columnWidth;
        if (previous && column.joined) {
            path.moveTo(*previous);
            path.lineTo(at, y(column.first));
        }
        // A single reading still shows: a line as long as a hundredth of the column.
        path.moveTo(at, y(column.min));
        path.lineTo(column.max > column.min ? at : at + columnWidth * 0.01, y(column.max));
        previous = QPointF(at, y(column.last));
    }
    painter.drawPath(path);
    painter.restore();

    // Event marks under the time axis.
    painter.setPen(Qt::NoPen);
    for (const HistorySeries::Event &event : series.events()) {
        if (event.ms < view.fromMs || event.ms > view.toMs)
            continue;
        const double at = x(event.ms);
        painter.setBrush(eventColor(event.key));
        const QPointF mark[] = {{at, area.bottom() + 1},
                                {at - kMarkHeight / 2, area.bottom() + 1 + kMarkHeight},
                                {at + kMarkHeight / 2, area.bottom() + 1 + kMarkHeight}};
        painter.drawPolygon(mark, 3);
    }
    painter.restore();
}

} // namespace HistoryPainter
