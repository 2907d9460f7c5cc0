#include "records/logqueue.h"

#include <utility>

LogQueue::LogQueue(qsizetype limit) : m_limit(limit) {}

void LogQueue::push(Line line)
{
    const QMutexLocker locker(&m_mutex);
    if (m_closed)
        return;
    if (m_lines.size() >= m_limit) {
        if (m_dropped++ == 0)
            m_firstDropped = {line.time, line.day, {}};
        return;
    }
    m_lines.append(std::move(line));
    m_ready.wakeOne();
}

bool LogQueue::take(Batch *batch)
{
    const QMutexLocker locker(&m_mutex);
    while (m_lines.isEmpty() && m_dropped == 0 && !m_closed)
        m_ready.wait(&m_mutex);
    batch->lines = std::exchange(m_lines, {});
    batch->dropped = std::exchange(m_dropped, 0);
    batch->firstDropped = m_firstDropped;
    return !batch->lines.isEmpty() || batch->dropped > 0;
}

void LogQueue::close()
{
    const QMutexLocker locker(&m_mutex);
    m_closed = true;
    m_ready.wakeOne();
}

void LogQueue::discard()
{
    const QMutexLocker locker(&m_mutex);
    m_closed = true;
    m_lines.clear();
    m_dropped = 0;
    m_ready.wakeOne();
}
