#include "recordbuffer.h"

#include <algorithm>
#include <charconv>
#include <span>

namespace {

// Longest shortest-round-trip form of a double, "-2.2250738585072014e-308", plus a separator.
constexpr qsizetype kMaxEntryChars = 24 + 1;
constexpr size_t kFirstReserve = 1024; // readings

} // namespace

void RecordBuffer::add(double reading)
{
    if (m_count < kCapacity) {
        // Grow by doubling, but never past the capacity: a full buffer then holds exactly
        // kCapacity doubles and no slack.
        if (m_ring.size() == m_ring.capacity())
            m_ring.reserve(std::min<size_t>(std::max(2 * m_ring.capacity(), kFirstReserve),
                                            size_t(kCapacity)));
        m_ring.push_back(reading);
        ++m_count;
        appendToText(reading);
        return;
    }
    if (!m_wrapped) {
        // Dropping the oldest moves every line end: from now on the text is made on demand.
        m_wrapped = true;
        m_text = QByteArray();
    }
    m_ring[size_t(m_oldest)] = reading;
    m_oldest = m_oldest + 1 == kCapacity ? 0 : m_oldest + 1;
}

double RecordBuffer::entry(qint32 index) const
{
    Q_ASSERT(index >= 1 && index <= m_count);
    const qint32 slot = m_oldest + index - 1;
    return m_ring[size_t(slot < kCapacity ? slot : slot - kCapacity)];
}

void RecordBuffer::appendToText(double reading)
{
    char value[kMaxEntryChars];
    const char *end = std::to_chars(value, value + sizeof value, reading).ptr;
    if (m_count > 1 && (m_count - 1) % 5 != 0)
        m_text += '\t';
    m_text.append(value, end - value);
    if (m_count % 5 == 0)
        m_text += '\n';
}

QByteArray RecordBuffer::text() const
{
    if (!m_wrapped)
        return m_text;

    QByteArray text(qsizetype(m_count) * kMaxEntryChars, Qt::Uninitialized);
    char *out = text.data();
    char *const end = out + text.size();
    qint32 index = 0;
    // The ring in entry order is two runs: from the oldest to the end, then the start.
    const std::span<const double> ring(m_ring);
    for (const std::span<const double> run :
         {ring.subspan(size_t(m_oldest)), ring.first(size_t(m_oldest))}) {
        for (const double reading : run) {
            out = std::to_chars(out, end, reading).ptr;
            ++index;
            if (index % 5 == 0)
                *out++ = '\n';
            else if (index < m_count)
                *out++ = '\t';
        }
    }
    text.truncate(out - text.data());
    return text;
}
