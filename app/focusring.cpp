#include "app/focusring.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int kRingWidth = 2;
constexpr int kGap = 1; // between the control and the ring
constexpr QColor kRingYellow(255, 255, 0);

} // namespace

FocusRing::FocusRing(QWidget *surface) : QWidget(surface)
{
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { follow(now); });
}

void FocusRing::follow(QWidget *focused)
{
    QWidget *surface = parentWidget();
    if (!focused || focused == this || focused->window() != surface->window() ||
        !surface->isAncestorOf(focused)) {
        hide();
        return;
    }
    const int margin = kGap + kRingWidth;
    setGeometry(QRect(focused->mapTo(surface, QPoint(0, 0)), focused->size())
                    .adjusted(-margin, -margin, margin, margin));
    raise();
    show();
}

void FocusRing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(kRingYellow, kRingWidth));
    painter.drawRect(QRectF(rect()).adjusted(kRingWidth / 2.0, kRingWidth / 2.0, -kRingWidth / 2.0,
                                             -kRingWidth / 2.0));
}
