#pragma once

#include "link/serialportrecord.h"

#include <QString>
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

    std::optional<qint16> number;
    QString device;
};
