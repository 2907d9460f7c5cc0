#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <vector>

// The pressure readings that a save writes to the record file: every accepted reading, in
// arrival order. It holds at most kCapacity; when full, the oldest reading makes room for the
// newest, so it always holds the latest kCapacity readings, oldest first (entry 1 is the
// oldest, entry count() the newest).
class RecordBuffer
{
public:
    static constexpr qint32 kCapacity = 1'000'000;

    void add(double reading);
    // saveprcout: how many readings the buffer holds, 0..kCapacity.
    qint32 count() const { return m_count; }
    // saveprdata, entry 1..count(), oldest first.
    double entry(qint32 index) const;

    // The record file's text: entry i in its shortest form that reads back to the same double,
    // "." as the decimal point; a tab between the values of one line and a line end after every
    // entry whose index is a multiple of 5; nothing after the last entry. Empty when count() is 0.
    // Until the buffer first overflows the text is kept as the readings arrive, so a save
    // costs no more than writing it; after that it is formatted on each call.
    QByteArray text() const;

private:
    std::vector<double> m_ring; // grows to kCapacity, then wraps
    qint32 m_count = 0;
    qint32 m_oldest = 0; // ring index of entry 1 once the ring is full
    QByteArray m_text;   // text() while nothing has been dropped
    bool m_wrapped = false;
};
