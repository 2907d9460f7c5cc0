#pragma once

#include "alarms/alarmmonitor.h"

#include <QHash>
#include <QString>
#include <QStringList>

// The alarm rows of the status area: one a latched alarm, its time, name and value (with the
// unit for pressure), and what its action did, until the alarms are acknowledged.
class AlarmBanner
{
public:
    // The alarm's stop went out, or is owed to the pump.
    void acted(AlarmMonitor::Kind kind, bool stopSent);
    // Raised anew: what an earlier raise did no longer holds.
    void raised(AlarmMonitor::Kind kind) { m_acted.remove(kind); }
    void acknowledged() { m_acted.clear(); }

    // One row each.
    QStringList rows(const QList<AlarmMonitor::Alarm> &latched) const;

private:
    QHash<AlarmMonitor::Kind, QString> m_acted;
};
