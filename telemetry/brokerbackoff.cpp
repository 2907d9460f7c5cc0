#include "telemetry/brokerbackoff.h"

#include <algorithm>
#include <utility>

BrokerBackoff::Next BrokerBackoff::lost(Duration at)
{
    const Duration held = m_connectedAt ? at - *m_connectedAt : Duration::zero();
    m_connectedAt.reset();
    if (held >= kHeldLongEnough)
        m_wait = kFirstWait;
    m_quickDrops = held < kQuickDrop ? m_quickDrops + 1 : 0;
    return next();
}

BrokerBackoff::Next BrokerBackoff::failed()
{
    // Neither adds to the drops in a row nor breaks them: it says nothing of another client.
    return next();
}

BrokerBackoff::Next BrokerBackoff::next()
{
    const Duration wait = std::exchange(m_wait, std::min(m_wait * 2, kLongestWait));
    if (m_quickDrops >= kQuickDropsForIdTaken)
        return {std::max(wait, kIdTakenWait), true};
    return {wait, false};
}
