#pragma once

#include "alarms/alarmmonitor.h"

#include <QList>
#include <QString>

// The text of an alarm's event lines in the log, the history and the broker's events: which
// alarm, and the values that tell what happened, with their units.
namespace AlarmEventText {

QString raised(const AlarmMonitor::Alarm &alarm);
// What raised it and what ended it.
QString cleared(const AlarmMonitor::Clearing &clearing);
// Each alarm acknowledged with the value that raised it.
QString acknowledged(const QList<AlarmMonitor::Alarm> &alarms);

} // namespace AlarmEventText
