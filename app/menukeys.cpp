#include "app/menukeys.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QShortcut>

MenuKeys::MenuKeys(QMainWindow *window, PopUp popUp) : QObject(window), m_window(window)
{
    auto *toMenuBar = new QShortcut(QKeySequence(Qt::Key_F10), window);
    connect(toMenuBar, &QShortcut::activated, this, &MenuKeys::focusMenuBar);
    for (const QKeySequence &keys :
         {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)}) {
        auto *popup = new QShortcut(keys, window);
        connect(popup, &QShortcut::activated, this, [this, popUp] {
            const QWidget *focused =
                m_window->focusWidget() ? m_window->focusWidget() : m_window->centralWidget();
            popUp(focused->mapToGlobal(focused->rect().center()));
        });
    }
}

void MenuKeys::focusMenuBar()
{
    QMenuBar *bar = m_window->menuBar();
    for (QAction *item : bar->actions()) {
        if (item->isVisible() && item->isEnabled()) {
            bar->setFocus(Qt::ShortcutFocusReason);
            bar->setActiveAction(item);
            return;
        }
    }
}
