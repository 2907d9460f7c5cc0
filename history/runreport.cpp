#include "history/runreport.h"

#include "records/runhistory.h"

#include <algorithm>
#include <limits>

namespace {

// What sent a frame, from "Q00R0000Y（键盘）".
QString sourceOf(const QString &text)
{
    QString source = text.mid(9);
    if (source.startsWith(u'（') && source.endsWith(u'）'))
        source = source.mid(1, source.size() - 2);
    return source;
}

// "Q00L0150Y（键盘）": a flow (L) or pressure (P) setting to pump 00, and what sent it.
std::optional<RunReport::Setting> settingOf(qint64 ms, const QString &text)
{
    if (text.size() < 9 || (text.at(3) != u'L' && text.at(3) != u'P'))
        return std::nullopt;
    bool ok = false;
    const double value = text.mid(4, 4).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return RunReport::Setting{ms,
                              text.at(3) == u'L' ? RunReport::Setting::Kind::Flow
                                                 : RunReport::Setting::Kind::Pressure,
                              value, sourceOf(text)};
}

// "压力过高：00.6": the alarm's name and the value that raised it.
RunReport::Alarm alarmOf(qint64 ms, const QString &text)
{
    RunReport::Alarm alarm;
    alarm.ms = ms;
    const qsizetype colon = text.indexOf(u'：');
    alarm.name = colon < 0 ? text : text.left(colon);
    alarm.value = colon < 0 ? QString() : text.mid(colon + 1);
    bool ok = false;
    if (const double value = alarm.value.toDouble(&ok); ok)
        alarm.pressure = value;
    return alarm;
}

// What the alarm raised at events[raisedAt] did and when it was acknowledged, from the events
// after it: its action comes at once, its acknowledgement names it; a new raising ends it.
void followAlarm(RunReport::Alarm &alarm, const QList<RunHistory::Event> &events,
                 qsizetype raisedAt)
{
    const QString named = QStringLiteral("（%1）").arg(alarm.name);
    for (qsizetype i = raisedAt + 1; i < events.size(); ++i) {
        const RunHistory::Event &event = events[i];
        if (event.key == u"alarm-acted" && event.text.contains(named))
            alarm.action = event.text.contains(QStringLiteral("已发送停止命令"))
                               ? RunReport::Alarm::Action::StopSent
                               : RunReport::Alarm::Action::StopOwed;
        else if (event.key == u"alarm-ack" && event.text.contains(alarm.name)) {
            alarm.acknowledgedMs = event.time.toMSecsSinceEpoch();
            return;
        } else if (event.key == u"alarm-raised" && event.text.startsWith(alarm.name))
            return;
    }
}

// "“名称”（/path/p.json，SHA-256 ab12…），泵 0，断线时暂停": what the program start says of it.
RunReport::ProgramRun programOf(qint64 ms, const QString &text)
{
    RunReport::ProgramRun program;
    program.startMs = ms;
    const qsizetype open = text.indexOf(QStringLiteral("”（"));
    const qsizetype close = text.lastIndexOf(QStringLiteral("），泵"));
    if (!text.startsWith(u'“') || open < 0 || close < open) {
        program.name = text;
        return program;
    }
    program.name = text.mid(1, open - 1);
    const QString file = text.mid(open + 2, close - open - 2);
    static const QString kHash = QStringLiteral("，SHA-256 ");
    const qsizetype hash = file.indexOf(kHash);
    program.file = hash < 0 ? file : file.left(hash);
    program.sha256 = hash < 0 ? QString() : file.mid(hash + kHash.size());
    return program;
}

} // namespace

RunReport RunReport::compute(const RunHistory &record, qint64 fromMs, qint64 toMs)
{
    RunReport report;
    report.fromMs = fromMs;
    report.toMs = toMs;
    std::optional<Setting> lastPump;
    // The value of each quantity sent last, and when the program's step now running began.
    std::optional<double> lastFlow;
    std::optional<double> lastPressure;
    std::optional<qint64> stepMs;
    qsizetype stepFirst = 0; // the step's first change, in report.changes
    // A program's setting sent again within one step is its ramp going on: the ramp's line
    // takes it. True when it did.
    const auto rampGoesOn = [&](const Setting &setting) {
        if (!stepMs || !setting.source.startsWith(QStringLiteral("程序")))
            return false;
        for (qsizetype i = report.changes.size() - 1; i >= stepFirst; --i) {
            Setting &earlier = report.changes[i];
            if (earlier.kind != setting.kind)
                continue;
            if (earlier.source != setting.source)
                return false;
            earlier.value = setting.value;
            earlier.seconds = (setting.ms - *stepMs + 500) / 1000;
            return true;
        }
        return false;
    };
    // True for an event that set something, which it has then taken into the report.
    const auto tookSetting = [&](const RunHistory::Event &event, qint64 ms) {
        if (event.key == u"run-set")
            report.setTime = event.text;
        if (event.key != u"frame-sent")
            return false;
        std::optional<Setting> setting = settingOf(ms, event.text);
        if (!setting) {
            const QChar letter = event.text.size() >= 9 ? event.text.at(3) : QChar();
            if (ms >= fromMs && (letter == u'R' || letter == u'S'))
                report.commands.append({ms, letter == u'R', sourceOf(event.text)});
            return true;
        }
        std::optional<double> &last =
            setting->kind == Setting::Kind::Flow ? lastFlow : lastPressure;
        setting->from = last;
        last = setting->value;
        // A setting's frame names the pump it went to: another number is a change too.
        const Setting pump{ms, Setting::Kind::Pump, double(event.text.mid(1, 2).toInt()), {}};
        if (ms < fromMs) {
            (setting->kind == Setting::Kind::Flow ? report.flowAtStart : report.pressureAtStart) =
                setting;
            report.pumpAtStart = pump;
        } else {
            if (!lastPump || lastPump->value != pump.value)
                report.changes.append(pump);
            if (!rampGoesOn(*setting))
                report.changes.append(*setting);
        }
        lastPump = pump;
        return true;
    };
    // What was set before the events kept, then the events.
    for (const RunHistory::Event &event : record.inForceBefore()) {
        if (const qint64 ms = event.time.toMSecsSinceEpoch(); ms <= toMs)
            tookSetting(event, ms);
    }
    const QList<RunHistory::Event> &events = record.events();
    for (qsizetype i = 0; i < events.size(); ++i) {
        const RunHistory::Event &event = events[i];
        const qint64 ms = event.time.toMSecsSinceEpoch();
        if (event.key == u"prog-start" || event.key == u"prog-step" ||
            event.key == u"prog-continue") {
            stepMs = ms;
            stepFirst = report.changes.size();
        } else if (event.key == u"prog-end" || event.key == u"prog-pause")
            stepMs.reset();
        if (ms <= toMs && event.key == u"prog-start")
            report.programs.append(programOf(ms, event.text));
        else if (event.key == u"prog-end" && !report.programs.isEmpty() &&
                 !report.programs.last().endMs) {
            // Ended before the range: not what ran in it.
            if (ms < fromMs) {
                report.programs.removeLast();
                continue;
            }
            report.programs.last().endMs = ms;
            const qsizetype colon = event.text.indexOf(u'：');
            report.programs.last().ended = colon < 0 ? event.text : event.text.mid(colon + 1);
        }
        if (ms > toMs || tookSetting(event, ms) || ms < fromMs)
            continue;
        if (event.key == u"run-start")
            report.startMs = ms;
        else if (event.key == u"run-end")
            report.endMs = ms;
        else if (event.key == u"alarm-raised") {
            report.alarms.append(alarmOf(ms, event.text));
            followAlarm(report.alarms.last(), events, i);
        } else if (event.key == u"link-lost")
            ++report.gaps;
    }
    double sum = 0;
    report.minimum = std::numeric_limits<double>::infinity();
    report.maximum = -std::numeric_limits<double>::infinity();
    for (qint32 i = record.firstReadingAt(fromMs);
         i < record.readingCount() && record.readingMs(i) <= toMs; ++i) {
        const RunHistory::Reading reading = record.reading(i);
        ++report.readings;
        report.last = reading.text;
        report.lastValue = reading.value;
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

std::optional<std::pair<qint64, qint64>> RunReport::defaultRange(const RunHistory &record)
{
    const QList<RunHistory::Event> &events = record.events();
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
