#include "tools/paneldriver/paneldriver.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QThread>

namespace {

const QString kCaption = QStringLiteral("^Corvane\\(KMW7R35\\)V2\\.0$");
const QString kClass = QStringLiteral("^corvane-panel$");
constexpr int kClientHeight = 502;

// Dark enough to be the text of an enabled item; greyed items and the bar itself are lighter.
bool isEnabledText(QRgb pixel)
{
    return qGray(pixel) < 90;
}

} // namespace

bool PanelDriver::xdotool(const QStringList &arguments, QString *output, int timeoutMs)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        m_lastError =
            QStringLiteral("xdotool %1 failed: %2")
                .arg(arguments.join(u' '), QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return true;
}

QString PanelDriver::waitForWindow(const QString &namePattern, int timeoutMs)
{
    QString ids;
    for (int waited = 0; waited <= timeoutMs; waited += 200) {
        // No match is an exit code of 1 from xdotool: keep waiting.
        if (xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), namePattern},
                    &ids) &&
            !ids.trimmed().isEmpty())
            break;
        QThread::msleep(200);
    }
    return ids.split(u'\n', Qt::SkipEmptyParts).value(0);
}

bool PanelDriver::findWindow(int timeoutMs)
{
    m_windowId = waitForWindow(kCaption, timeoutMs);
    if (m_windowId.isEmpty()) {
        m_lastError = QStringLiteral("the panel's window did not appear");
        return false;
    }
    QString shell;
    if (!xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), m_windowId},
                 &shell))
        return false;
    QHash<QString, int> values;
    for (const QString &line : shell.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList pair = line.split(u'=');
        if (pair.size() == 2)
            values.insert(pair[0], pair[1].toInt());
    }
    m_windowRect =
        QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
              values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
    return true;
}

QRect PanelDriver::clientRect() const
{
    const int menuHeight = m_windowRect.height() - kClientHeight;
    return QRect(m_windowRect.x(), m_windowRect.y() + menuHeight, m_windowRect.width(),
                 kClientHeight);
}

QImage PanelDriver::grabWindow() const
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen->grabWindow(0).toImage().copy(m_windowRect);
}

bool PanelDriver::clickFirstEnabledItem()
{
    const QImage window = grabWindow();
    const int menuHeight = m_windowRect.height() - kClientHeight;
    const int row = menuHeight / 2;
    int first = -1;
    int last = -1;
    for (int x = 0; x < window.width(); ++x) {
        bool dark = false;
        for (int y = qMax(0, row - 5); y <= qMin(menuHeight - 1, row + 5) && !dark; ++y)
            dark = isEnabledText(window.pixel(x, y));
        if (dark) {
            if (first < 0)
                first = x;
            else if (x - last > 8) // the gap to the next item: the first one is complete
                break;
            last = x;
        }
    }
    if (first < 0) {
        m_lastError = QStringLiteral("no enabled item found in the menu bar");
        return false;
    }
    const QPoint item = m_windowRect.topLeft() + QPoint((first + last) / 2, row);
    return xdotool({QStringLiteral("mousemove"), QString::number(item.x()),
                    QString::number(item.y()), QStringLiteral("click"), QStringLiteral("1")});
}

QStringList PanelDriver::visibleWindows()
{
    QString ids;
    // No match is an exit code of 1 from xdotool, and simply no window here.
    xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
             kClass},
            &ids);
    return ids.split(u'\n', Qt::SkipEmptyParts);
}

bool PanelDriver::openPort(const QString &answer, int timeoutMs)
{
    if (!clickFirstEnabledItem())
        return false;
    const QString box = waitForWindow(QStringLiteral("^Commport$"), timeoutMs);
    if (box.isEmpty()) {
        m_lastError = QStringLiteral("the port box did not appear");
        return false;
    }
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box}) &&
           xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}) &&
           xdotool({QStringLiteral("type"), answer}) &&
           xdotool({QStringLiteral("key"), QStringLiteral("Return")});
}

bool PanelDriver::openFirstEnabledMenu(int timeoutMs)
{
    // F10 opens the first menu the panel itself holds enabled now, where a click would go by
    // a picture of the menu bar that a busy machine may not have repainted yet.
    const qsizetype before = visibleWindows().size();
    if (!xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_windowId}) ||
        !xdotool({QStringLiteral("key"), QStringLiteral("F10")}))
        return false;
    for (int waited = 0; waited <= timeoutMs; waited += 200) {
        if (visibleWindows().size() > before)
            return true;
        QThread::msleep(200);
    }
    m_lastError = QStringLiteral("no menu dropped down");
    return false;
}

bool PanelDriver::pressKeys(const QStringList &keys)
{
    return xdotool(QStringList{QStringLiteral("key")} + keys);
}

bool PanelDriver::typeText(const QString &text)
{
    return xdotool({QStringLiteral("type"), text});
}

bool PanelDriver::focusWindow(const QString &titlePattern, int timeoutMs)
{
    m_focusedId = waitForWindow(titlePattern, timeoutMs);
    m_focusedPattern = titlePattern;
    if (m_focusedId.isEmpty()) {
        m_lastError = QStringLiteral("no window titled %1 appeared").arg(titlePattern);
        return false;
    }
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_focusedId});
}

QSize PanelDriver::windowSize(const QString &id)
{
    QString geometry;
    if (!xdotool({QStringLiteral("getwindowgeometry"), id}, &geometry))
        return {};
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(geometry);
    return size.hasMatch() ? QSize(size.captured(1).toInt(), size.captured(2).toInt()) : QSize();
}

bool PanelDriver::pressKeysUntilResized(const QStringList &keys, int timeoutMs)
{
    const QSize before = windowSize(m_focusedId);
    if (before.isEmpty() || !pressKeys(keys))
        return false;
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        const QSize now = windowSize(m_focusedId);
        if (!now.isEmpty() && now != before)
            return true;
        QThread::msleep(100);
    }
    m_lastError = QStringLiteral("%1 did not change the window's size").arg(keys.join(u' '));
    return false;
}

bool PanelDriver::waitForWindowClosed(int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 200) {
        QString ids;
        // No match is an exit code of 1 from xdotool, and the window gone.
        xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--name"), m_focusedPattern},
                &ids);
        if (!ids.split(u'\n', Qt::SkipEmptyParts).contains(m_focusedId))
            return true;
        QThread::msleep(200);
    }
    m_lastError = QStringLiteral("the window titled %1 stayed open").arg(m_focusedPattern);
    return false;
}
