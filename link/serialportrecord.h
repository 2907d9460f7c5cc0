#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

// One serial port as the system lists it now: what QSerialPortInfo tells, and the USB location
// (bus and port path, e.g. "1-1.4:1.0"), which it does not. Fields the device does not have
// are empty or zero.
struct SerialPortRecord
{
    QString systemLocation; // /dev/ttyUSB0
    QString description;
    QString serialNumber;
    quint16 vendorId = 0;
    quint16 productId = 0;
    bool hasVendorAndProduct = false;
    QString usbLocation;
};

Q_DECLARE_METATYPE(SerialPortRecord)
