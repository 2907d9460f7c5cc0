#include "telemetry/publishinbox.h"

#include <algorithm>
#include <utility>

bool PublishInbox::push(Kind kind, Call call)
{
    const QMutexLocker locker(&m_mutex);
    if (qsizetype(m_entries.size()) >= kLimit) {
        if (kind == Kind::Reading) {
            ++m_readingsDropped;
            ++m_dropped;
            return false;
        }
        const auto oldest = [this](Kind victim) {
            return std::find_if(m_entries.begin(), m_entries.end(),
                                [victim](const Entry &entry) { return entry.kind == victim; });
        };
        auto victim = oldest(Kind::Reading);
        if (victim == m_entries.end())
            victim = oldest(Kind::Event);
        if (victim != m_entries.end()) {
            if (victim->kind == Kind::Reading)
                ++m_readingsDropped;
            ++m_dropped;
            m_entries.erase(victim);
        } else if (kind == Kind::Event) {
            ++m_dropped;
            return false;
        }
    }
    m_entries.push_back({kind, std::move(call)});
    return !std::exchange(m_woken, true);
}

PublishInbox::Batch PublishInbox::take()
{
    const QMutexLocker locker(&m_mutex);
    Batch batch;
    batch.calls.reserve(m_entries.size());
    for (Entry &entry : m_entries)
        batch.calls.push_back(std::move(entry.call));
    m_entries.clear();
    batch.readingsDropped = std::exchange(m_readingsDropped, 0);
    m_woken = false;
    return batch;
}

quint64 PublishInbox::dropped() const
{
    const QMutexLocker locker(&m_mutex);
    return m_dropped;
}
