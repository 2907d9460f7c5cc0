#include "alarms/alarmbanner.h"

void AlarmBanner::acted(AlarmMonitor::Kind kind, bool stopSent)
{
    m_acted.insert(kind, stopSent ? QStringLiteral("已停泵") : QStringLiteral("停止命令待发送"));
}

QStringList AlarmBanner::rows(const QList<AlarmMonitor::Alarm> &latched) const
{
    QStringList lines;
    for (const AlarmMonitor::Alarm &alarm : latched) {
        QString line = QStringLiteral("报警 %1 %2：%3")
                           .arg(alarm.raisedAt.toString(QStringLiteral("HH:mm:ss")),
                                AlarmMonitor::name(alarm.kind),
                                AlarmMonitor::valueText(alarm.kind, alarm.value));
        if (const QString acted = m_acted.value(alarm.kind); !acted.isEmpty())
            line += QStringLiteral("，%1").arg(acted);
        lines << line;
    }
    return lines;
}
