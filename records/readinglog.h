#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

// The continuous log of readings (--log FILE): one line "time<TAB>value" for each accepted
// current-pressure reply, appended and flushed line by line, so that a crash or a power cut
// loses at most the line in flight. The time is local time, ISO 8601 with milliseconds; the
// value is the four characters as received, a byte outside printable ASCII (or a backslash)
// written as \xNN so that every reading stays one line. Events go between the readings as
// "#<TAB>time<TAB>key<TAB>text", so a reader that skips lines starting with "#" sees the two
// columns alone; the text is UTF-8 with control bytes and backslashes written as \xNN. After
// a failed write the log stops by itself.
class ReadingLog
{
public:
    // Opens the file for appending, creating it if needed. False with errorText() on failure.
    bool open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }

    // False once a write has failed; the log is closed then and later calls do nothing.
    bool append(const QDateTime &time, const QString &value);
    // key: one word naming the event (link-lost, run-set, ...); text: for people.
    bool appendEvent(const QDateTime &time, const QString &key, const QString &text);

    QString errorText() const { return m_errorText; }

    // The lines as written, line end included; LogWriter writes the same lines.
    static QByteArray readingLine(const QDateTime &time, const QString &value);
    static QByteArray eventLine(const QDateTime &time, const QString &key, const QString &text);

private:
    bool writeLine(const QByteArray &line);

    QFile m_file;
    QString m_errorText;
};
