#pragma once

#include "link/serialportrecord.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// What the operator answered in the 通信 box: a port number, as the box has always taken
// (rounded, a half to the even neighbour), or a device by its name or path: "ttyUSB0" is
// /dev/ttyUSB0, "/dev/serial/by-id/..." stays as it is. The answer is read up to its first
// blank, so an entry of the offered list, "path  description serial", names its path.
class PortAnswer
{
public:
    static std::optional<PortAnswer> parse(const QString &answer);
    // One entry of the list the box offers: the path, two blanks, description and serial.
    static QString listEntry(const SerialPortRecord &port);
    // What the box offers: the device opened last first, as it was named, so that a by-id name
    // survives a replug; then every port found, but that one.
    static QStringList choices(const QString &last, const QList<SerialPortRecord> &ports);

    std::optional<qint16> number;
    QString device;
};
