#pragma once

#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// A window of the panel's own (the history, a program, the audit trail) opens beside the panel
// where the screen's free area has room for it: to its right, to its left, below or above. On a
// screen too small for that it opens over the panel, but never over the status area's brand
// panel or the STOP key; only where even that cannot be is it placed over the panel whole.
namespace BesidePanel {

// Gives window its geometry there; done once, before it is first mapped.
void place(QWidget *window);

// wanted: the client size asked for; frame: what the window manager draws around it;
// panel: the panel's window with its frame; available: the screen's free area; keepClear: what
// of the panel the window must not cover. The client geometry.
QRect placeBeside(QSize wanted, const QMargins &frame, const QRect &panel, const QRect &available,
                  const QList<QRect> &keepClear);

} // namespace BesidePanel
