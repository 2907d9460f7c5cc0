#include "records/runrecord.h"

#include "link/numbertext.h"

#include <QUuid>

RunRecord::RunRecord(QObject *parent)
    : QObject(parent), m_sessionId(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

void RunRecord::addReading(const QDateTime &time, const QString &text)
{
    const Reading reading{time, text, NumberText::toDouble(text)};
    if (reading.value)
        m_buffer.add(*reading.value);
    addReadingTo(reading);
    Q_EMIT readingAdded(reading);
}

void RunRecord::addEvent(const QDateTime &time, const QString &key, const QString &text)
{
    const Event event{time, key, text};
    addEventTo(event);
    Q_EMIT eventAdded(event);
}
