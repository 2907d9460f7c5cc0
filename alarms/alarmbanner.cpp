#include "alarms/alarmbanner.h"

namespace {

const QString kOwed = QStringLiteral("停止命令待发送");

} // namespace

void AlarmBanner::acted(AlarmMonitor::Kind kind, bool stopSent)
{
    m_acted.insert(kind, stopSent ? QStringLiteral("已停泵") : kOwed);
}

void AlarmBanner::stopSettled(bool sent)
{
    for (QString &acted : m_acted) {
        if (acted == kOwed)
            acted = sent ? QStringLiteral("已停泵") : QStringLiteral("停止命令已取消");
    }
}

QStringList AlarmBanner::rows(const QList<AlarmMonitor::Alarm> &latched) const
{
    QStringList lines;
    for (const AlarmMonitor::Alarm &alarm : latched) {
        // The name and the value lead: what is cut from a narrow row is the time.
        QString line =
            QStringLiteral("%1报警 %2：%3（%4）")
                .arg(m_cleared.contains(alarm.kind) ? QStringLiteral("已恢复待确认：") : QString(),
                     AlarmMonitor::name(alarm.kind),
                     AlarmMonitor::valueText(alarm.kind, alarm.value),
                     alarm.raisedAt.toString(QStringLiteral("HH:mm:ss")));
        if (const QString acted = m_acted.value(alarm.kind); !acted.isEmpty())
            line += QStringLiteral("，%1").arg(acted);
        lines << line;
    }
    return lines;
}

QList<bool> AlarmBanner::clearedRows(const QList<AlarmMonitor::Alarm> &latched) const
{
    QList<bool> cleared;
    for (const AlarmMonitor::Alarm &alarm : latched)
        cleared << m_cleared.contains(alarm.kind);
    return cleared;
}
