#include "readinglog.h"

#include <QDir>

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

// Local time, ISO 8601 with milliseconds, on reading and event lines alike.
QByteArray timeText(const QDateTime &time)
{
    return time.toLocalTime().toString(Qt::ISODateWithMs).toLatin1();
}

} // namespace

bool ReadingLog::open(const QString &path)
{
    m_file.close();
    m_errorText.clear();
    m_file.setFileName(path);
    // Unbuffered: each line goes to the system in one write, and after a failed write nothing
    // is left in a buffer that closing would try to write again.
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return true;
    m_errorText = QStringLiteral("无法打开读数日志 %1：%2")
                      .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
    return false;
}

bool ReadingLog::append(const QDateTime &time, const QString &value)
{
    if (!m_file.isOpen())
        return false;
    return writeLine(readingLine(time, value));
}

bool ReadingLog::appendEvent(const QDateTime &time, const QString &key, const QString &text)
{
    if (!m_file.isOpen())
        return false;
    return writeLine(eventLine(time, key, text));
}

QByteArray ReadingLog::readingLine(const QDateTime &time, const QString &value)
{
    return timeText(time) + '\t' + escaped(value.toLatin1(), false) + '\n';
}

QByteArray ReadingLog::eventLine(const QDateTime &time, const QString &key, const QString &text)
{
    return "#\t" + timeText(time) + '\t' + escaped(key.toUtf8(), true) + '\t' +
           escaped(text.toUtf8(), true) + '\n';
}

bool ReadingLog::writeLine(const QByteArray &line)
{
    if (m_file.write(line) == line.size() && m_file.flush())
        return true;
    m_errorText = QStringLiteral("写入读数日志 %1 失败：%2")
                      .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
    m_file.close();
    return false;
}
