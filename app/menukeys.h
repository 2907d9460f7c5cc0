#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QMainWindow;

// The keyboard's ways into the menus of a window whose menus have no keys of their own: F10
// for the menu bar, as desktop programs do, and the Menu key or Shift+F10 for the pop-up menu,
// opened over the control that has the focus.
class MenuKeys : public QObject
{
    Q_OBJECT

public:
    using PopUp = std::function<void(const QPoint &globalPos)>;

    MenuKeys(QMainWindow *window, PopUp popUp);

private:
    void focusMenuBar();

    QMainWindow *m_window;
};
