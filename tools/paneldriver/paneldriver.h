#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>
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
    bool clickClient(QPoint clientPoint, int button = 1);

    QString lastError() const { return m_lastError; }

private:
    bool xdotool(const QStringList &arguments, QString *output = nullptr, int timeoutMs = 15000);
    // x of the first enabled menu-bar item, read off the screen: the items before it are greyed.
    std::optional<QPoint> communicationItem() const;

    QString m_windowId;
    QRect m_windowRect;
    QString m_lastError;
};
