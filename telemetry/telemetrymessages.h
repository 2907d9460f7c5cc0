#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The JSON payloads the panel publishes, one schema for every panel of a lab.
namespace TelemetryMessages {

QByteArray reading(const QDateTime &time, const QString &text, std::optional<double> value);
QByteArray event(const QDateTime &time, const QString &key, const QString &text);
// action: raised, cleared, acted or acknowledged.
QByteArray alarm(const QDateTime &time, const QString &kind, const QString &action,
                 const QString &text);

} // namespace TelemetryMessages
