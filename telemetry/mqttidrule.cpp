#include "telemetry/mqttidrule.h"

#include "telemetry/mqttsettings.h"

#include <QStringList>

#include <algorithm>

namespace {

bool allDigits(const QString &text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

QString MqttIdRule::deviceName(const QString &device)
{
    const QStringList parts = device.split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return {};
    QString name = parts.last();
    // A bare number would read as an instance number: "lab3-3" is not the panel on pts/3.
    if (allDigits(name) && parts.size() > 1)
        name.prepend(parts.at(parts.size() - 2));
    return MqttSettings::topicSafe(name);
}

QString MqttIdRule::id(const QString &hostName, const QString &portOneDevice, int instance)
{
    QString id = MqttSettings::idFrom(hostName);
    if (const QString device = deviceName(portOneDevice); !device.isEmpty())
        id += u'-' + device;
    if (instance > 1)
        id += u'-' + QString::number(instance);
    return id;
}
