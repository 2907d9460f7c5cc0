#include "records/csvcell.h"

namespace CsvCell {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

bool isPlainNumber(const QString &text)
{
    qsizetype at = 0;
    const qsizetype size = text.size();
    if (at < size && (text[at] == u'+' || text[at] == u'-'))
        ++at;
    qsizetype digits = 0;
    while (at < size && isDigit(text[at]))
        ++at, ++digits;
    if (at < size && text[at] == u'.') {
        ++at;
        while (at < size && isDigit(text[at]))
            ++at, ++digits;
    }
    if (digits == 0)
        return false;
    if (at < size && (text[at] == u'e' || text[at] == u'E')) {
        ++at;
        if (at < size && (text[at] == u'+' || text[at] == u'-'))
            ++at;
        const qsizetype exponentFrom = at;
        while (at < size && isDigit(text[at]))
            ++at;
        if (at == exponentFrom)
            return false;
    }
    return at == size;
}

QByteArray field(const QString &text)
{
    static const QString risky = QStringLiteral("=+-@\t\r");
    const bool guard = !text.isEmpty() && risky.contains(text.front()) && !isPlainNumber(text);
    const bool quote = guard || text.contains(u',') || text.contains(u'"') ||
                       text.contains(u'\n') || text.contains(u'\r');
    QByteArray bytes = guard ? (QStringLiteral("'") + text).toUtf8() : text.toUtf8();
    if (!quote)
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

} // namespace CsvCell
