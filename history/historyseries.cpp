#include "history/historyseries.h"

#include <algorithm>
#include <cmath>
#include <ranges>

void HistorySeries::addReading(qint64 ms, double value)
{
    if (!m_ms.empty())
        ms = std::max(ms, time(size() - 1));
    // A reply that is no number is a gap: neither it nor the next reading is joined.
    const bool joined = !m_breakNext && !std::isnan(value);
    m_breakNext = std::isnan(value);
    if (m_ms.size() < size_t(kCapacity)) {
        m_ms.push_back(ms);
        m_values.push_back(value);
        m_joined.push_back(joined);
        return;
    }
    m_ms[size_t(m_oldest)] = ms;
    m_values[size_t(m_oldest)] = value;
    m_joined[size_t(m_oldest)] = joined;
    m_oldest = (m_oldest + 1) % kCapacity;
}

void HistorySeries::addEvent(qint64 ms, const QString &key, const QString &text)
{
    m_events.append({ms, key, text});
}

qsizetype HistorySeries::lowerBound(qint64 ms) const
{
    return *std::ranges::partition_point(std::views::iota(qsizetype(0), size()),
                                         [&](qsizetype i) { return time(i) < ms; });
}
