#include "platform/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent) {}

bool DesktopNotifier::available() const
{
    // Without an address libdbus would try to autolaunch a bus, starting processes.
    return qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") &&
           QDBusConnection::sessionBus().isConnected();
}

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!available())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Critical urgency: the desktop keeps it until the operator has seen it.
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))}};
    call << QStringLiteral("corvane-panel") << uint(0) << QStringLiteral("corvane-panel") << summary
         << body << QStringList() << hints << int(-1);
    // Sent without waiting for the answer, which says only the notification's number.
    QDBusConnection::sessionBus().send(call);
}
