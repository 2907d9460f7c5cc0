#include "app/programplot.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLeft = 56;
constexpr double kRight = 48;
constexpr double kTop = 26;
constexpr double kBottom = 40;
// Shorter programs read in seconds, longer ones in minutes.
constexpr qint64 kMinutesAboveSeconds = 600;
constexpr qint64 kShortestSpanSeconds = 60;
const QColor kFlow(0, 90, 200);
const QColor kLimit(230, 120, 0);
const QColor kReading(200, 0, 0);
const QColor kGrid(225, 225, 225);

// 1, 2 or 5 times a power of ten, the first step that gives at most `most` intervals.
double niceStep(double span, int most)
{
    const double rough = span / most;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough * (1 - 1e-9))
            return factor * power;
    }
    return 10 * power;
}

// The axis' top and step for values up to `highest`, never below `least`.
std::pair<double, double> roundTop(double highest, double least)
{
    const double step = niceStep(std::max(highest, least), 5);
    return {std::ceil(std::max(highest, least) / step - 1e-9) * step, step};
}

QString tickText(double value, double step)
{
    return QString::number(value, 'f', step < 1 ? 1 : 0);
}

} // namespace

double ProgramPlot::Scale::x(double second) const
{
    return area.left() + second / seconds * area.width();
}

double ProgramPlot::Scale::flowY(double mlPerMin) const
{
    return area.bottom() - mlPerMin / flowTop * area.height();
}

double ProgramPlot::Scale::mpaY(double mpa) const
{
    return area.bottom() - mpa / mpaTop * area.height();
}

QRectF ProgramPlot::plotArea(const QRectF &bounds)
{
    return bounds.adjusted(kLeft, kTop, -kRight, -kBottom);
}

ProgramPlot::Scale ProgramPlot::scale(const QRectF &area, qint64 seconds, double highestFlow,
                                      double highestMpa)
{
    Scale scale;
    scale.area = area;
    scale.minutes = seconds > kMinutesAboveSeconds;
    const double span = double(std::max(seconds, kShortestSpanSeconds));
    scale.timeStep = scale.minutes ? niceStep(span / 60, 8) * 60 : niceStep(span, 8);
    scale.seconds = std::ceil(span / scale.timeStep - 1e-9) * scale.timeStep;
    std::tie(scale.flowTop, scale.flowStep) = roundTop(highestFlow, 10);
    std::tie(scale.mpaTop, scale.mpaStep) = roundTop(highestMpa, 0.5);
    return scale;
}

ProgramPlot::ProgramPlot(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(320, 180);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgramPlot::setPlan(const QList<ProgramPlan::Point> &points, qint64 totalSeconds)
{
    if (points == m_points && totalSeconds == m_totalSeconds)
        return;
    m_points = points;
    m_totalSeconds = totalSeconds;
    m_highestFlow = 0;
    m_highestLimitTenths = 0;
    for (const ProgramPlan::Point &point : points) {
        m_highestFlow = std::max(m_highestFlow, point.flow.value_or(0));
        m_highestLimitTenths = std::max(m_highestLimitTenths, point.limit.value_or(0));
    }
    update();
}

void ProgramPlot::addReading(qint64 second, double mpa)
{
    if (!std::isfinite(mpa))
        return;
    m_readings.append({second, mpa});
    m_highestReading = std::max(m_highestReading, mpa);
    update();
}

void ProgramPlot::clearReadings()
{
    if (m_readings.isEmpty())
        return;
    m_readings.clear();
    m_highestReading = 0;
    update();
}

void ProgramPlot::setMarker(std::optional<qint64> second)
{
    if (second == m_marker)
        return;
    m_marker = second;
    update();
}

void ProgramPlot::setSkipped(std::optional<qint64> from, qint64 to)
{
    if (from == m_skippedFrom && (!from || to == m_skippedTo))
        return;
    m_skippedFrom = from;
    m_skippedTo = to;
    update();
}

void ProgramPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRectF area = plotArea(rect());
    if (area.width() < 2 || area.height() < 2)
        return;
    qint64 seconds = m_totalSeconds;
    if (!m_readings.isEmpty())
        seconds = std::max(seconds, m_readings.last().second);
    const Scale s = scale(area, std::max(seconds, m_marker.value_or(0)), m_highestFlow,
                          std::max(m_highestLimitTenths / 10.0, m_highestReading));
    const QFontMetricsF metrics(painter.font());
    const double textHeight = metrics.height();

    // The flow's grid and axis on the left, the pressure's ticks on the right.
    for (double flow = 0; flow <= s.flowTop + s.flowStep / 2; flow += s.flowStep) {
        painter.setPen(kGrid);
        painter.drawLine(QPointF(area.left(), s.flowY(flow)), QPointF(area.right(), s.flowY(flow)));
        painter.setPen(kFlow);
        painter.drawText(QRectF(0, s.flowY(flow) - textHeight / 2, kLeft - 6, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter, tickText(flow, s.flowStep));
    }
    painter.setPen(kLimit);
    for (double mpa = 0; mpa <= s.mpaTop + s.mpaStep / 2; mpa += s.mpaStep) {
        painter.drawLine(QPointF(area.right(), s.mpaY(mpa)),
                         QPointF(area.right() + 4, s.mpaY(mpa)));
        painter.drawText(
            QRectF(area.right() + 6, s.mpaY(mpa) - textHeight / 2, kRight - 6, textHeight),
            Qt::AlignLeft | Qt::AlignVCenter, QString::number(mpa, 'f', 1));
    }
    painter.setPen(Qt::black);
    for (double at = 0; at <= s.seconds + s.timeStep / 2; at += s.timeStep) {
        painter.drawLine(QPointF(s.x(at), area.bottom()), QPointF(s.x(at), area.bottom() + 4));
        painter.drawText(QRectF(s.x(at) - 40, area.bottom() + 6, 80, textHeight),
                         Qt::AlignHCenter | Qt::AlignTop,
                         QString::number(s.minutes ? at / 60 : at));
    }
    painter.drawText(
        QRectF(area.left(), rect().bottom() - textHeight - 2, area.width(), textHeight),
        Qt::AlignCenter, s.minutes ? tr("时间（分）") : tr("时间（秒）"));
    painter.setPen(kFlow);
    painter.drawText(QRectF(4, 4, area.width(), textHeight), Qt::AlignLeft, tr("流量 ml/min"));
    painter.setPen(kLimit);
    painter.drawText(QRectF(area.left(), 4, area.width() + kRight - 4, textHeight), Qt::AlignRight,
                     tr("限压 / 压力 MPa"));
    painter.setPen(Qt::black);
    painter.drawRect(area);

    painter.setClipRect(area.adjusted(-1, -1, 1, 1));
    painter.setRenderHint(QPainter::Antialiasing, false);
    // A quantity not yet set has no line: the line starts at its first set.
    // What was skipped has no line: the line before it ends at its start, where the value is
    // the one between the corners around it.
    const auto skipped = [this](qint64 second) {
        return m_skippedFrom && second > *m_skippedFrom && second < m_skippedTo;
    };
    const auto planLine = [&](auto value, auto toY, const QColor &color) {
        QPainterPath path;
        bool drawing = false;
        std::optional<std::pair<qint64, int>> previous;
        for (const ProgramPlan::Point &point : std::as_const(m_points)) {
            const std::optional<int> v = value(point);
            if (!v) {
                drawing = false;
                previous.reset();
                continue;
            }
            // A corner past the skip's start, from one before it: the line ends at the start.
            if (drawing && previous && m_skippedFrom && previous->first <= *m_skippedFrom &&
                point.second > *m_skippedFrom) {
                const double part = double(*m_skippedFrom - previous->first) /
                                    double(point.second - previous->first);
                path.lineTo(s.x(double(*m_skippedFrom)),
                            toY(previous->second + part * (*v - previous->second)));
                drawing = false;
            }
            if (skipped(point.second)) {
                previous.reset();
                continue;
            }
            const QPointF at(s.x(double(point.second)), toY(*v));
            if (drawing)
                path.lineTo(at);
            else
                path.moveTo(at);
            drawing = true;
            previous = std::pair{point.second, *v};
        }
        painter.setPen(QPen(color, 2));
        painter.drawPath(path);
    };
    planLine([](const ProgramPlan::Point &p) { return p.flow; },
             [&](int flow) { return s.flowY(flow); }, kFlow);
    planLine([](const ProgramPlan::Point &p) { return p.limit; },
             [&](int tenths) { return s.mpaY(tenths / 10.0); }, kLimit);

    // The readings by pixel column, each from its lowest to its highest, so that hours of them
    // draw as fast as a minute.
    if (!m_readings.isEmpty()) {
        QPainterPath path;
        int column = -1;
        double low = 0;
        double high = 0;
        bool apart = true; // the column begins a piece of its own
        const auto flush = [&] {
            const double x = area.left() + column;
            if (apart)
                path.moveTo(x, s.mpaY(low));
            else
                path.lineTo(x, s.mpaY(low));
            path.lineTo(x, s.mpaY(high));
        };
        qint64 last = m_readings.first().second;
        for (const Reading &reading : std::as_const(m_readings)) {
            const int at = int(s.x(double(reading.second)) - area.left());
            const bool gap = reading.second - last > kJoinedSeconds || reading.second < last;
            last = reading.second;
            if (at != column || gap) {
                if (column >= 0) {
                    flush();
                    apart = gap;
                }
                column = at;
                low = high = reading.mpa;
            }
            low = std::min(low, reading.mpa);
            high = std::max(high, reading.mpa);
        }
        flush();
        painter.setPen(QPen(kReading, 1));
        painter.drawPath(path);
    }

    if (m_marker) {
        painter.setPen(QPen(Qt::darkGreen, 1, Qt::DashLine));
        const double x = s.x(double(*m_marker));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
}
