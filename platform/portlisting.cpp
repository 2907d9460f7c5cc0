#include "platform/portlisting.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

QList<SerialPortRecord> PortListing::ports() const
{
    QList<SerialPortRecord> records;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialPortRecord record;
        record.systemLocation = info.systemLocation();
        record.description = info.description();
        record.serialNumber = info.serialNumber();
        record.hasVendorAndProduct = info.hasVendorIdentifier() && info.hasProductIdentifier();
        record.vendorId = info.vendorIdentifier();
        record.productId = info.productIdentifier();
        record.usbLocation = usbLocation(info.portName());
        records.append(record);
    }
    return records;
}

QString PortListing::usbLocation(const QString &ttyName, const QString &sysRoot)
{
    // The device link leads to the interface (".../usb1/1-1/1-1.4/1-1.4:1.0" for ttyACM, one
    // level deeper for the usb-serial drivers' ttyUSB). The last component shaped like
    // "bus-port[.port]:config.interface" is the socket the adapter is plugged into.
    const QString device =
        QFileInfo(sysRoot + QStringLiteral("/class/tty/") + ttyName + QStringLiteral("/device"))
            .canonicalFilePath();
    if (device.isEmpty())
        return {};
    static const QRegularExpression usbInterface(QStringLiteral(R"(^\d+-\d+(\.\d+)*:\d+\.\d+$)"));
    const QStringList parts = device.split(u'/', Qt::SkipEmptyParts);
    for (auto it = parts.crbegin(); it != parts.crend(); ++it) {
        if (usbInterface.match(*it).hasMatch())
            return *it;
    }
    return {};
}
