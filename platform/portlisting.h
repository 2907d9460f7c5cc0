#pragma once

#include "link/serialportrecord.h"

#include <QList>

// The serial ports the system has now: QSerialPortInfo's fields and the USB location that it
// does not give, read from /sys/class/tty/<name>/device. Subclassed by tests to give a table of
// ports instead.
class PortListing
{
public:
    virtual ~PortListing() = default;
    virtual QList<SerialPortRecord> ports() const;

    // The USB interface a tty hangs off, such as "1-1.4:1.0"; empty for a port that is not on
    // USB. sysRoot is "/sys" except in tests.
    static QString usbLocation(const QString &ttyName,
                               const QString &sysRoot = QStringLiteral("/sys"));
};
