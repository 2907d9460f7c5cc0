#pragma once

#include <QList>
#include <QString>

#include <vector>

// The run's readings for the history: arrival time (ms since the epoch, wall clock as
// received) and value, NaN for a reply that is no number, and whether each is joined to the
// reading before it. The latest kCapacity readings are kept; events are kept whole. Times
// never go back: a wall clock set back makes later readings share the last time shown.
class HistorySeries
{
public:
    static constexpr qsizetype kCapacity = 1'000'000;

    struct Event
    {
        qint64 ms;
        QString key;
        QString text;
    };

    void addReading(qint64 ms, double value);
    // The next reading is not joined to the one before: the line was lost between them.
    void breakLine() { m_breakNext = true; }
    void addEvent(qint64 ms, const QString &key, const QString &text);

    qsizetype size() const { return qsizetype(m_ms.size()); }
    // Reading i, 0 the oldest kept.
    qint64 time(qsizetype i) const { return m_ms[at(i)]; }
    double value(qsizetype i) const { return m_values[at(i)]; }
    bool joinedToPrevious(qsizetype i) const { return m_joined[at(i)]; }
    // The first reading at or after ms.
    qsizetype lowerBound(qint64 ms) const;
    const QList<Event> &events() const { return m_events; }

private:
    size_t at(qsizetype i) const { return (size_t(m_oldest) + size_t(i)) % m_ms.size(); }

    std::vector<qint64> m_ms;
    std::vector<double> m_values;
    std::vector<bool> m_joined;
    qsizetype m_oldest = 0;
    bool m_breakNext = true;
    QList<Event> m_events;
};
