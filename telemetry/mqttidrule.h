#pragma once

#include <QString>

// The id a panel publishes under when --mqtt-id names none: fixed at its start, and different
// for each panel of a host. It is the host name and the device of port 1 when the command line
// names one ("lab3-ttyUSB0"), else the host name alone for the first panel of the host, as it
// always was, so that subscribers keep finding it, and the host name and an instance number for
// the others ("lab3-2", "lab3-3"). Which instance a panel is, is the lowest number no running
// panel holds (MqttIdClaim).
namespace MqttIdRule {

// The id of instance (from 1) on hostName with portOneDevice (empty when not named).
QString id(const QString &hostName, const QString &portOneDevice, int instance);
// The device's name as a topic level may hold it: its file name, with its folder's name before
// a bare number ("/dev/pts/3" is "pts3"); empty when nothing of it is safe.
QString deviceName(const QString &device);

} // namespace MqttIdRule
