#pragma once

#include "records/recordbuffer.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// What a run has kept, as a value: the latest kCapacity current-pressure readings with the
// time each arrived (as received and as a number where it reads as one), and the events back
// to the oldest reading kept, kMostEvents at most. An event that set a value (a flow or
// pressure frame, the timed run's set time) outlives its drop as the setting in force before
// the events kept, so that a report still knows what was set. Copying one is the snapshot an
// export writes from on another thread: at a million readings, 24 MB copied (the readings, 24
// bytes each); the events are shared until one side changes them.
class RunHistory
{
public:
    static constexpr qint32 kCapacity = RecordBuffer::kCapacity;
    static constexpr qsizetype kMostEvents = 100'000;

    struct Reading
    {
        QDateTime time;
        QString text;                // the four characters as received
        std::optional<double> value; // none for a reading that is no number
    };
    struct Event
    {
        QDateTime time;
        QString key; // one word: link-lost, run-set, ...
        QString text;
    };

    // How many readings are kept, and reading i of them, 0 the oldest.
    qint32 readingCount() const { return qint32(m_readings.size()); }
    Reading reading(qint32 index) const;
    qint64 readingMs(qint32 index) const { return stored(index).msecsSinceEpoch; }
    // Its value, NaN for a reading that is no number: without making a Reading.
    double readingValue(qint32 index) const { return stored(index).value; }
    // The first reading kept that came at or after ms (readingCount() if none).
    qint32 firstReadingAt(qint64 ms) const;

    const QList<Event> &events() const { return m_events; }
    // The latest of each kind of setting among the events dropped, oldest first: what was in
    // force before events().
    QList<Event> inForceBefore() const;
    quint64 eventsDropped() const { return m_eventsDropped; }

protected:
    void addReadingTo(const Reading &reading);
    void addEventTo(const Event &event);

private:
    // 24 bytes a reading, so that a million take 24 MB and not the 80 of QDateTime and QString.
    struct Stored
    {
        qint64 msecsSinceEpoch;
        char text[4];
        double value; // NaN for no number
    };

    const Stored &stored(qint32 index) const
    {
        return m_readings[size_t((m_oldest + index) % qint32(m_readings.size()))];
    }
    void dropOldEvents();

    std::vector<Stored> m_readings; // grows to kCapacity, then wraps
    qint32 m_oldest = 0;
    bool m_readingsDropped = false;
    QList<Event> m_events;
    // Dropped settings by what they set: a flow or pressure frame by its letter, the set time.
    QList<Event> m_inForce;
    quint64 m_eventsDropped = 0;
};
