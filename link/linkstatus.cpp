#include "link/linkstatus.h"

#include <QStringList>

void LinkStatus::lost(const QString &reason)
{
    m_lost = true;
    m_reason = QStringLiteral("线路中断：%1").arg(reason);
    m_waiting = QStringLiteral("正在自动重连");
    m_notice.clear();
}

void LinkStatus::waiting(const QString &why)
{
    m_waiting = QStringLiteral("正在自动重连：%1").arg(why);
}

void LinkStatus::opened()
{
    m_lost = false;
    m_reason.clear();
    m_waiting.clear();
}

QString LinkStatus::text() const
{
    if (m_lost)
        return QStringList{m_reason, m_waiting}.join(QStringLiteral("；"));
    return m_notice;
}

QString LinkStatus::stopText(const PendingStop &pending)
{
    if (!pending.isPending())
        return {};
    return QStringLiteral("停止命令待发送（%1），线路恢复后首先发送")
        .arg(pending.causes().join(QStringLiteral("，")));
}
