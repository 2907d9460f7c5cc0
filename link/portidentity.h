#pragma once

#include "link/serialportrecord.h"

#include <QList>
#include <QString>

// Which adapter a port is, whatever name the system gives it today: its serial number, or
// failing that its vendor and product id together with the USB socket it is plugged into.
// A port with neither (a built-in port, a pseudo-terminal) has no identity and is known by its
// path alone.
//
// find() decides where the adapter that was lost can be opened again:
// - an adapter with an identity is looked for by it, so one back under another name is found;
//   a port at the old path that is another adapter is never taken for it;
// - a port without an identity is looked for at its path (its symlink already resolved by the
//   caller), unless the port now there has an identity, which makes it another device.
class PortIdentity
{
public:
    PortIdentity() = default;
    static PortIdentity of(const SerialPortRecord &port);

    bool isKnown() const { return !m_serialNumber.isEmpty() || !m_usbLocation.isEmpty(); }
    bool matches(const SerialPortRecord &port) const;
    // For the operator: serial number, or ids and USB location.
    QString text() const;

    enum class Verdict {
        Open,    // device holds the path to open
        Absent,  // not back yet
        NotOurs, // the path is taken by another device, which is never opened
    };
    struct Found
    {
        Verdict verdict;
        QString device;
    };

    // resolvedPath: the canonical path that the operator's device name resolves to now, or
    // empty when nothing is there. ports: the system's listing.
    Found find(const QString &resolvedPath, const QList<SerialPortRecord> &ports) const;

    bool operator==(const PortIdentity &other) const = default;

private:
    QString m_serialNumber;
    quint16 m_vendorId = 0;
    quint16 m_productId = 0;
    QString m_usbLocation; // only with vendor and product id
};
