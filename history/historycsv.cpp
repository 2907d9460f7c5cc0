#include "history/historycsv.h"

#include "records/csvcell.h"
#include "records/isotime.h"
#include "records/runhistory.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <limits>

namespace HistoryCsv {

namespace {

// Local ISO times as IsoTime writes them, for rows by the million: the system's time zone is
// asked for the offset only when a time leaves the span between two of its transitions, since
// each local-time conversion takes a lock that the window's thread needs too.
class LocalTimes
{
public:
    QByteArray format(qint64 ms)
    {
        if (ms < m_from || ms >= m_to)
            lookUp(ms);
        return QDateTime::fromMSecsSinceEpoch(ms + m_offsetMs, Qt::UTC)
                   .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
                   .toLatin1() +
               m_offsetText;
    }

private:
    void lookUp(qint64 ms)
    {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        const QDateTime local = at.toLocalTime();
        m_offsetMs = qint64(local.offsetFromUtc()) * 1000;
        // "+08:00", as IsoTime ends its times.
        const QString whole = IsoTime::withOffset(at);
        m_offsetText = whole.right(6).toLatin1();
        const QTimeZone zone = QTimeZone::systemTimeZone();
        const QTimeZone::OffsetData before = zone.previousTransition(at.addMSecs(1));
        const QTimeZone::OffsetData after = zone.nextTransition(at);
        m_from = before.atUtc.isValid() ? before.atUtc.toMSecsSinceEpoch() : ms;
        m_to = after.atUtc.isValid() ? after.atUtc.toMSecsSinceEpoch() : ms + 1;
        // A zone without transitions holds one offset for ever; one that cannot tell is asked
        // again for the next time.
        if (!before.atUtc.isValid() && !after.atUtc.isValid() && zone.isValid() &&
            !zone.hasTransitions()) {
            m_from = std::numeric_limits<qint64>::min();
            m_to = std::numeric_limits<qint64>::max();
        }
        // The zone's transitions must agree with the offset found the slow way, or nothing is
        // cached.
        if (zone.offsetFromUtc(at) * 1000LL != m_offsetMs) {
            m_from = ms;
            m_to = ms + 1;
        }
    }

    qint64 m_from = 0;
    qint64 m_to = 0;
    qint64 m_offsetMs = 0;
    QByteArray m_offsetText;
};

QByteArray elapsed(qint64 ms, qint64 firstMs)
{
    return QByteArray::number(double(ms - firstMs) / 1000.0, 'f', 3);
}

} // namespace

bool write(QIODevice *device, const RunHistory &record, qint64 fromMs, qint64 toMs,
           const std::atomic_bool *cancelled)
{
    QByteArray out = "time,elapsed_s,event,text,value\n";
    LocalTimes times;
    const auto isoTime = [&times](qint64 ms) { return times.format(ms); };
    const QList<RunHistory::Event> &events = record.events();
    qsizetype e = 0;
    while (e < events.size() && events[e].time.toMSecsSinceEpoch() < fromMs)
        ++e;
    qint32 r = record.firstReadingAt(fromMs);
    std::optional<qint64> firstMs;
    const auto flush = [&] {
        if (out.size() < (1 << 20))
            return true;
        if (cancelled && cancelled->load())
            return false;
        const bool written = device->write(out) == out.size();
        out.clear();
        return written;
    };
    for (;;) {
        const bool readingLeft = r < record.readingCount() && record.readingMs(r) <= toMs;
        const bool eventLeft = e < events.size() && events[e].time.toMSecsSinceEpoch() <= toMs;
        if (!readingLeft && !eventLeft)
            break;
        const bool takeReading =
            readingLeft &&
            (!eventLeft || record.readingMs(r) <= events[e].time.toMSecsSinceEpoch());
        if (takeReading) {
            const RunHistory::Reading reading = record.reading(r++);
            const qint64 ms = reading.time.toMSecsSinceEpoch();
            firstMs = firstMs.value_or(ms);
            out += isoTime(ms) + ',' + elapsed(ms, *firstMs) + ",," + CsvCell::field(reading.text) +
                   ',' +
                   (reading.value
                        ? QByteArray::number(*reading.value, 'g', QLocale::FloatingPointShortest)
                        : QByteArray()) +
                   '\n';
        } else {
            const RunHistory::Event &event = events[e++];
            const qint64 ms = event.time.toMSecsSinceEpoch();
            firstMs = firstMs.value_or(ms);
            out += isoTime(ms) + ',' + elapsed(ms, *firstMs) + ',' + CsvCell::field(event.key) +
                   ',' + CsvCell::field(event.text) + ",\n";
        }
        if (!flush())
            return false;
    }
    return device->write(out) == out.size();
}

} // namespace HistoryCsv
