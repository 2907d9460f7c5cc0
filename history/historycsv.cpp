#include "history/historycsv.h"

#include "records/isotime.h"
#include "records/runhistory.h"

#include <QDateTime>
#include <QLocale>

namespace HistoryCsv {

namespace {

QByteArray isoTime(qint64 ms)
{
    return IsoTime::withOffset(QDateTime::fromMSecsSinceEpoch(ms)).toUtf8();
}

QByteArray elapsed(qint64 ms, qint64 firstMs)
{
    return QByteArray::number(double(ms - firstMs) / 1000.0, 'f', 3);
}

} // namespace

QByteArray field(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') &&
        !bytes.contains('\r'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

bool write(QIODevice *device, const RunHistory &record, qint64 fromMs, qint64 toMs,
           const std::atomic_bool *cancelled)
{
    QByteArray out = "time,elapsed_s,event,text,value\n";
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
            out += isoTime(ms) + ',' + elapsed(ms, *firstMs) + ",," + field(reading.text) + ',' +
                   (reading.value
                        ? QByteArray::number(*reading.value, 'g', QLocale::FloatingPointShortest)
                        : QByteArray()) +
                   '\n';
        } else {
            const RunHistory::Event &event = events[e++];
            const qint64 ms = event.time.toMSecsSinceEpoch();
            firstMs = firstMs.value_or(ms);
            out += isoTime(ms) + ',' + elapsed(ms, *firstMs) + ',' + field(event.key) + ',' +
                   field(event.text) + ",\n";
        }
        if (!flush())
            return false;
    }
    return device->write(out) == out.size();
}

} // namespace HistoryCsv
