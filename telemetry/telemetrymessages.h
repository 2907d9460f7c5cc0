#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The JSON payloads the panel publishes, one schema for every panel of a lab.
namespace TelemetryMessages {

// An alarm as a subscriber needs it without the panel's screen: what it is, what raised it
// against which limit, what it does and what it did, and where it stands.
struct Alarm
{
    QDateTime time;
    QString kind;                // high, low, silence or link
    QString action;              // raised, cleared, acted or acknowledged
    std::optional<double> value; // the reading in MPa, or the seconds for silence and link
    std::optional<double> limit; // in the same unit
    QString unit;                // "MPa" or "s"
    bool stops = false;          // its response: stop the pump, else warn
    QString stop; // "sent" or "owed" once it acted, "cancelled" when owed and then cancelled
    bool cleared = false;        // its condition has ended
    bool acknowledged = false;
    QString text; // for people
};

QByteArray reading(const QDateTime &time, const QString &text, std::optional<double> value,
                   const QString &session);
QByteArray event(const QDateTime &time, const QString &key, const QString &text);
QByteArray alarm(const Alarm &alarm);
// The audit trail's head, as --verify-audit --head takes it: {"seq":N,"hash":"…","session":…}.
QByteArray auditHead(qint64 seq, const QByteArray &hash, const QString &session);

} // namespace TelemetryMessages
