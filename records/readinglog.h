#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The lines of the reading log, which LogWriter writes: one line "time<TAB>value" for each
// accepted current-pressure reply. The time is local time, ISO 8601 with milliseconds; the
// value is the four characters as received, a byte outside printable ASCII (or a backslash)
// written as \xNN so that every reading stays one line. Events go between the readings as
// "#<TAB>time<TAB>key<TAB>text", so a reader that skips lines starting with "#" sees the two
// columns alone; the text is UTF-8 with control bytes and backslashes written as \xNN.
class ReadingLog
{
public:
    // The lines as written, line end included. key: one word naming the event (link-lost,
    // run-set, ...); text: for people.
    static QByteArray readingLine(const QDateTime &time, const QString &value);
    static QByteArray eventLine(const QDateTime &time, const QString &key, const QString &text);
};
