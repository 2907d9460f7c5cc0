#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// Drives the running panel from outside, as an operator at the X display would: finds its
// window, clicks, types and takes screenshots. Input goes through xdotool (XTest); the
// screenshot is the X server's own picture of the screen. Needs DISPLAY and a QGuiApplication
// on the xcb platform.
class PanelDriver
{
public:
    // Waits for the panel's window to be shown; false when it does not appear in time.
    bool findWindow(int timeoutMs);
    // The window's area on the screen (menu bar included) and its client area below the bar.
    QRect windowRect() const { return m_windowRect; }
    QRect clientRect() const;

    QImage grabWindow() const;

    // Chooses 通信 in the menu bar, answers its box with `answer` and presses Enter.
    bool openPort(const QString &answer, int timeoutMs);
    // Opens the first enabled menu of the bar (文件(F) once the port is open) with F10 and
    // waits for it to drop down.
    bool openFirstEnabledMenu(int timeoutMs);
    // Presses keys (xdotool key names, such as Up or Return) in turn, wherever the focus is.
    bool pressKeys(const QStringList &keys);
    // Types text as keystrokes, wherever the focus is.
    bool typeText(const QString &text);

    // Waits for a shown window whose title matches `titlePattern` (a box or dialog of the
    // panel) and gives it the keyboard focus; the calls below act on that window.
    bool focusWindow(const QString &titlePattern, int timeoutMs);
    // Presses keys and waits for the focused window to change its size, as a dialog does
    // when a key shows or hides a part of it.
    bool pressKeysUntilResized(const QStringList &keys, int timeoutMs);
    // Waits for the focused window to be closed or hidden.
    bool waitForWindowClosed(int timeoutMs);

    QString lastError() const { return m_lastError; }

private:
    bool xdotool(const QStringList &arguments, QString *output = nullptr, int timeoutMs = 15000);
    // Id of the first shown window whose title matches, or empty once timeoutMs has passed.
    QString waitForWindow(const QString &namePattern, int timeoutMs);
    // Clicks the first enabled menu-bar item, found on the screen: the items before it are greyed.
    bool clickFirstEnabledItem();
    // The panel's windows on the screen: its own and any menu that drops down from it.
    QStringList visibleWindows();

    // Width and height of a window as X has it; empty when it cannot be read.
    QSize windowSize(const QString &id);

    QString m_windowId;
    QString m_focusedId;
    QString m_focusedPattern;
    QRect m_windowRect;
    QString m_lastError;
};
