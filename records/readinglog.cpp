#include "records/readinglog.h"

#include "records/isotime.h"

namespace {

// The bytes as they are, except that a byte outside printable ASCII, or a backslash, is written
// as \xNN: a line end or a tab inside a value must not split one reading into two lines or
// fields. A reading's value is its bytes as received (decoded from Latin-1), all escaped; an
// event's text keeps its UTF-8 letters.
QByteArray escaped(const QByteArray &bytes, bool keepNonAscii)
{
    QByteArray out;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if ((code >= 0x20 && code < 0x7f && byte != '\\') || (keepNonAscii && code >= 0x80))
            out += byte;
        else
            out += "\\x" + QByteArray::number(code, 16).rightJustified(2, '0');
    }
    return out;
}

// Local time, ISO 8601 with milliseconds and the UTC offset, on reading and event lines alike.
QByteArray timeText(const QDateTime &time)
{
    return IsoTime::withOffset(time).toLatin1();
}

} // namespace

QByteArray ReadingLog::readingLine(const QDateTime &time, const QString &value)
{
    return timeText(time) + '\t' + escaped(value.toLatin1(), false) + '\n';
}

QByteArray ReadingLog::eventLine(const QDateTime &time, const QString &key, const QString &text)
{
    return "#\t" + timeText(time) + '\t' + escaped(key.toUtf8(), true) + '\t' +
           escaped(text.toUtf8(), true) + '\n';
}
