#include "alarms/alarmeventtext.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("AlarmEventText", text);
}

} // namespace

QString AlarmEventText::raised(const AlarmMonitor::Alarm &alarm)
{
    return tr("%1：%2").arg(AlarmMonitor::name(alarm.kind), alarm.value);
}

QString AlarmEventText::cleared(const AlarmMonitor::Clearing &clearing)
{
    // The no-reading alarm is ended by any reply, a number or not: no unit for it.
    const QString by =
        !clearing.byReading ? clearing.clearedBy
        : clearing.kind == AlarmMonitor::Kind::Silence
            ? tr("读数 %1").arg(clearing.clearedBy)
            : tr("读数 %1").arg(AlarmMonitor::valueText(clearing.kind, clearing.clearedBy));
    return tr("%1：已恢复正常（%2；报警时 %3）")
        .arg(AlarmMonitor::name(clearing.kind), by,
             AlarmMonitor::valueText(clearing.kind, clearing.raisedBy));
}

QString AlarmEventText::acknowledged(const QList<AlarmMonitor::Alarm> &alarms)
{
    QStringList each;
    for (const AlarmMonitor::Alarm &alarm : alarms)
        each << tr("%1 %2").arg(AlarmMonitor::name(alarm.kind),
                                AlarmMonitor::valueText(alarm.kind, alarm.value));
    return tr("已确认：%1").arg(each.join(tr("、")));
}
