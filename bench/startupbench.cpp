#include "bench/startupbench.h"

#include "bench/firstpaintprobe.h"

#include <QHash>
#include <QProcess>

#include <algorithm>
#include <cmath>

namespace StartupBench {

namespace {

constexpr int kStartLimitMs = 20'000;
constexpr double kNsPerMs = 1e6;

// Reads a FirstPaintProbe line; startNs is the monotonic time the process was started.
bool parseProbeLine(const QByteArray &line, qint64 startNs, Sample *sample)
{
    QHash<QByteArray, QByteArray> fields;
    for (const QByteArray &field : line.split(' ')) {
        const qsizetype equals = field.indexOf('=');
        if (equals > 0)
            fields.insert(field.left(equals), field.mid(equals + 1));
    }
    bool allRead = true;
    const auto number = [&](const char *key) {
        bool ok = false;
        const qint64 value = fields.value(key).toLongLong(&ok);
        allRead = allRead && ok;
        return value;
    };
    const auto sinceStart = [&](const char *key) { return (number(key) - startNs) / kNsPerMs; };
    sample->mainMs = sinceStart("main_ns");
    sample->appMs = sinceStart("app_ns");
    sample->builtMs = sinceStart("built_ns");
    sample->shownMs = sinceStart("shown_ns");
    sample->paintedMs = sinceStart("painted_ns");
    sample->cpuMs = number("cpu_ns") / kNsPerMs;
    sample->residentMiB = number("rss_kib") / 1024.0;
    sample->pageFaults = double(number("minflt"));
    const QList<QByteArray> client = fields.value("client").split('x');
    sample->client = client.size() == 2 ? QSize(client[0].toInt(), client[1].toInt()) : QSize();
    return allRead && sample->residentMiB > 0 && sample->client.isValid();
}

bool startOnce(const QString &program, Sample *sample, QString *error)
{
    QProcess process;
    process.setProgram(program);
    const qint64 startNs = FirstPaintProbe::monotonicNs();
    process.start();
    if (!process.waitForFinished(kStartLimitMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *error = QStringLiteral("%1 did not paint its window and exit: %2 %3")
                     .arg(program, process.errorString(),
                          QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
        process.kill();
        process.waitForFinished();
        return false;
    }
    const QByteArray line = process.readAllStandardOutput().trimmed();
    if (!parseProbeLine(line, startNs, sample)) {
        *error = QStringLiteral("%1 printed \"%2\"").arg(program, QString::fromLocal8Bit(line));
        return false;
    }
    return true;
}

} // namespace

Result run(const QString &panelProgram, const QString &bareProgram, int samples)
{
    Result result;
    result.panel.program = panelProgram;
    result.bare.program = bareProgram;
    for (int i = -1; i < samples; ++i) {
        for (Series *series : {&result.panel, &result.bare}) {
            Sample sample;
            if (!startOnce(series->program, &sample, &result.error))
                return result;
            if (i >= 0)
                series->samples.append(sample);
        }
    }
    return result;
}

double median(const Series &series, double Sample::*field)
{
    std::vector<double> values;
    for (const Sample &sample : series.samples)
        values.push_back(sample.*field);
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace StartupBench
