#include "platform/plotarea.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// Keeps the redraw list bounded if a caller never clears; beyond it the image alone remembers.
constexpr qsizetype kMaxRememberedLines = 4096;
// Far enough outside any area to leave a line's visible part where it is, and near enough that
// rounding to an int cannot wrap.
constexpr double kFarOutsidePixels = 1e6;

int toPixelCoordinate(double plotValue, double plotStart, double plotSpan, int pixels)
{
    const double pixel = (plotValue - plotStart) * (pixels - 1) / plotSpan;
    return qRound(std::clamp(pixel, -kFarOutsidePixels, kFarOutsidePixels));
}
} // namespace

PlotArea::PlotArea(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // One pixel of border leaves the drawing area level with the scale marks beside it.
    setLineWidth(1);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A press on the plot belongs to the plot, not to the window's surface behind it.
    setAttribute(Qt::WA_NoMousePropagation);
}

void PlotArea::setScale(QPointF topLeft, QPointF bottomRight)
{
    const QRectF scale(topLeft, bottomRight);
    if (scale == m_scale)
        return;
    m_scale = scale;
    redraw();
}

QPoint PlotArea::toPixel(QPointF plotPoint) const
{
    const QSize size = contentsRect().size();
    return QPoint(toPixelCoordinate(plotPoint.x(), m_scale.left(), m_scale.width(), size.width()),
                  toPixelCoordinate(plotPoint.y(), m_scale.top(), m_scale.height(), size.height()));
}

void PlotArea::line(const QLineF &plotLine, const QColor &color)
{
    // A point that is no number has no place on the plot, so neither has its line.
    for (const double coordinate : {plotLine.x1(), plotLine.y1(), plotLine.x2(), plotLine.y2()}) {
        if (std::isnan(coordinate))
            return;
    }
    const DrawnLine drawn{plotLine, color.isValid() ? color : QColor(Qt::black)};
    // The same line drawn again (the axes, for instance) changes nothing on the image.
    const bool known = std::any_of(m_lines.cbegin(), m_lines.cend(), [&](const DrawnLine &l) {
        return l.plotLine == drawn.plotLine && l.color == drawn.color;
    });
    if (!known && m_lines.size() < kMaxRememberedLines)
        m_lines.append(drawn);
    update(drawLineOnImage(drawn).translated(contentsRect().topLeft()));
}

void PlotArea::cls()
{
    m_lines.clear();
    m_image.fill(Qt::white);
    update(contentsRect());
}

QRect PlotArea::drawLineOnImage(const DrawnLine &drawn)
{
    if (m_image.isNull())
        return {};
    const QPoint from = toPixel(drawn.plotLine.p1());
    const QPoint to = toPixel(drawn.plotLine.p2());
    QPainter painter(&m_image);
    painter.setPen(QPen(drawn.color, 0));
    painter.drawLine(from, to);
    return QRect(from, to).normalized().adjusted(-1, -1, 1, 1);
}

void PlotArea::redraw()
{
    const QSize size = contentsRect().size();
    if (size.isEmpty()) {
        m_image = QImage();
        return;
    }
    m_image = QImage(size, QImage::Format_RGB32);
    m_image.fill(Qt::white);
    for (const DrawnLine &drawn : std::as_const(m_lines))
        drawLineOnImage(drawn);
    update();
}

void PlotArea::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    redraw();
}

void PlotArea::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    const QRect exposed = event->rect() & area;
    if (!exposed.isEmpty())
        painter.drawImage(exposed.topLeft(), m_image, exposed.translated(-area.topLeft()));
    painter.end();
    QFrame::paintEvent(event);
}
