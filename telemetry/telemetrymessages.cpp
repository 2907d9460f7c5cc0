#include "telemetry/telemetrymessages.h"

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
    return time.toString(Qt::ISODateWithMs);
}

} // namespace

QByteArray reading(const QDateTime &time, const QString &text, std::optional<double> value)
{
    return compact({{QStringLiteral("time"), iso(time)},
                    {QStringLiteral("text"), text},
                    {QStringLiteral("value"),
                     value && std::isfinite(*value) ? QJsonValue(*value) : QJsonValue()}});
}

QByteArray event(const QDateTime &time, const QString &key, const QString &text)
{
    return compact({{QStringLiteral("time"), iso(time)},
                    {QStringLiteral("key"), key},
                    {QStringLiteral("text"), text}});
}

QByteArray alarm(const QDateTime &time, const QString &kind, const QString &action,
                 const QString &text)
{
    return compact({{QStringLiteral("time"), iso(time)},
                    {QStringLiteral("kind"), kind},
                    {QStringLiteral("action"), action},
                    {QStringLiteral("text"), text}});
}

} // namespace TelemetryMessages
