#include "telemetry/publishqueue.h"

#include <algorithm>

void PublishQueue::push(Message message)
{
    if (size() >= kLimit) {
        // The oldest waiting event, else the oldest waiting message; in flight stays.
        auto victim = std::find_if(m_messages.begin() + m_inFlight, m_messages.end(),
                                   [](const Entry &entry) { return entry.message.droppable; });
        if (victim == m_messages.end())
            victim = m_messages.begin() + m_inFlight;
        if (victim == m_messages.end()) {
            ++m_dropped; // all in flight: the new one cannot wait
            return;
        }
        m_messages.erase(victim);
        ++m_dropped;
    }
    m_messages.push_back({std::move(message), std::nullopt});
}

std::optional<PublishQueue::Message> PublishQueue::next() const
{
    if (m_inFlight >= size())
        return std::nullopt;
    return m_messages[size_t(m_inFlight)].message;
}

void PublishQueue::sent(int token)
{
    if (m_inFlight < size())
        m_messages[size_t(m_inFlight++)].token = token;
}

void PublishQueue::acknowledged(int token)
{
    const auto inFlightEnd = m_messages.begin() + m_inFlight;
    const auto found = std::find_if(m_messages.begin(), inFlightEnd,
                                    [token](const Entry &entry) { return entry.token == token; });
    if (found == inFlightEnd)
        return;
    m_messages.erase(found);
    --m_inFlight;
}

void PublishQueue::connectionLost()
{
    for (qsizetype i = 0; i < m_inFlight; ++i)
        m_messages[size_t(i)].token.reset();
    m_inFlight = 0;
}
