#pragma once

#include "alarms/alarmmonitor.h"
#include "telemetry/telemetrymessages.h"

#include <QHash>

// Keeps each latched alarm as the broker is told it, so that every change (raised, acted,
// cleared, acknowledged) goes out whole: the value that raised it and its limit in their unit,
// its response, whether its stop went out or is owed, whether its condition has ended.
class AlarmMessageBook
{
public:
    TelemetryMessages::Alarm raised(const AlarmMonitor::Alarm &alarm,
                                    const AlarmSettings &settings);
    TelemetryMessages::Alarm acted(AlarmMonitor::Kind kind, bool stopSent, const QDateTime &at);
    // The owed stop went out ("sent") or was cancelled ("cancelled"): one message for each
    // alarm that said it was owed.
    QList<TelemetryMessages::Alarm> stopSettled(bool sent, const QDateTime &at);
    TelemetryMessages::Alarm cleared(const AlarmMonitor::Clearing &clearing, const QDateTime &at);
    // One message for each alarm acknowledged; none of them is kept after.
    QList<TelemetryMessages::Alarm> acknowledged(const QList<AlarmMonitor::Alarm> &alarms,
                                                 const QDateTime &at);

private:
    TelemetryMessages::Alarm &entry(AlarmMonitor::Kind kind);

    QHash<AlarmMonitor::Kind, TelemetryMessages::Alarm> m_latched;
};
