#include "audit/auditline.h"

#include "audit/audithash.h"
#include "records/isotime.h"

#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    for (const char c : text.toUtf8()) {
        const auto byte = uchar(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xf];
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendString(QByteArray &out, const std::optional<QString> &text)
{
    if (text)
        appendString(out, *text);
    else
        out += "null";
}

QString utcText(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char('Z');
}

// Seconds with milliseconds, without floating point: 3723.045.
QString monoText(qint64 ms)
{
    return QStringLiteral("%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

std::optional<QString> beforeFromText(AuditRecord::BeforeFrom from)
{
    switch (from) {
    case AuditRecord::BeforeFrom::Sent:
        return QStringLiteral("sent");
    case AuditRecord::BeforeFrom::Reply:
        return QStringLiteral("reply");
    case AuditRecord::BeforeFrom::Unknown:
        break;
    }
    return std::nullopt;
}

constexpr std::array<bool, 256> kIsHexDigit = [] {
    std::array<bool, 256> table{};
    for (const char c : std::string_view(kHexDigits))
        table[uchar(c)] = true;
    return table;
}();

// Without a branch per digit: a hash's digits are random, and so would each branch be.
bool isHex(QByteArrayView text)
{
    bool hex = true;
    for (const char c : text)
        hex &= kIsHexDigit[uchar(c)];
    return hex;
}

// Reads the members in their fixed order; any other shape is not a record line.
class Reader
{
public:
    explicit Reader(QByteArrayView text) : m_text(text) {}

    bool literal(QByteArrayView expected)
    {
        if (m_text.size() - m_at < expected.size() ||
            std::memcmp(m_text.data() + m_at, expected.data(), size_t(expected.size())) != 0)
            return false;
        m_at += expected.size();
        return true;
    }

    // The key (`,"name":`) and a string or null; a string's view is without its quotes.
    bool member(QByteArrayView key, std::optional<QByteArrayView> *value)
    {
        if (!literal(key))
            return false;
        if (literal("null")) {
            *value = std::nullopt;
            return true;
        }
        if (!literal("\""))
            return false;
        const qsizetype start = m_at;
        for (;;) {
            const void *quote =
                std::memchr(m_text.data() + m_at, '"', size_t(m_text.size() - m_at));
            if (!quote)
                return false;
            const qsizetype at = static_cast<const char *>(quote) - m_text.data();
            qsizetype backslashes = 0;
            while (at - backslashes > start && m_text[at - backslashes - 1] == '\\')
                ++backslashes;
            m_at = at + 1;
            if (backslashes % 2 == 0) {
                *value = m_text.sliced(start, at - start);
                return true;
            }
        }
    }

    bool member(QByteArrayView key, QByteArrayView *value)
    {
        std::optional<QByteArrayView> read;
        if (!member(key, &read) || !read)
            return false;
        *value = *read;
        return true;
    }

    bool number(qint64 *value)
    {
        const qsizetype start = m_at;
        qint64 result = 0;
        while (m_at < m_text.size() && m_at - start < 18 && m_text[m_at] >= '0' &&
               m_text[m_at] <= '9')
            result = result * 10 + (m_text[m_at++] - '0');
        *value = result;
        return m_at > start;
    }

    qsizetype at() const { return m_at; }

private:
    QByteArrayView m_text;
    qsizetype m_at = 0;
};

} // namespace

QByteArray AuditLine::format(const AuditRecord &record, const QByteArray &prev, QByteArray *hash)
{
    QByteArray out;
    out.reserve(400 + record.text.size() * 3);
    out += "{\"seq\":";
    out += QByteArray::number(record.seq);
    out += ",\"utc\":";
    appendString(out, utcText(record.time));
    out += ",\"local\":";
    appendString(out, IsoTime::withOffset(record.time));
    out += ",\"mono\":";
    appendString(out, monoText(record.monoMs));
    out += ",\"session\":";
    appendString(out, record.session);
    out += ",\"user\":";
    appendString(out, record.user);
    out += ",\"operator\":";
    appendString(out, record.operatorName);
    out += ",\"source\":";
    appendString(out, record.source);
    out += ",\"what\":";
    appendString(out, record.what);
    out += ",\"before\":";
    appendString(out, record.before);
    out += ",\"beforeFrom\":";
    appendString(out, beforeFromText(record.beforeFrom));
    out += ",\"after\":";
    appendString(out, record.after);
    out += ",\"text\":";
    appendString(out, record.text);
    out += ",\"prev\":\"";
    out += prev;
    out += '"';
    *hash = AuditHash::sha256Hex(out);
    out += ",\"hash\":\"";
    out += *hash;
    out += "\"}\n";
    return out;
}

std::optional<AuditLine::Fields> AuditLine::read(QByteArrayView line)
{
    constexpr qsizetype kPrevTailSize = 9 + AuditHash::kHexSize + 1; // ,"prev":"<hex>"
    constexpr qsizetype kHashTailSize = 9 + AuditHash::kHexSize + 2; // ,"hash":"<hex>"}
    Fields fields;
    const qsizetype hashed = line.size() - kHashTailSize;
    if (hashed < kPrevTailSize || !line.endsWith("\"}"))
        return std::nullopt;
    const QByteArrayView tail = line.sliced(hashed);
    if (!tail.startsWith(",\"hash\":\"") || !isHex(tail.sliced(9, AuditHash::kHexSize)))
        return std::nullopt;
    fields.hash = tail.sliced(9, AuditHash::kHexSize);
    fields.hashedSize = hashed;

    Reader reader(line.first(hashed));
    std::optional<QByteArrayView> ignored;
    QByteArrayView ignoredString;
    if (!reader.literal("{\"seq\":") || !reader.number(&fields.seq) ||
        !reader.member(",\"utc\":", &fields.utc) || !reader.member(",\"local\":", &ignoredString) ||
        !reader.member(",\"mono\":", &ignoredString) ||
        !reader.member(",\"session\":", &ignoredString) ||
        !reader.member(",\"user\":", &ignoredString) ||
        !reader.member(",\"operator\":", &ignored) ||
        !reader.member(",\"source\":", &ignoredString) ||
        !reader.member(",\"what\":", &fields.what) ||
        !reader.member(",\"before\":", &fields.before) ||
        !reader.member(",\"beforeFrom\":", &ignored) ||
        !reader.member(",\"after\":", &fields.after) ||
        !reader.member(",\"text\":", &ignoredString))
        return std::nullopt;
    if (reader.at() != hashed - kPrevTailSize || !reader.literal(",\"prev\":\""))
        return std::nullopt;
    fields.prev = line.sliced(reader.at(), AuditHash::kHexSize);
    if (!isHex(fields.prev) || line[hashed - 1] != '"')
        return std::nullopt;
    return fields;
}
