#include "audit/auditqueue.h"

#include <QMutexLocker>

void AuditQueue::push(AuditRecord record)
{
    QMutexLocker lock(&m_mutex);
    if (m_closed)
        return;
    m_records.append(std::move(record));
    if (m_records.size() == 1)
        m_ready.wakeOne();
}

bool AuditQueue::take(QList<AuditRecord> *records, QDeadlineTimer deadline)
{
    QMutexLocker lock(&m_mutex);
    while (m_records.isEmpty() && !m_closed)
        if (!m_ready.wait(&m_mutex, deadline))
            break;
    records->append(std::move(m_records));
    m_records.clear();
    return !m_closed;
}

void AuditQueue::close()
{
    QMutexLocker lock(&m_mutex);
    m_closed = true;
    m_ready.wakeOne();
}
