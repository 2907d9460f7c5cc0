#include "app/besidepanel.h"

#include "history/windowplacement.h"

#include <QScreen>
#include <QWidget>

void BesidePanel::place(QWidget *window)
{
    const QWidget *panel = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    const QScreen *where = panel ? panel->screen() : window->screen();
    if (!where)
        return;
    // The panel's frame stands for the one this window will get.
    const QRect panelFrame = panel ? panel->frameGeometry() : QRect();
    const QMargins frame = panel ? QMargins(panel->geometry().left() - panelFrame.left(),
                                            panel->geometry().top() - panelFrame.top(),
                                            panelFrame.right() - panel->geometry().right(),
                                            panelFrame.bottom() - panel->geometry().bottom())
                                 : QMargins();
    window->setGeometry(
        WindowPlacement::place(window->size(), frame, panelFrame, where->availableGeometry()));
}
