#include "platform/historyview.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr double kZoomPerNotch = 1.25;
constexpr qint64 kShortestSpanMs = 2000;
constexpr int kMarkReach = 5; // pixels either side of a mark that show its text

} // namespace

HistoryView::HistoryView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("historyView"));
    setMinimumSize(400, 240);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("压力历史曲线"));
    m_wanted.whole = true;
}

void HistoryView::ask(HistoryRenderer::Request request)
{
    request.id = m_nextId++;
    request.size = size();
    request.devicePixelRatio = devicePixelRatioF();
    request.title = m_title;
    m_wanted = request;
    Q_EMIT renderWanted(request);
}

void HistoryView::showWhole()
{
    HistoryRenderer::Request request = m_wanted;
    request.whole = true;
    request.follow = false;
    setFollow(false);
    ask(request);
}

void HistoryView::setFollow(bool follow)
{
    if (m_follow == follow)
        return;
    m_follow = follow;
    Q_EMIT followChanged(follow);
    if (follow)
        refresh();
}

void HistoryView::setRange(qint64 fromMs, qint64 toMs)
{
    if (toMs - fromMs < kShortestSpanMs) {
        const qint64 middle = fromMs + (toMs - fromMs) / 2;
        fromMs = middle - kShortestSpanMs / 2;
        toMs = fromMs + kShortestSpanMs;
    }
    setFollow(false);
    HistoryRenderer::Request request;
    request.fromMs = fromMs;
    request.toMs = toMs;
    ask(request);
}

void HistoryView::refresh()
{
    HistoryRenderer::Request request = m_wanted;
    request.follow = m_follow && !request.whole;
    ask(request);
}

void HistoryView::showPicture(const QImage &image, const HistoryRenderer::Request &request)
{
    // A picture overtaken by a newer request is not shown.
    if (request.id != m_wanted.id)
        return;
    m_image = image;
    m_shown = request;
    // Once drawn, "everything" becomes the range it was, so that zooming starts from it.
    m_wanted.fromMs = request.fromMs;
    m_wanted.toMs = request.toMs;
    update();
    Q_EMIT rangeShown(request.fromMs, request.toMs);
}

void HistoryView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_image.isNull())
        painter.drawImage(QPoint(0, 0), m_image);
}

void HistoryView::resizeEvent(QResizeEvent *)
{
    HistoryRenderer::Request request = m_wanted;
    ask(request);
}

qint64 HistoryView::timeAt(double x) const
{
    const QRectF area = HistoryPainter::plotArea(rect());
    const double share = std::clamp((x - area.left()) / area.width(), 0.0, 1.0);
    return m_shown.fromMs + qint64(std::llround(share * double(m_shown.toMs - m_shown.fromMs)));
}

void HistoryView::wheelEvent(QWheelEvent *event)
{
    if (m_shown.toMs <= m_shown.fromMs)
        return;
    const double notches = event->angleDelta().y() / 120.0;
    const double factor = std::pow(kZoomPerNotch, -notches);
    const qint64 pivot = timeAt(event->position().x());
    setRange(pivot - qint64(double(pivot - m_shown.fromMs) * factor),
             pivot + qint64(double(m_shown.toMs - pivot) * factor));
    event->accept();
}

void HistoryView::mousePressEvent(QMouseEvent *event)
{
    m_pressAt = event->position().toPoint();
    m_pressFrom = m_shown.fromMs;
    m_pressTo = m_shown.toMs;
    const bool band =
        event->button() == Qt::RightButton || event->modifiers().testFlag(Qt::ShiftModifier);
    m_drag = band ? Drag::Band : event->button() == Qt::LeftButton ? Drag::Pan : Drag::None;
    if (m_drag == Drag::Band) {
        if (!m_band)
            m_band = new QRubberBand(QRubberBand::Rectangle, this);
        m_band->setGeometry(QRect(m_pressAt, QSize()));
        m_band->show();
    }
}

void HistoryView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (m_drag == Drag::Band) {
        const QRectF area = HistoryPainter::plotArea(rect());
        m_band->setGeometry(
            QRect(QPoint(m_pressAt.x(), int(area.top())), QPoint(at.x(), int(area.bottom())))
                .normalized());
    } else if (m_drag == Drag::Pan && m_pressTo > m_pressFrom) {
        const QRectF area = HistoryPainter::plotArea(rect());
        const qint64 shift =
            qint64(double(at.x() - m_pressAt.x()) / area.width() * double(m_pressTo - m_pressFrom));
        setRange(m_pressFrom - shift, m_pressTo - shift);
    }
}

void HistoryView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_drag == Drag::Band) {
        m_band->hide();
        const int x1 = m_pressAt.x();
        const int x2 = event->position().toPoint().x();
        if (std::abs(x2 - x1) > 3) {
            // Both ends from the range shown when the band was begun.
            m_shown.fromMs = m_pressFrom;
            m_shown.toMs = m_pressTo;
            setRange(timeAt(std::min(x1, x2)), timeAt(std::max(x1, x2)));
        }
    }
    m_drag = Drag::None;
}

void HistoryView::mouseDoubleClickEvent(QMouseEvent *)
{
    showWhole();
}

bool HistoryView::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip || !m_marks)
        return QWidget::event(event);
    const QPoint at = static_cast<QHelpEvent *>(event)->pos();
    const QRectF area = HistoryPainter::plotArea(rect());
    QStringList lines;
    if (at.y() >= area.bottom() - kMarkReach && at.y() <= area.bottom() + 3 * kMarkReach &&
        m_shown.toMs > m_shown.fromMs) {
        const double perMs = area.width() / double(m_shown.toMs - m_shown.fromMs);
        for (const Mark &mark : *m_marks) {
            const double x = area.left() + double(mark.ms - m_shown.fromMs) * perMs;
            if (std::abs(x - at.x()) <= kMarkReach)
                lines << QStringLiteral("%1 %2 %3")
                             .arg(QDateTime::fromMSecsSinceEpoch(mark.ms).toString(
                                      QStringLiteral("HH:mm:ss")),
                                  mark.key, mark.text);
        }
    }
    if (lines.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(),
                           lines.mid(0, 8).join(u'\n'), this);
    return true;
}
