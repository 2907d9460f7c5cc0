#include "history/windowplacement.h"

#include <algorithm>

QRect WindowPlacement::place(QSize wanted, const QMargins &frame, const QRect &over,
                             const QRect &available)
{
    const QSize room = available.marginsRemoved(frame).size();
    const QSize size = wanted.boundedTo(room);
    QRect framed(QPoint(), size.grownBy(frame));
    framed.moveCenter(over.isValid() ? over.center() : available.center());
    framed.moveLeft(std::clamp(framed.left(), available.left(),
                               available.left() + available.width() - framed.width()));
    framed.moveTop(std::clamp(framed.top(), available.top(),
                              available.top() + available.height() - framed.height()));
    return framed.marginsRemoved(frame);
}
