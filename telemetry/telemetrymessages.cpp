#include "telemetry/telemetrymessages.h"

#include "records/isotime.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace TelemetryMessages {

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString iso(const QDateTime &time)
{
    return IsoTime::withOffset(time);
}

QJsonValue numberOrNull(std::optional<double> value)
{
    return value && std::isfinite(*value) ? QJsonValue(*value) : QJsonValue();
}

} // namespace

QByteArray reading(const QDateTime &time, const QString &text, std::optional<double> value,
                   const QString &session)
{
    return compact({{QStringLiteral("time"), iso(time)},
                    {QStringLiteral("text"), text},
                    {QStringLiteral("value"), numberOrNull(value)},
                    {QStringLiteral("unit"), QStringLiteral("MPa")},
                    {QStringLiteral("session"), session}});
}

QByteArray event(const QDateTime &time, const QString &key, const QString &text)
{
    return compact({{QStringLiteral("time"), iso(time)},
                    {QStringLiteral("key"), key},
                    {QStringLiteral("text"), text}});
}

QByteArray alarm(const Alarm &alarm)
{
    return compact(
        {{QStringLiteral("time"), iso(alarm.time)},
         {QStringLiteral("kind"), alarm.kind},
         {QStringLiteral("action"), alarm.action},
         {QStringLiteral("value"), numberOrNull(alarm.value)},
         {QStringLiteral("limit"), numberOrNull(alarm.limit)},
         {QStringLiteral("unit"), alarm.unit},
         {QStringLiteral("response"),
          alarm.stops ? QStringLiteral("stop") : QStringLiteral("warn")},
         {QStringLiteral("stop"), alarm.stop.isEmpty() ? QJsonValue() : QJsonValue(alarm.stop)},
         {QStringLiteral("cleared"), alarm.cleared},
         {QStringLiteral("acknowledged"), alarm.acknowledged},
         {QStringLiteral("text"), alarm.text}});
}

QByteArray auditHead(qint64 seq, const QByteArray &hash, const QString &session)
{
    return compact({{QStringLiteral("seq"), seq},
                    {QStringLiteral("hash"), QString::fromLatin1(hash)},
                    {QStringLiteral("session"), session}});
}

} // namespace TelemetryMessages
