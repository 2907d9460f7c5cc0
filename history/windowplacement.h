#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

// Where a window opens beside the panel: centred over the panel's window, no larger than the
// screen's free area and wholly inside it, its frame included.
namespace WindowPlacement {

// wanted: the client size asked for; frame: what the window manager draws around it; over:
// the panel's window with its frame; available: the screen's free area. The client geometry.
QRect place(QSize wanted, const QMargins &frame, const QRect &over, const QRect &available);

} // namespace WindowPlacement
