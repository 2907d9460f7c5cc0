#include "history/historyinbox.h"

#include <QMutexLocker>

#include <limits>

void HistoryInbox::pushReading(qint64 ms, double value)
{
    const QMutexLocker lock(&m_mutex);
    if (m_readings >= m_limit) {
        ++m_dropped;
        m_breakNext = true;
        return;
    }
    if (m_breakNext) {
        // Readings were lost before this one: not joined to the one before them.
        m_items.push_back({ms, std::numeric_limits<double>::quiet_NaN(), -2});
        m_breakNext = false;
    }
    m_items.push_back({ms, value, -1});
    ++m_readings;
}

void HistoryInbox::pushEvent(qint64 ms, const QString &key, const QString &text)
{
    const QMutexLocker lock(&m_mutex);
    m_events.append({ms, key, text});
    m_items.push_back({ms, 0, m_events.size() - 1});
}

quint64 HistoryInbox::drainInto(HistorySeries *series)
{
    std::vector<Item> items;
    QList<HistorySeries::Event> events;
    quint64 dropped = 0;
    {
        const QMutexLocker lock(&m_mutex);
        items.swap(m_items);
        events.swap(m_events);
        dropped = std::exchange(m_dropped, 0);
        m_readings = 0;
    }
    for (const Item &item : items) {
        if (item.event == -1) {
            series->addReading(item.ms, item.value);
        } else if (item.event == -2) {
            series->breakLine();
        } else {
            const HistorySeries::Event &event = events[item.event];
            series->addEvent(event.ms, event.key, event.text);
            if (event.key == u"link-lost")
                series->breakLine();
        }
    }
    return dropped;
}
