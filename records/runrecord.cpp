#include "records/runrecord.h"

#include "link/numbertext.h"

#include <QUuid>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <ranges>

RunRecord::RunRecord(QObject *parent)
    : QObject(parent), m_sessionId(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

void RunRecord::addReading(const QDateTime &time, const QString &text)
{
    Reading reading{time, text, NumberText::toDouble(text)};
    if (reading.value)
        m_buffer.add(*reading.value);

    Stored stored{time.toMSecsSinceEpoch(),
                  {' ', ' ', ' ', ' '},
                  reading.value.value_or(std::numeric_limits<double>::quiet_NaN())};
    const QByteArray bytes = text.toLatin1();
    std::memcpy(stored.text, bytes.constData(), size_t(qMin<qsizetype>(bytes.size(), 4)));
    if (m_readings.size() < size_t(kCapacity)) {
        m_readings.push_back(stored);
    } else {
        m_readings[size_t(m_oldest)] = stored;
        m_oldest = (m_oldest + 1) % kCapacity;
    }
    Q_EMIT readingAdded(reading);
}

void RunRecord::addEvent(const QDateTime &time, const QString &key, const QString &text)
{
    m_events.append({time, key, text});
    Q_EMIT eventAdded(m_events.last());
}

RunRecord::Reading RunRecord::reading(qint32 index) const
{
    const Stored &kept = stored(index);
    Reading reading;
    reading.time = QDateTime::fromMSecsSinceEpoch(kept.msecsSinceEpoch);
    reading.text = QString::fromLatin1(kept.text, 4);
    if (!std::isnan(kept.value))
        reading.value = kept.value;
    return reading;
}

qint32 RunRecord::firstReadingAt(qint64 ms) const
{
    // Arrival order; a wall clock set back may leave it unsorted, then this finds one such.
    return *std::ranges::partition_point(std::views::iota(0, readingCount()),
                                         [&](qint32 i) { return readingMs(i) < ms; });
}
