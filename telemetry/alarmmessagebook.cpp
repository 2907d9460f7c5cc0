#include "telemetry/alarmmessagebook.h"

#include "link/numbertext.h"

TelemetryMessages::Alarm &AlarmMessageBook::entry(AlarmMonitor::Kind kind)
{
    auto it = m_latched.find(kind);
    if (it == m_latched.end()) {
        // Told of an alarm not raised here (settings changed meanwhile): its kind at least.
        it = m_latched.insert(kind, {});
        it->kind = AlarmMonitor::id(kind);
        it->unit = AlarmMonitor::isPressure(kind) ? QStringLiteral("MPa") : QStringLiteral("s");
    }
    return *it;
}

TelemetryMessages::Alarm AlarmMessageBook::raised(const AlarmMonitor::Alarm &alarm,
                                                  const AlarmSettings &settings)
{
    m_latched.remove(alarm.kind); // raised anew: what it did before no longer holds
    TelemetryMessages::Alarm &message = entry(alarm.kind);
    message.time = alarm.raisedAt;
    message.action = QStringLiteral("raised");
    message.stops = alarm.stops;
    message.text = alarm.value;
    switch (alarm.kind) {
    case AlarmMonitor::Kind::High:
    case AlarmMonitor::Kind::Low: {
        const AlarmSettings::Pressure &limit =
            alarm.kind == AlarmMonitor::Kind::High ? settings.high : settings.low;
        message.value = NumberText::toDouble(alarm.value);
        message.limit = limit.limit;
        break;
    }
    case AlarmMonitor::Kind::Silence:
    case AlarmMonitor::Kind::Link: {
        // A time alarm is raised when its time has passed: that time is its value.
        const int seconds = alarm.kind == AlarmMonitor::Kind::Silence ? settings.silence.seconds
                                                                      : settings.link.seconds;
        message.value = seconds;
        message.limit = seconds;
        break;
    }
    }
    return message;
}

TelemetryMessages::Alarm AlarmMessageBook::acted(AlarmMonitor::Kind kind, bool stopSent,
                                                 const QDateTime &at)
{
    TelemetryMessages::Alarm &message = entry(kind);
    message.time = at;
    message.action = QStringLiteral("acted");
    message.stop = stopSent ? QStringLiteral("sent") : QStringLiteral("owed");
    return message;
}

QList<TelemetryMessages::Alarm> AlarmMessageBook::stopSettled(bool sent, const QDateTime &at)
{
    QList<TelemetryMessages::Alarm> messages;
    for (TelemetryMessages::Alarm &message : m_latched) {
        if (message.stop != QLatin1String("owed"))
            continue;
        message.time = at;
        message.action = QStringLiteral("acted");
        message.stop = sent ? QStringLiteral("sent") : QStringLiteral("cancelled");
        messages << message;
    }
    return messages;
}

TelemetryMessages::Alarm AlarmMessageBook::cleared(const AlarmMonitor::Clearing &clearing,
                                                   const QDateTime &at)
{
    // Acknowledged while its condition lasted: its end is told, but nothing stays latched.
    const bool acknowledged = !m_latched.contains(clearing.kind);
    TelemetryMessages::Alarm &message = entry(clearing.kind);
    message.time = at;
    message.action = QStringLiteral("cleared");
    message.cleared = true;
    message.acknowledged = acknowledged;
    message.text = clearing.clearedBy;
    if (acknowledged)
        return m_latched.take(clearing.kind);
    return message;
}

QList<TelemetryMessages::Alarm>
AlarmMessageBook::acknowledged(const QList<AlarmMonitor::Alarm> &alarms, const QDateTime &at)
{
    QList<TelemetryMessages::Alarm> messages;
    for (const AlarmMonitor::Alarm &alarm : alarms) {
        TelemetryMessages::Alarm message = entry(alarm.kind);
        m_latched.remove(alarm.kind);
        message.time = at;
        message.action = QStringLiteral("acknowledged");
        message.acknowledged = true;
        messages << message;
    }
    return messages;
}
