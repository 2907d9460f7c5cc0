#pragma once

#include "link/portidentity.h"
#include "session/reconnector.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

class PortListing;
class QFileSystemWatcher;
class QTimer;
class SerialControl;

// Finds the lost adapter again and reopens it through the serial control. remember() takes
// note of which adapter the operator opened (its identity from the port listing, and the name
// it was given); after begin() the reconnector looks for that adapter whenever the device
// folders change and, besides, about once a second for the first minute and every 5 s after,
// until it is back or cancel() is called. It opens only the adapter it remembered: another
// device at the same path is left alone, and a device held by another program is tried again
// later. Each change in why the adapter is not back yet is told once through stillAway().
class LinkReconnector : public QObject, public Reconnector
{
    Q_OBJECT

public:
    LinkReconnector(SerialControl *port, const PortListing *listing, QObject *parent = nullptr);

    // Takes note of the adapter opened on device. True when it is the adapter remembered
    // before: the same identity under whatever name, or, for one without, the same path once
    // resolved.
    bool remember(const QString &device) override;
    QString device() const override { return m_device; }
    const PortIdentity &identity() const { return m_identity; }

    void begin() override;
    void cancel() override;
    bool isWaiting() const { return m_waiting; }
    quint64 attempts() const { return m_attempts; }

Q_SIGNALS:
    // The remembered adapter is open again, under device.
    void reconnected(const QString &device);
    void stillAway(const QString &why);

private:
    void attempt();
    void watchFolders();
    void tell(const QString &why);
    static QStringList deviceNames();

    SerialControl *m_port;
    const PortListing *m_listing;
    QString m_device;
    QString m_canonicalDevice;
    PortIdentity m_identity;
    bool m_waiting = false;
    quint64 m_attempts = 0;
    QString m_why;
    QStringList m_lastDevices; // /dev as the last look found it
    PortIdentity::Verdict m_lastVerdict = PortIdentity::Verdict::Open;
    QElapsedTimer m_sinceLoss;
    QElapsedTimer m_sinceFullLook;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_retry;
    QTimer *m_settle;
};
