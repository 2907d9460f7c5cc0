#include "plotarea.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
// Keeps the redraw list bounded if a caller never clears; beyond it the image alone remembers.
constexpr qsizetype kMaxRememberedLines = 4096;
} // namespace

PlotArea::PlotArea(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
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
    const double x = (plotPoint.x() - m_scale.left()) * size.width() / m_scale.width();
    const double y = (plotPoint.y() - m_scale.top()) * size.height() / m_scale.height();
    return QPoint(qRound(x), qRound(y));
}

void PlotArea::line(const QLineF &plotLine, const QColor &color)
{
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
