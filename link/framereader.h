#pragma once

#include <QByteArray>
#include <QList>

// Cuts the pump's byte stream into frames. Every complete frame ("Q", seven characters, "Y")
// comes out in arrival order; a partial frame waits for the next bytes; bytes before a "Q"
// are line noise and are dropped; a candidate whose ninth character is not "Y" loses its "Q"
// and the search starts again one byte later. What stays buffered is always a partial frame,
// so the buffer never holds more than eight bytes between calls.
class FrameReader
{
public:
    QList<QByteArray> feed(const QByteArray &bytes);

    // Bytes of a partial frame held for the next call.
    qsizetype pendingSize() const { return m_pending.size(); }
    quint64 droppedBytes() const { return m_droppedBytes; }
    void clear() { m_pending.clear(); }

private:
    QByteArray m_pending;
    quint64 m_droppedBytes = 0;
};
