#include "runrecord.h"

#include "numbertext.h"

#include <cmath>
#include <cstring>
#include <limits>

RunRecord::RunRecord(QObject *parent) : QObject(parent) {}

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
    const Stored &stored = m_readings.at(size_t((m_oldest + index) % qint32(m_readings.size())));
    Reading reading;
    reading.time = QDateTime::fromMSecsSinceEpoch(stored.msecsSinceEpoch);
    reading.text = QString::fromLatin1(stored.text, 4);
    if (!std::isnan(stored.value))
        reading.value = stored.value;
    return reading;
}
