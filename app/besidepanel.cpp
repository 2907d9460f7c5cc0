#include "app/besidepanel.h"

#include "app/form1layout.h"
#include "history/windowplacement.h"

#include <QMainWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// The lowest height a window placed clear of the panel's controls is still of use at.
constexpr int kLeastUsefulHeight = 240;

} // namespace

QRect BesidePanel::placeBeside(QSize wanted, const QMargins &frame, const QRect &panel,
                               const QRect &available, const QList<QRect> &keepClear)
{
    const QSize framedSize =
        wanted.boundedTo(available.marginsRemoved(frame).size()).grownBy(frame);
    const auto clampedTop = [&](int top) {
        return std::clamp(top, available.top(), available.bottom() + 1 - framedSize.height());
    };
    const auto clampedLeft = [&](int left) {
        return std::clamp(left, available.left(), available.right() + 1 - framedSize.width());
    };
    const QPoint beside[] = {
        {panel.right() + 1, clampedTop(panel.top())},
        {panel.left() - framedSize.width(), clampedTop(panel.top())},
        {clampedLeft(panel.left()), panel.bottom() + 1},
        {clampedLeft(panel.left()), panel.top() - framedSize.height()},
    };
    for (const QPoint &at : beside) {
        if (const QRect framed(at, framedSize); available.contains(framed))
            return framed.marginsRemoved(frame);
    }
    // Over the panel, below what must stay in sight, as high as the free area still allows.
    int top = available.top();
    for (const QRect &clear : keepClear)
        top = std::max(top, clear.bottom() + 1);
    const int height = std::min(framedSize.height(), available.bottom() + 1 - top);
    if (height >= kLeastUsefulHeight + frame.top() + frame.bottom())
        return QRect(QPoint(clampedLeft(panel.left()), top), QSize(framedSize.width(), height))
            .marginsRemoved(frame);
    return WindowPlacement::place(wanted, frame, panel, available);
}

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
    // The status area's brand panel and the STOP key stay in sight.
    QList<QRect> keepClear;
    if (const auto *main = qobject_cast<const QMainWindow *>(panel);
        main && main->centralWidget()) {
        const QWidget *client = main->centralWidget();
        const QRect brand = Form1Layout::twipsToPixels(Form1Layout::kBrandPanelTwips);
        keepClear << QRect(client->mapToGlobal(brand.topLeft()), brand.size());
        if (const auto *stop = client->findChild<const QWidget *>(QStringLiteral("Cmds")))
            keepClear << QRect(stop->mapToGlobal(QPoint()), stop->size());
    }
    if (!panel) {
        window->setGeometry(
            WindowPlacement::place(window->size(), frame, QRect(), where->availableGeometry()));
        return;
    }
    window->setGeometry(
        placeBeside(window->size(), frame, panelFrame, where->availableGeometry(), keepClear));
}
