#pragma once

#include "records/recordbuffer.h"
#include "records/runhistory.h"

#include <QDateTime>
#include <QObject>
#include <QString>

// Everything the panel has seen in a run, in one place on the window's thread: the readings
// and events of its RunHistory (which a copy takes as a snapshot), and the record buffer that a
// save writes (the numbers alone, in the record file's own format). Whoever needs them as they
// come (the reading log, and a history or a publisher) connects to readingAdded() and
// eventAdded(); a listener on another thread gets them queued.
class RunRecord : public QObject, public RunHistory
{
    Q_OBJECT

public:
    explicit RunRecord(QObject *parent = nullptr);

    // A random id of this start of the panel, which what it publishes and audits carries.
    QString sessionId() const { return m_sessionId; }

    void addReading(const QDateTime &time, const QString &text);
    void addEvent(const QDateTime &time, const QString &key, const QString &text);

    const RecordBuffer &buffer() const { return m_buffer; }
    // A copy of what is kept, for a thread of its own to read.
    RunHistory snapshot() const { return *this; }

Q_SIGNALS:
    void readingAdded(const RunRecord::Reading &reading);
    void eventAdded(const RunRecord::Event &event);

private:
    QString m_sessionId;
    RecordBuffer m_buffer;
};
