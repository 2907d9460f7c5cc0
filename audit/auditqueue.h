#pragma once

#include "audit/auditrecord.h"

#include <QDeadlineTimer>
#include <QList>
#include <QMutex>
#include <QWaitCondition>

// The audit records on their way from the window's thread to the writer thread; either may call
// every member. It has no limit and drops nothing: a record the disk cannot take yet waits here.
class AuditQueue
{
public:
    void push(AuditRecord record);
    // Waits until there are records, close() or the deadline, and moves the records to the end
    // of *records. False once closed (with the last records moved).
    bool take(QList<AuditRecord> *records, QDeadlineTimer deadline);
    void close();

private:
    QMutex m_mutex;
    QWaitCondition m_ready;
    QList<AuditRecord> m_records;
    bool m_closed = false;
};
