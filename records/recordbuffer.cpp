#include "records/recordbuffer.h"

#include <algorithm>
#include <charconv>
#include <span>

namespace {

// A tab, the longest shortest-round-trip form of a double ("-2.2250738585072014e-308") and a
// line end.
constexpr qsizetype kMaxEntryChars = 1 + 24 + 1;
constexpr size_t kFirstReserve = 1024; // readings

// Writes entry `index` (1 for the oldest) with what goes before it, a tab between the values
// of one line, and a line end after it when it is a fifth; returns the end of what it wrote.
char *writeEntry(char *out, qint32 index, double reading)
{
    if (index > 1 && (index - 1) % 5 != 0)
        *out++ = '\t';
    out = std::to_chars(out, out + kMaxEntryChars - 2, reading).ptr;
    if (index % 5 == 0)
        *out++ = '\n';
    return out;
}

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
        char entry[kMaxEntryChars];
        m_text.append(entry, writeEntry(entry, m_count, reading) - entry);
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

QByteArray RecordBuffer::text() const
{
    if (!m_wrapped)
        return m_text;

    QByteArray text(qsizetype(m_count) * kMaxEntryChars, Qt::Uninitialized);
    char *out = text.data();
    qint32 index = 0;
    // The ring in entry order is two runs: from the oldest to the end, then the start.
    const std::span<const double> ring(m_ring);
    for (const std::span<const double> run :
         {ring.subspan(size_t(m_oldest)), ring.first(size_t(m_oldest))}) {
        for (const double reading : run)
            out = writeEntry(out, ++index, reading);
    }
    text.truncate(out - text.data());
    return text;
}
