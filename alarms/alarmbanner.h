#pragma once

#include "alarms/alarmmonitor.h"

#include <QHash>
#include <QString>
#include <QStringList>

// The alarm rows of the status area: one a latched alarm, its name and value (with the unit
// for pressure) first, then its time and what its action did, until the alarms are
// acknowledged. An alarm whose condition has ended says so at the row's start until then.
class AlarmBanner
{
public:
    // The alarm's stop went out, or is owed to the pump.
    void acted(AlarmMonitor::Kind kind, bool stopSent);
    // The owed stop went out, or was cancelled: no row says it is owed any more.
    void stopSettled(bool sent);
    // Raised anew: what an earlier raise did no longer holds.
    void raised(AlarmMonitor::Kind kind)
    {
        m_acted.remove(kind);
        m_cleared.remove(kind);
    }
    void cleared(AlarmMonitor::Kind kind) { m_cleared.insert(kind, true); }
    void acknowledged()
    {
        m_acted.clear();
        m_cleared.clear();
    }

    // One row each.
    QStringList rows(const QList<AlarmMonitor::Alarm> &latched) const;
    // For each row: its condition has ended, it waits for the acknowledgement only.
    QList<bool> clearedRows(const QList<AlarmMonitor::Alarm> &latched) const;

private:
    QHash<AlarmMonitor::Kind, QString> m_acted;
    QHash<AlarmMonitor::Kind, bool> m_cleared;
};
