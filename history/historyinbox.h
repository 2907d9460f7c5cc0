#pragma once

#include "history/historyseries.h"

#include <QList>
#include <QMutex>
#include <QString>

#include <vector>

// Readings and events on their way from the window's thread to the history's drawing thread.
// Pushing takes a short lock and never waits for a drawing; the drawing thread moves what came
// into its series before each picture. It holds at most `limit` readings: more while the
// drawing thread is held up are dropped and counted, and the line is broken where they were.
class HistoryInbox
{
public:
    explicit HistoryInbox(qsizetype limit = HistorySeries::kCapacity) : m_limit(limit) {}

    void pushReading(qint64 ms, double value);
    // A lost line also breaks the curve there.
    void pushEvent(qint64 ms, const QString &key, const QString &text);
    // Moves everything that came into series, in the order it came. Returns the readings
    // dropped since the last call.
    quint64 drainInto(HistorySeries *series);

private:
    struct Item
    {
        qint64 ms;
        double value;
        qsizetype event; // index into m_events, or -1 for a reading
    };

    const qsizetype m_limit;
    QMutex m_mutex;
    std::vector<Item> m_items;
    QList<HistorySeries::Event> m_events;
    qsizetype m_readings = 0;
    quint64 m_dropped = 0;
    bool m_breakNext = false;
};
