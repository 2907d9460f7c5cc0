#pragma once

#include "records/recordbuffer.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

// Everything the panel has seen in a run, in one place on the window's thread: every
// current-pressure reading with the time it arrived, as received and as a number where it
// reads as one, and every event (the link, the timed run, saves, ...). It keeps the latest
// kCapacity readings with their times, and the record buffer that a save writes (the numbers
// alone, in the record file's own format); events are kept for the whole run. Whoever needs
// them as they come (the reading log, and a history or a publisher) connects to
// readingAdded() and eventAdded(); a listener on another thread gets them queued.
class RunRecord : public QObject
{
    Q_OBJECT

public:
    static constexpr qint32 kCapacity = RecordBuffer::kCapacity;

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

    explicit RunRecord(QObject *parent = nullptr);

    // A random id of this start of the panel, which what it publishes and audits carries.
    QString sessionId() const { return m_sessionId; }

    void addReading(const QDateTime &time, const QString &text);
    void addEvent(const QDateTime &time, const QString &key, const QString &text);

    const RecordBuffer &buffer() const { return m_buffer; }
    // How many readings are kept, and reading i of them, 0 the oldest.
    qint32 readingCount() const { return qint32(m_readings.size()); }
    Reading reading(qint32 index) const;
    qint64 readingMs(qint32 index) const { return stored(index).msecsSinceEpoch; }
    // Its value, NaN for a reading that is no number: without making a Reading.
    double readingValue(qint32 index) const { return stored(index).value; }
    // The first reading kept that came at or after ms (readingCount() if none).
    qint32 firstReadingAt(qint64 ms) const;
    const QList<Event> &events() const { return m_events; }

Q_SIGNALS:
    void readingAdded(const RunRecord::Reading &reading);
    void eventAdded(const RunRecord::Event &event);

private:
    QString m_sessionId;
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

    RecordBuffer m_buffer;
    std::vector<Stored> m_readings; // grows to kCapacity, then wraps
    qint32 m_oldest = 0;
    QList<Event> m_events;
};
