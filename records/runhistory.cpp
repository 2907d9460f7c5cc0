#include "records/runhistory.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <ranges>

namespace {

// What an event sets, when it sets something that must be known after it is dropped: the
// letter of a flow or pressure frame ("Q00L0150Y（键盘）"), or the timed run's set time.
QString settingOf(const RunHistory::Event &event)
{
    if (event.key == u"run-set")
        return event.key;
    if (event.key == u"frame-sent" && event.text.size() >= 9 &&
        (event.text.at(3) == u'L' || event.text.at(3) == u'P'))
        return event.text.at(3);
    return {};
}

} // namespace

void RunHistory::addReadingTo(const Reading &reading)
{
    Stored stored{reading.time.toMSecsSinceEpoch(),
                  {' ', ' ', ' ', ' '},
                  reading.value.value_or(std::numeric_limits<double>::quiet_NaN())};
    const QByteArray bytes = reading.text.toLatin1();
    std::memcpy(stored.text, bytes.constData(), size_t(qMin<qsizetype>(bytes.size(), 4)));
    if (m_readings.size() < size_t(kCapacity)) {
        m_readings.push_back(stored);
    } else {
        m_readings[size_t(m_oldest)] = stored;
        m_oldest = (m_oldest + 1) % kCapacity;
        m_readingsDropped = true;
        dropOldEvents();
    }
}

void RunHistory::addEventTo(const Event &event)
{
    m_events.append(event);
    dropOldEvents();
}

void RunHistory::dropOldEvents()
{
    // Back to the oldest reading only once readings themselves are being dropped: before that
    // the events before the first reading (the port opened, the settings sent) are the run's.
    const qint64 oldestMs = m_readingsDropped ? readingMs(0) : std::numeric_limits<qint64>::min();
    qsizetype drop = 0;
    while (drop < m_events.size() && (m_events.size() - drop > kMostEvents ||
                                      m_events[drop].time.toMSecsSinceEpoch() < oldestMs)) {
        if (const QString setting = settingOf(m_events[drop]); !setting.isEmpty()) {
            const auto same = [&](const Event &kept) { return settingOf(kept) == setting; };
            m_inForce.removeIf(same);
            m_inForce.append(m_events[drop]);
        }
        ++drop;
    }
    if (drop > 0) {
        // Qt's list moves its start forward: no copy of what stays.
        m_events.remove(0, drop);
        m_eventsDropped += quint64(drop);
    }
}

QList<RunHistory::Event> RunHistory::inForceBefore() const
{
    return m_inForce;
}

RunHistory::Reading RunHistory::reading(qint32 index) const
{
    const Stored &kept = stored(index);
    Reading reading;
    reading.time = QDateTime::fromMSecsSinceEpoch(kept.msecsSinceEpoch);
    reading.text = QString::fromLatin1(kept.text, 4);
    if (!std::isnan(kept.value))
        reading.value = kept.value;
    return reading;
}

qint32 RunHistory::firstReadingAt(qint64 ms) const
{
    // Arrival order; a wall clock set back may leave it unsorted, then this finds one such.
    return *std::ranges::partition_point(std::views::iota(0, readingCount()),
                                         [&](qint32 i) { return readingMs(i) < ms; });
}
