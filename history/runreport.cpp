#include "history/runreport.h"

#include "records/runrecord.h"

#include <algorithm>
#include <limits>

namespace {

bool isSetpointFrame(const QString &text)
{
    // "Q00L0150Y（...）": a flow (L) or pressure (P) setting.
    return text.size() >= 4 && (text.at(3) == u'L' || text.at(3) == u'P');
}

} // namespace

RunReport RunReport::compute(const RunRecord &record, qint64 fromMs, qint64 toMs)
{
    RunReport report;
    report.fromMs = fromMs;
    report.toMs = toMs;
    for (const RunRecord::Event &event : record.events()) {
        const qint64 ms = event.time.toMSecsSinceEpoch();
        if (event.key == u"run-set" && ms <= toMs)
            report.setTime = event.text;
        if (ms < fromMs || ms > toMs)
            continue;
        if (event.key == u"run-start")
            report.startMs = ms;
        else if (event.key == u"run-end")
            report.endMs = ms;
        else if (event.key == u"frame-sent" && isSetpointFrame(event.text))
            report.setpoints.append({ms, event.text});
        else if (event.key == u"alarm-raised")
            report.alarms.append({ms, event.text});
        else if (event.key == u"link-lost")
            ++report.gaps;
    }
    double sum = 0;
    report.minimum = std::numeric_limits<double>::infinity();
    report.maximum = -std::numeric_limits<double>::infinity();
    for (qint32 i = record.firstReadingAt(fromMs);
         i < record.readingCount() && record.readingMs(i) <= toMs; ++i) {
        const RunRecord::Reading reading = record.reading(i);
        ++report.readings;
        report.last = reading.text;
        if (!reading.value) {
            ++report.gaps;
            continue;
        }
        ++report.numbers;
        sum += *reading.value;
        report.minimum = std::min(report.minimum, *reading.value);
        report.maximum = std::max(report.maximum, *reading.value);
    }
    if (report.numbers > 0)
        report.mean = sum / report.numbers;
    else
        report.minimum = report.maximum = 0;
    return report;
}

std::optional<std::pair<qint64, qint64>> RunReport::defaultRange(const RunRecord &record)
{
    const QList<RunRecord::Event> &events = record.events();
    for (qsizetype i = events.size() - 1; i >= 0; --i) {
        if (events[i].key != u"run-start")
            continue;
        const qint64 start = events[i].time.toMSecsSinceEpoch();
        for (qsizetype j = i + 1; j < events.size(); ++j) {
            if (events[j].key == u"run-end")
                return std::pair{start, events[j].time.toMSecsSinceEpoch()};
        }
        const qint64 end =
            record.readingCount() > 0 ? record.readingMs(record.readingCount() - 1) : start;
        return std::pair{start, std::max(start, end)};
    }
    if (record.readingCount() == 0 && events.isEmpty())
        return std::nullopt;
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = std::numeric_limits<qint64>::min();
    if (record.readingCount() > 0) {
        first = record.readingMs(0);
        last = record.readingMs(record.readingCount() - 1);
    }
    if (!events.isEmpty()) {
        first = std::min(first, events.first().time.toMSecsSinceEpoch());
        last = std::max(last, events.last().time.toMSecsSinceEpoch());
    }
    return std::pair{first, last};
}
