#pragma once

#include <QObject>
#include <QString>

// Tells the desktop through its notification service (org.freedesktop.Notifications on the
// session bus), where there is one. The call is never waited for: a desktop without the
// service, or a slow one, costs the panel nothing.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject *parent = nullptr);

    // False where no session bus is named in the environment: nothing is sent.
    bool available() const;
    void notify(const QString &summary, const QString &body);
};
