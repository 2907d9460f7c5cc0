// The panel's benchmarks in one run, each figure beside the reference it is measured against in
// the same run: start-up and memory of the window against a bare Qt window (fresh processes),
// the save of a full record buffer against a plain write, reception through the real window
// at line rate, 100 times line rate and flat out against the port alone, and the CPU of an
// idle panel that polls. A table of figures, references, ratios and targets closes the run.

#include "app/form1.h"
#include "app/historywindow.h"
#include "app/programpanel.h"
#include "bench/benchsummary.h"
#include "bench/firstpaintprobe.h"
#include "bench/idlebench.h"
#include "bench/mqttbench.h"
#include "bench/receptionrun.h"
#include "bench/savebench.h"
#include "bench/startupbench.h"
#include "link/linkprotocol.h"
#include "platform/historypainter.h"
#include "platform/historyview.h"
#include "platform/serialcontrol.h"
#include "program/programcontrol.h"
#include "program/programfile.h"
#include "program/programplan.h"
#include "records/recordbuffer.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"
#include "tests/support/scriptedboxes.h"
#include "timedrun/runclock.h"
#include "tools/pty/pseudoterminal.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

namespace {

// 9600 8N1 carries 960 characters a second: this many nine-character frames.
constexpr double kLineFramesPerSecond = 960.0 / 9.0;
constexpr double kWireMsPerFrame = 1000.0 / kLineFramesPerSecond;
constexpr double kFastPace = 100;     // times line rate
constexpr double kFlatOutShare = 0.6; // the flat-out run is shorter: it only needs a steady rate

// Targets of the panel.
constexpr double kStartupRatioTarget = 1.3;
constexpr double kExtraMemoryTargetMiB = 15;
constexpr double kLatencyTargetMs = 2;  // beyond the wire time, 95th percentile
constexpr double kHeadroomTarget = 100; // times line rate, flat out
constexpr double kIdleCpuTargetPercent = 0.5;
constexpr double kSaveRatioTarget = 2;
constexpr double kFullRedrawTargetMs = 30;
constexpr double kStepRedrawTargetMs = 16;
constexpr int kHistoryReadings = 1'000'000;
constexpr int kPublishers = 50;
constexpr double kPublisherReadingsPerSecond = 10;
constexpr double kPublishLatencyTargetMs = 50;
constexpr double kPublishCpuTargetPercent = 1;

struct Options
{
    double seconds = 5;      // each paced reception run
    int startupSamples = 21; // starts of each window
    double idleSeconds = 12; // measured polling, at the real interval
    int saveRounds = 5;
    QStringList sections{"startup", "save", "reception", "idle", "history", "mqtt", "program"};
};

Options quickOptions()
{
    Options options;
    options.seconds = 0.5;
    options.startupSamples = 3;
    options.idleSeconds = 3.5;
    options.saveRounds = 2;
    return options;
}

std::optional<Options> parseOptions(int argc, char **argv)
{
    // --quick sets the defaults, wherever it stands; the other options override them.
    const bool quick = std::any_of(
        argv + 1, argv + argc, [](const char *arg) { return std::strcmp(arg, "--quick") == 0; });
    Options options = quick ? quickOptions() : Options();
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        const bool hasValue = i + 1 < argc;
        bool ok = true;
        if (arg == "--quick") {
            continue;
        } else if (arg == "--seconds" && hasValue) {
            options.seconds = QByteArray(argv[++i]).toDouble(&ok);
            ok = ok && options.seconds > 0;
        } else if (arg == "--samples" && hasValue) {
            options.startupSamples = QByteArray(argv[++i]).toInt(&ok);
            ok = ok && options.startupSamples > 0;
        } else if (arg == "--idle-seconds" && hasValue) {
            options.idleSeconds = QByteArray(argv[++i]).toDouble(&ok);
            ok = ok && options.idleSeconds > 0;
        } else if (arg == "--only" && hasValue) {
            options.sections = QString::fromLatin1(argv[++i]).split(u',');
            for (const QString &section : std::as_const(options.sections))
                ok = ok && Options().sections.contains(section);
        } else {
            ok = false;
        }
        if (!ok)
            return std::nullopt;
    }
    return options;
}

// Lets the window come up and paint once before anything is measured.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = size_t(std::ceil(share * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

QByteArray cell(double value, int decimals, bool valid = true)
{
    return valid && std::isfinite(value) ? QByteArray::number(value, 'f', decimals) : "n/a";
}

QString fixed(double value, int decimals, const char *unit = "")
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) + QString::fromUtf8(unit)
                                : QStringLiteral("n/a");
}

QString times(double ratio)
{
    return fixed(ratio, 2, "x");
}

std::optional<bool> meets(bool valid, bool met)
{
    return valid ? std::optional<bool>(met) : std::nullopt;
}

// The first line of a file under /proc that starts with prefix (they report a size of 0, so
// they are read line by line until the end).
QByteArray procLine(const char *path, const char *prefix)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (QByteArray line; !(line = file.readLine()).isEmpty();) {
        if (line.startsWith(prefix))
            return line.trimmed();
    }
    return {};
}

QString loadAverage()
{
    const QList<QByteArray> fields = procLine("/proc/loadavg", "").split(' ');
    return fields.size() >= 3 ? QString::fromLatin1(fields.mid(0, 3).join(' '))
                              : QStringLiteral("unknown");
}

QString cpuModel()
{
    const QByteArray line = procLine("/proc/cpuinfo", "model name");
    return line.isEmpty() ? QSysInfo::currentCpuArchitecture()
                          : QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
}

QString benchProgram(const char *name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(name));
}

// ---- start-up and memory ----

void printStartupRow(const char *name, const StartupBench::Series &series)
{
    using StartupBench::Sample;
    double fastest = INFINITY;
    for (const Sample &sample : series.samples)
        fastest = std::min(fastest, sample.paintedMs);
    const Sample &first = series.samples.first();
    std::printf(
        "%-14s %7.1f %7.1f %7.1f %7.1f %8.1f %8.1f %8.1f %8.1f %7.0f %7s\n", name,
        median(series, &Sample::mainMs), median(series, &Sample::appMs),
        median(series, &Sample::builtMs), median(series, &Sample::shownMs),
        median(series, &Sample::paintedMs), fastest, median(series, &Sample::cpuMs),
        median(series, &Sample::residentMiB), median(series, &Sample::pageFaults),
        qPrintable(QStringLiteral("%1x%2").arg(first.client.width()).arg(first.client.height())));
}

bool runStartup(const Options &options, BenchSummary *summary)
{
    using StartupBench::Sample;
    std::printf("Start-up in fresh processes, %d starts of each window in turn (one more each "
                "first, dropped); medians in ms from the start of the process (fork + exec), "
                "CPU time, resident memory and minor page faults at the first paint.\n",
                options.startupSamples);
    const StartupBench::Result r =
        StartupBench::run(benchProgram("corvane-bench-panelwindow"),
                          benchProgram("corvane-bench-barewindow"), options.startupSamples);
    if (!r.error.isEmpty()) {
        std::printf("  ! %s\n\n", qPrintable(r.error));
        return false;
    }
    std::printf("%-14s %7s %7s %7s %7s %8s %8s %8s %8s %7s %7s\n", "window", "main()", "app",
                "built", "shown", "painted", "fastest", "CPU ms", "RSS MiB", "faults", "client");
    printStartupRow("panel (Form1)", r.panel);
    printStartupRow("bare window", r.bare);
    const bool sameSize = r.panel.samples.first().client == r.bare.samples.first().client;
    if (!sameSize)
        std::printf("  ! the two windows' client areas differ in size\n");
    std::printf("\n");

    const double panelMs = median(r.panel, &Sample::paintedMs);
    const double bareMs = median(r.bare, &Sample::paintedMs);
    summary->add({QStringLiteral("start-up to first paint, from exec (median)"),
                  fixed(panelMs, 1, " ms"), fixed(bareMs, 1, " ms bare"), times(panelMs / bareMs),
                  QStringLiteral("≤ %1x").arg(kStartupRatioTarget, 0, 'f', 2),
                  meets(sameSize, panelMs / bareMs <= kStartupRatioTarget)});
    const double panelAfterMain = panelMs - median(r.panel, &Sample::mainMs);
    const double bareAfterMain = bareMs - median(r.bare, &Sample::mainMs);
    summary->add({QStringLiteral("  of it from main() on"), fixed(panelAfterMain, 1, " ms"),
                  fixed(bareAfterMain, 1, " ms bare"), times(panelAfterMain / bareAfterMain),
                  QStringLiteral("-"), std::nullopt});
    const double panelCpu = median(r.panel, &Sample::cpuMs);
    const double bareCpu = median(r.bare, &Sample::cpuMs);
    summary->add({QStringLiteral("  CPU time to first paint"), fixed(panelCpu, 1, " ms"),
                  fixed(bareCpu, 1, " ms bare"), times(panelCpu / bareCpu), QStringLiteral("-"),
                  std::nullopt});
    const double panelMiB = median(r.panel, &Sample::residentMiB);
    const double bareMiB = median(r.bare, &Sample::residentMiB);
    summary->add({QStringLiteral("resident memory after first paint"), fixed(panelMiB, 1, " MiB"),
                  fixed(bareMiB, 1, " MiB bare"),
                  QStringLiteral("%1 (%2%3 MiB)")
                      .arg(times(panelMiB / bareMiB), panelMiB >= bareMiB ? "+" : "",
                           fixed(panelMiB - bareMiB, 1)),
                  QStringLiteral("≤ +%1 MiB").arg(kExtraMemoryTargetMiB),
                  meets(true, panelMiB - bareMiB <= kExtraMemoryTargetMiB)});
    return true;
}

// ---- save ----

// The pump's four-character field: 0.00 to 9.99.
double pumpReading(qint32 i)
{
    return double(i % 1000) / 100.0;
}

// Values that need all seventeen digits: the longest text a reading can give.
double fullPrecisionReading(qint32 i)
{
    return double(i) / 3.0 + 0.1;
}

bool runSave(const Options &options, BenchSummary *summary)
{
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::printf("  ! cannot make a folder for the record file: %s\n\n",
                    qPrintable(folder.errorString()));
        return false;
    }
    std::printf("Save of a full record buffer (%d readings) in %s, best of %d rounds; "
                "save = text() + open, write, close; plain = QFile write of the same bytes.\n",
                RecordBuffer::kCapacity, qPrintable(folder.path()), options.saveRounds);
    std::printf("%-24s %10s %10s %10s %10s %10s\n", "readings", "bytes", "text() ms", "save ms",
                "plain ms", "save/plain");
    bool failed = false;
    constexpr qint32 kFull = RecordBuffer::kCapacity;
    // One reading more than fit: the oldest has been dropped, as after a long session.
    constexpr qint32 kWrapped = RecordBuffer::kCapacity + 1;
    const QString in = folder.path();
    const int rounds = options.saveRounds;
    const QList<SaveBench::Result> results{
        SaveBench::run("pump readings 0.00-9.99", pumpReading, kFull, in, rounds),
        SaveBench::run("  the same, wrapped", pumpReading, kWrapped, in, rounds),
        SaveBench::run("full-precision doubles", fullPrecisionReading, kFull, in, rounds),
        SaveBench::run("  the same, wrapped", fullPrecisionReading, kWrapped, in, rounds)};
    for (const SaveBench::Result &r : results) {
        if (!r.error.isEmpty()) {
            std::printf("%-24s ! %s\n", qPrintable(r.name), qPrintable(r.error));
            failed = true;
            continue;
        }
        std::printf("%-24s %10lld %10.1f %10.1f %10.1f %10.2f\n", qPrintable(r.name),
                    static_cast<long long>(r.bytes), r.textMs, r.saveMs, r.plainMs,
                    r.saveMs / r.plainMs);
    }
    std::printf("\n");
    const auto addRow = [&](const char *figure, const SaveBench::Result &r, bool targeted) {
        const double ratio = r.saveMs / r.plainMs;
        summary->add(
            {QString::fromUtf8(figure), fixed(r.saveMs, 1, " ms"),
             fixed(r.plainMs, 1, " ms plain write"), times(ratio),
             targeted ? QStringLiteral("≤ %1x").arg(kSaveRatioTarget) : QStringLiteral("-"),
             targeted ? meets(r.error.isEmpty(), ratio <= kSaveRatioTarget) : std::nullopt});
    };
    addRow("save 1000000 pump readings", results[0], true);
    addRow("  once the oldest have been dropped", results[1], true);
    addRow("  17-digit readings", results[2], false);
    addRow("  17-digit readings, oldest dropped", results[3], false);
    return !failed;
}

// ---- reception ----

double cpuMicrosPerFrame(const ReceptionRun::Result &r)
{
    const qint64 frames = r.plan.panelReads ? r.accepted : r.written;
    return frames > 0 ? r.cpuSeconds * 1e6 / double(frames) : NAN;
}

double acceptedPerSecond(const ReceptionRun::Result &r)
{
    // Intervals between frames shown, so a paced run reads its own pace.
    return r.accepted > 1 && r.acceptSeconds > 0 ? double(r.accepted - 1) / r.acceptSeconds : NAN;
}

void printReceptionRow(const ReceptionRun::Result &r)
{
    const bool handled = r.plan.panelReads;
    const bool paced = r.plan.framesPerSecond > 0 && handled;
    std::printf("%-26s %8lld %8s %6s %10s %7s %8s %8s %8s %10s\n", qPrintable(r.plan.name),
                static_cast<long long>(r.written),
                handled ? QByteArray::number(r.accepted).constData() : "n/a",
                handled ? QByteArray::number(r.written - r.accepted).constData() : "n/a",
                cell(cpuMicrosPerFrame(r), 1).constData(),
                cell(100.0 * r.cpuSeconds / r.wallSeconds, 2, r.wallSeconds > 0).constData(),
                cell(percentile(r.latenciesMs, 0.5), 3, paced).constData(),
                cell(percentile(r.latenciesMs, 0.95), 3, paced).constData(),
                cell(percentile(r.latenciesMs, 1.0), 3, paced).constData(),
                cell(acceptedPerSecond(r), 1, handled).constData());
}

void summariseReception(const char *pace, const ReceptionRun::Result &run,
                        const ReceptionRun::Result &portOnly, BenchSummary *summary)
{
    const bool ran = run.error.isEmpty() && portOnly.error.isEmpty();
    const double cpu = cpuMicrosPerFrame(run);
    const double base = cpuMicrosPerFrame(portOnly);
    summary->add({QStringLiteral("CPU per accepted reply, %1").arg(QString::fromLatin1(pace)),
                  fixed(cpu, 1, " µs"), fixed(base, 1, " µs port only"), times(cpu / base),
                  QStringLiteral("-"), std::nullopt});
    const double p50 = percentile(run.latenciesMs, 0.5);
    const double p95 = percentile(run.latenciesMs, 0.95);
    summary->add({QStringLiteral("last byte → pnow, %1, p95 (p50)").arg(QString::fromLatin1(pace)),
                  QStringLiteral("%1 (%2)").arg(fixed(p95, 2, " ms"), fixed(p50, 2, " ms")),
                  fixed(kWireMsPerFrame, 2, " ms wire time"), times(p95 / kWireMsPerFrame),
                  QStringLiteral("< %1 ms").arg(kLatencyTargetMs),
                  meets(ran && std::isfinite(p95), p95 < kLatencyTargetMs)});
}

// Shows the panel and opens port 1 on the pseudo-terminal through 通信, as the operator does;
// false, having said why, when it does not open.
bool openPanelPort(Form1 &form, ScriptedBoxes &boxes, const PseudoTerminal &pty)
{
    boxes.answers << QStringLiteral("1");
    form.serialControl()->setPortMap({{1, pty.slavePath()}});
    form.show();
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    if (form.serialControl()->portOpen() && boxes.messages.isEmpty())
        return true;
    std::printf("  ! the panel did not open %s: %s\n\n", qPrintable(pty.slavePath()),
                qPrintable(boxes.messages.isEmpty() ? form.serialControl()->errorString()
                                                    : boxes.messages.first().prompt));
    return false;
}

bool openPty(PseudoTerminal *pty)
{
    QString error;
    if (pty->open(&error))
        return true;
    std::printf("  ! cannot open a pseudo-terminal: %s\n\n", qPrintable(error));
    return false;
}

bool runReception(const Options &options, BenchSummary *summary)
{
    PseudoTerminal pty;
    if (!openPty(&pty))
        return false;
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    if (!openPanelPort(form, boxes, pty))
        return false;
    settle(100);

    using Plan = ReceptionRun::Plan;
    const double s = options.seconds;
    const double line = kLineFramesPerSecond;
    const double fast = kFastPace * line;
    const QList<Plan> plans{
        {"line rate", line, s, false, false, true},
        {"4x line rate", 4 * line, s, false, false, true},
        {"100x line rate", fast, s, false, false, true},
        {"flat out (100-frame bursts)", 0, s * kFlatOutShare, false, false, true},
        {"line rate, noise + split", line, s, true, true, true},
        {"line rate, port only", line, s, false, false, false},
        {"100x line rate, port only", fast, s, false, false, false},
        {"noise + split, port only", line, s, true, true, false},
    };

    ReceptionRun runner(form, pty);
    // First frames pay for fonts, glyph caches and the first full paint; keep them out.
    runner.run({"warm-up", line, std::min(0.5, s / 2), false, false, true});

    std::printf("Reception through the panel's window, line rate %.1f frames/s (a frame is "
                "%.2f ms on the wire); 100x line rate writes the frames due every millisecond, "
                "one write each. CPU is the whole process, feeder included; latency runs from "
                "the write of a frame's last byte to pnow showing it.\n",
                line, kWireMsPerFrame);
    std::printf("%-26s %8s %8s %6s %10s %7s %8s %8s %8s %10s\n", "run", "written", "accepted",
                "lost", "CPU µs/fr", "CPU %", "lat p50", "lat p95", "lat max", "accepted/s");
    std::printf("%-26s %8s %8s %6s %10s %7s %8s %8s %8s %10s\n", "", "", "", "", "", "1 core", "ms",
                "ms", "ms", "");

    QList<ReceptionRun::Result> results;
    bool failed = false;
    for (const Plan &plan : plans) {
        results.append(runner.run(plan));
        const ReceptionRun::Result &r = results.last();
        printReceptionRow(r);
        std::fflush(stdout);
        if (!r.error.isEmpty()) {
            std::printf("  ! %s\n", qPrintable(r.error));
            failed = true;
        }
        if (!r.trendAgrees) {
            std::printf("  ! the trend did not advance once per frame shown\n");
            failed = true;
        }
    }

    const auto &lineRun = results[0];
    const auto &fastRun = results[2];
    const auto &flatOut = results[3];
    const auto &noisy = results[4];
    const auto &lineBase = results[5];
    const auto &fastBase = results[6];
    const auto &noisyBase = results[7];
    const double plain = cpuMicrosPerFrame(lineRun) - cpuMicrosPerFrame(lineBase);
    const double reframed = cpuMicrosPerFrame(noisy) - cpuMicrosPerFrame(noisyBase);
    // The port-only runs carry the same feeder and port reads, so the difference is the panel.
    std::printf("\npanel's own CPU at line rate (run minus its port-only run): whole frames %.1f "
                "µs/frame, noise + split %.1f µs/frame, reframing difference %+.1f µs/frame\n\n",
                plain, reframed, reframed - plain);

    summariseReception("line rate", lineRun, lineBase, summary);
    summariseReception("100x line rate", fastRun, fastBase, summary);
    const qint64 lost = fastRun.written - fastRun.accepted;
    summary->add({QStringLiteral("replies lost at 100x line rate"),
                  QStringLiteral("%1 of %2").arg(lost).arg(fastRun.written), QStringLiteral("-"),
                  QStringLiteral("-"), QStringLiteral("0"),
                  meets(fastRun.error.isEmpty() && fastRun.written > 0, lost == 0)});
    const double headroom = acceptedPerSecond(flatOut) / line;
    summary->add({QStringLiteral("flat out, replies shown"),
                  fixed(acceptedPerSecond(flatOut), 0, "/s"), fixed(line, 1, "/s line rate"),
                  times(headroom), QStringLiteral("≥ %1x").arg(kHeadroomTarget),
                  meets(flatOut.error.isEmpty() && flatOut.written == flatOut.accepted,
                        headroom >= kHeadroomTarget)});
    return !failed;
}

// ---- history ----

// A million readings a poll apart, climbing and falling, one in a thousand no number.
double historyValue(int i)
{
    return i % 1000 == 999 ? NAN : 1.0 + 0.5 * std::sin(i / 5000.0) + 0.01 * std::sin(i * 1.3);
}

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

// Milliseconds to draw the history of [from, to) into a window-sized image, median of rounds.
double drawMs(const HistorySeries &series, qint64 fromMs, qint64 toMs, int rounds)
{
    QImage image(900, 470, QImage::Format_RGB32);
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        QPainter painter(&image);
        HistoryPainter::paint(painter, QRectF(image.rect()), series, {fromMs, toMs, QString()});
        painter.end();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    return medianOf(times);
}

bool runHistory(const Options &options, BenchSummary *summary)
{
    const qint64 base = QDateTime::currentMSecsSinceEpoch() - 1'500LL * kHistoryReadings;
    HistorySeries series;
    std::vector<double> plain;
    for (int i = 0; i < kHistoryReadings; ++i) {
        series.addReading(base + 1'500LL * i, historyValue(i));
        plain.push_back(historyValue(i));
    }
    // The reference: the lowest and highest of the same values in a plain array, once.
    double low = INFINITY;
    double high = -INFINITY;
    const auto readStart = std::chrono::steady_clock::now();
    for (double value : plain) {
        low = std::fmin(low, value);
        high = std::fmax(high, value);
    }
    const double plainMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - readStart)
            .count();
    const qint64 last = base + 1'500LL * (kHistoryReadings - 1);
    const int rounds = options.saveRounds * 3;
    const double full = drawMs(series, base, last, rounds);
    // A step of the hand: a tenth of the run, then the same moved by a tenth of itself.
    const qint64 tenth = (last - base) / 10;
    const double zoomed = drawMs(series, base + 4 * tenth, base + 5 * tenth, rounds);
    const double panned =
        drawMs(series, base + 4 * tenth + tenth / 10, base + 5 * tenth + tenth / 10, rounds);
    std::printf("History of %d readings drawn into a 900 x 470 image with its axes (median of %d; "
                "the reference finds the lowest and highest of the same values in an array, %.2f "
                "to %.2f): whole run %.2f ms, a tenth of "
                "it %.2f ms, that tenth panned %.2f ms\n",
                kHistoryReadings, rounds, low, high, full, zoomed, panned);
    summary->add({QStringLiteral("history: redraw of 1000000 readings, whole run"),
                  fixed(full, 2, " ms"), fixed(plainMs, 2, " ms their min/max"),
                  times(full / plainMs), QStringLiteral("< %1 ms").arg(kFullRedrawTargetMs),
                  meets(std::isfinite(full), full < kFullRedrawTargetMs)});
    const double step = std::max(zoomed, panned);
    summary->add({QStringLiteral("history: a zoom or pan step"), fixed(step, 2, " ms"),
                  QStringLiteral("-"), QStringLiteral("-"),
                  QStringLiteral("< %1 ms").arg(kStepRedrawTargetMs),
                  meets(std::isfinite(step), step < kStepRedrawTargetMs)});

    // Reception at line rate while a history window of a million readings is redrawn without
    // a pause on its own thread.
    PseudoTerminal pty;
    if (!openPty(&pty))
        return false;
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    if (!openPanelPort(form, boxes, pty))
        return false;
    RunRecord record;
    for (int i = 0; i < kHistoryReadings; ++i) {
        const double value = historyValue(i);
        record.addReading(QDateTime::fromMSecsSinceEpoch(base + 1'500LL * i),
                          std::isnan(value)
                              ? QStringLiteral("ABCD")
                              : QString::number(value, 'f', 2).rightJustified(4, u'0'));
    }
    HistoryWindow history(&record, &boxes);
    history.show();
    int pictures = 0;
    QObject::connect(history.view(), &HistoryView::rangeShown, history.view(), [&] {
        ++pictures;
        // The next picture is asked for as soon as one is shown: the drawing never rests.
        QTimer::singleShot(0, history.view(), &HistoryView::refresh);
    });
    settle(300);
    ReceptionRun runner(form, pty);
    const int picturesBefore = pictures;
    const ReceptionRun::Result r = runner.run({"line rate, history redrawing", kLineFramesPerSecond,
                                               options.seconds, false, false, true});
    const double p95 = percentile(r.latenciesMs, 0.95);
    std::printf("Reception at line rate beside a history window of %d readings redrawn without "
                "a pause (%d pictures in the run): accepted %lld of %lld, latency p50 %.3f ms, "
                "p95 %.3f ms, max %.3f ms\n\n",
                kHistoryReadings, pictures - picturesBefore, static_cast<long long>(r.accepted),
                static_cast<long long>(r.written), percentile(r.latenciesMs, 0.5), p95,
                percentile(r.latenciesMs, 1.0));
    summary->add({QStringLiteral("last byte → pnow while the history redraws, p95"),
                  fixed(p95, 2, " ms"), fixed(kWireMsPerFrame, 2, " ms wire time"),
                  times(p95 / kWireMsPerFrame), QStringLiteral("< %1 ms").arg(kLatencyTargetMs),
                  meets(r.error.isEmpty() && std::isfinite(p95), p95 < kLatencyTargetMs)});

    // Reception at line rate while all of it is exported as CSV, on the export thread.
    QTemporaryDir folder;
    boxes.answers << folder.filePath(QStringLiteral("history.csv"));
    QElapsedTimer exportTimer;
    double exportMs = std::nan("");
    QObject::connect(&history, &HistoryWindow::exported, &history,
                     [&] { exportMs = double(exportTimer.nsecsElapsed()) / 1e6; });
    exportTimer.start();
    history.exportTo(HistoryWindow::Export::Csv, true);
    const double snapshotMs = double(exportTimer.nsecsElapsed()) / 1e6;
    const ReceptionRun::Result e = runner.run(
        {"line rate, CSV export", kLineFramesPerSecond, options.seconds, false, false, true});
    for (int waited = 0; std::isnan(exportMs) && waited < 60'000; waited += 50)
        settle(50);
    const double exportP95 = percentile(e.latenciesMs, 0.95);
    const qint64 csvBytes = QFileInfo(folder.filePath(QStringLiteral("history.csv"))).size();
    std::printf("Reception at line rate during a CSV export of %d readings (%.1f MB): export "
                "%.0f ms, of which %.1f ms on the window's thread (the copy); accepted %lld of "
                "%lld, latency p50 %.3f ms, p95 %.3f ms, max %.3f ms\n",
                kHistoryReadings, double(csvBytes) / 1e6, exportMs, snapshotMs,
                static_cast<long long>(e.accepted), static_cast<long long>(e.written),
                percentile(e.latenciesMs, 0.5), exportP95, percentile(e.latenciesMs, 1.0));
    summary->add({QStringLiteral("last byte → pnow during a CSV export, p95"),
                  fixed(exportP95, 2, " ms"), fixed(kWireMsPerFrame, 2, " ms wire time"),
                  times(exportP95 / kWireMsPerFrame),
                  QStringLiteral("< %1 ms").arg(kLatencyTargetMs),
                  meets(e.error.isEmpty() && std::isfinite(exportP95) && !std::isnan(exportMs),
                        exportP95 < kLatencyTargetMs)});

    // The run's events stay within their bound however many come.
    const qint64 before = FirstPaintProbe::residentKiB();
    {
        RunRecord events;
        for (int i = 0; i < kHistoryReadings; ++i)
            events.addEvent(QDateTime::fromMSecsSinceEpoch(base + i), QStringLiteral("frame-sent"),
                            QStringLiteral("Q00L0250Y（键盘）"));
        const double grownMiB = double(FirstPaintProbe::residentKiB() - before) / 1024.0;
        std::printf("A run record given %d events keeps %lld (%llu dropped), %.1f MiB more "
                    "resident\n\n",
                    kHistoryReadings, static_cast<long long>(events.events().size()),
                    static_cast<unsigned long long>(events.eventsDropped()), grownMiB);
        summary->add({QStringLiteral("run record after 1000000 events"), fixed(grownMiB, 1, " MiB"),
                      QStringLiteral("%1 events kept").arg(events.events().size()), QString(),
                      QStringLiteral("≤ %1 kept").arg(RunHistory::kMostEvents),
                      meets(true, events.events().size() <= RunHistory::kMostEvents)});
    }
    return r.error.isEmpty() && r.written == r.accepted && e.error.isEmpty() &&
           e.written == e.accepted && !std::isnan(exportMs);
}

// ---- mqtt ----

bool runMqtt(const Options &options, BenchSummary *summary)
{
    const MqttBench::Result r = MqttBench::run(kPublishers, kPublisherReadingsPerSecond,
                                               options.seconds, options.idleSeconds);
    if (!r.error.isEmpty()) {
        std::printf("  ! %s\n\n", qPrintable(r.error));
        return false;
    }
    const double p95 = percentile(r.latenciesMs, 0.95);
    std::printf("Publishing: %d publishers (the panel's class, each on its own thread) to a local "
                "broker at %.0f readings/s each for %.1f s, an event (QoS 1) with every tenth: "
                "readings %lld sent, %lld received, latency p50 %.1f ms, p95 %.1f ms, max %.1f ms "
                "(wall clock, 1 ms steps); events %lld sent, %lld received. One publisher at the "
                "real poll rate: %.3f%% of a core over %.1f s.\n\n",
                r.publishers, kPublisherReadingsPerSecond, options.seconds,
                static_cast<long long>(r.readingsSent), static_cast<long long>(r.readingsReceived),
                percentile(r.latenciesMs, 0.5), p95, percentile(r.latenciesMs, 1.0),
                static_cast<long long>(r.eventsSent), static_cast<long long>(r.eventsReceived),
                r.idleCpuPercent, options.idleSeconds);
    summary->add({QStringLiteral("publish → subscriber, %1 panels, p95").arg(r.publishers),
                  fixed(p95, 1, " ms"), QStringLiteral("-"), QStringLiteral("-"),
                  QStringLiteral("< %1 ms").arg(kPublishLatencyTargetMs),
                  meets(std::isfinite(p95), p95 < kPublishLatencyTargetMs)});
    const qint64 lost = r.eventsSent - r.eventsReceived;
    summary->add({QStringLiteral("QoS 1 events lost"),
                  QStringLiteral("%1 of %2").arg(lost).arg(r.eventsSent), QStringLiteral("-"),
                  QStringLiteral("-"), QStringLiteral("0"), meets(r.eventsSent > 0, lost == 0)});
    summary->add({QStringLiteral("CPU of publishing at the poll rate"),
                  fixed(r.idleCpuPercent, 3, " %"), QStringLiteral("one core"), QStringLiteral("-"),
                  QStringLiteral("< %1 %").arg(kPublishCpuTargetPercent),
                  meets(true, r.idleCpuPercent < kPublishCpuTargetPercent)});
    return true;
}

// ---- program ----

constexpr int kProgramCheckSteps = 10'000;
constexpr double kProgramLoadTargetMs = 50;
constexpr double kProgramLatenessTargetMs = 100;

bool runProgram(const Options &options, BenchSummary *summary)
{
    // Loading and checking a program of ten thousand steps, as 打开 or --program does.
    QByteArray big =
        R"({"format": 1, "name": "bench", "pump": 0, "onLinkLost": "pause", "steps": [)";
    for (int i = 0; i < kProgramCheckSteps; ++i)
        big += (i ? "," : "") + QByteArray(R"({"set": {"flow": )") + QByteArray::number(i % 1001) +
               R"(, "limit": 1.5}})";
    big += R"(], "end": [{"stop": true}]})";
    std::vector<double> loadMs;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        const ProgramFile::Loaded loaded = ProgramFile::read(big);
        const ProgramPlan plan(*loaded.program);
        loadMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!loaded.program || plan.steps().size() != kProgramCheckSteps) {
            std::printf("  ! the bench's program was refused: %s\n\n", qPrintable(loaded.problem));
            return false;
        }
    }
    const double load = percentile(loadMs, 0.5);
    std::printf("A program of %d steps (%.0f KB) read, checked and planned in %.1f ms "
                "(median of 5)\n",
                kProgramCheckSteps, double(big.size()) / 1024, load);
    summary->add({QStringLiteral("program of 10000 steps loaded and checked"),
                  fixed(load, 1, " ms"), QString(), QString(),
                  QStringLiteral("< %1 ms").arg(kProgramLoadTargetMs),
                  meets(true, load < kProgramLoadTargetMs)});

    // A program that sets the flow every second on the real clock, while replies come at the
    // line's rate: each frame's lateness against its second on the run clock, and reception.
    PseudoTerminal pty;
    if (!openPty(&pty))
        return false;
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    if (!openPanelPort(form, boxes, pty))
        return false;
    const int seconds = std::max(5, int(options.seconds * 2));
    QByteArray timed =
        R"({"format": 1, "name": "paced", "pump": 0, "onLinkLost": "pause", "steps": [)";
    for (int i = 0; i < seconds; ++i)
        timed += (i ? "," : "") + QByteArray(R"({"set": {"flow": )") +
                 QByteArray::number(100 + i % 2) + R"(}}, {"hold": {"seconds": 1}})";
    timed += "]}";
    const ProgramFile::Loaded paced = ProgramFile::read(timed);
    if (!paced.program) {
        std::printf("  ! %s\n\n", qPrintable(paced.problem));
        return false;
    }
    ProgramControl *control = form.programs()->control();
    std::vector<double> lateness;
    qint64 startMs = 0;
    QObject::connect(form.session(), &PumpSession::frameSent, &form,
                     [&](const PumpSession::SentFrame &sent) {
                         if (sent.frame.at(3) == u'L')
                             lateness.push_back(double(RunClock::bootTimeMs() - startMs -
                                                       1000LL * qint64(lateness.size())));
                     });
    startMs = RunClock::bootTimeMs();
    control->start(*paced.program, QString());
    ReceptionRun runner(form, pty);
    const ReceptionRun::Result r = runner.run(
        {"line rate, program running", kLineFramesPerSecond, double(seconds), false, false, true});
    for (int waited = 0; control->stateWord() != u"ended" && waited < 10'000; waited += 50)
        settle(50);
    const qsizetype third = qsizetype(lateness.size()) / 3;
    const auto mean = [&lateness](qsizetype from, qsizetype to) {
        double sum = 0;
        for (qsizetype i = from; i < to; ++i)
            sum += lateness[size_t(i)];
        return to > from ? sum / double(to - from) : std::nan("");
    };
    const double p99 = percentile(lateness, 0.99);
    const double drift =
        mean(qsizetype(lateness.size()) - third, qsizetype(lateness.size())) - mean(0, third);
    const double p95 = percentile(r.latenciesMs, 0.95);
    std::printf("A program setting the flow each second for %d s beside replies at line rate: "
                "%zu frames, lateness p50 %.1f ms, p99 %.1f ms, max %.1f ms, last third against "
                "first %+.1f ms; reception accepted %lld of %lld, p95 %.3f ms\n\n",
                seconds, lateness.size(), percentile(lateness, 0.5), p99, percentile(lateness, 1.0),
                drift, static_cast<long long>(r.accepted), static_cast<long long>(r.written), p95);
    summary->add({QStringLiteral("program frame lateness, p99"), fixed(p99, 1, " ms"),
                  QStringLiteral("drift %1").arg(fixed(drift, 1, " ms")), QString(),
                  QStringLiteral("< %1 ms").arg(kProgramLatenessTargetMs),
                  meets(lateness.size() == size_t(seconds), p99 < kProgramLatenessTargetMs)});
    summary->add({QStringLiteral("last byte → pnow while a program runs, p95"),
                  fixed(p95, 2, " ms"), fixed(kWireMsPerFrame, 2, " ms wire time"),
                  times(p95 / kWireMsPerFrame), QStringLiteral("< %1 ms").arg(kLatencyTargetMs),
                  meets(r.error.isEmpty() && std::isfinite(p95), p95 < kLatencyTargetMs)});
    return r.error.isEmpty() && lateness.size() == size_t(seconds);
}

// ---- idle ----

bool runIdle(const Options &options, BenchSummary *summary)
{
    std::printf("Idle panel in a process of its own, port 1 open on a pseudo-terminal, every "
                "poll (each %lld ms) answered at once by a peer in this process; measured "
                "over %.1f s from the first reading on.\n",
                static_cast<long long>(LinkProtocol::kPollInterval.count()), options.idleSeconds);
    const IdleBench::Result r =
        IdleBench::run(benchProgram("corvane-bench-panelwindow"), options.idleSeconds);
    if (!r.error.isEmpty()) {
        std::printf("  ! %s\n\n", qPrintable(r.error));
        return false;
    }
    const double percent = 100.0 * r.cpuSeconds / r.wallSeconds;
    std::printf("CPU %.2f ms in %.2f s wall = %.3f%% of one core; %d readings taken, "
                "%.2f ms CPU per poll and reply; %d polls answered in all\n\n",
                1e3 * r.cpuSeconds, r.wallSeconds, percent, r.readings,
                r.readings > 0 ? 1e3 * r.cpuSeconds / r.readings : NAN, r.pollsAnswered);
    summary->add({QStringLiteral("idle CPU while polling"),
                  QStringLiteral("%1 in %2")
                      .arg(fixed(1e3 * r.cpuSeconds, 1, " ms CPU"), fixed(r.wallSeconds, 1, " s")),
                  QStringLiteral("one core"), fixed(percent, 3, " %"),
                  QStringLiteral("< %1 %").arg(kIdleCpuTargetPercent),
                  meets(r.readings > 0, percent < kIdleCpuTargetPercent)});
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const std::optional<Options> options = parseOptions(argc, argv);
    const bool help = argc == 2 && std::strcmp(argv[1], "--help") == 0;
    if (!options || help) {
        const Options defaults;
        const Options quick = quickOptions();
        std::fprintf(help ? stdout : stderr,
                     "usage: %s [--quick] [--seconds S] [--samples N] [--idle-seconds S] "
                     "[--only SECTIONS]\n"
                     "  --quick           a short smoke run (%d starts, %.1f s reception runs, "
                     "%.1f s idle)\n"
                     "  --seconds S       length of each paced reception run (default %.0f s)\n"
                     "  --samples N       starts of each window (default %d)\n"
                     "  --idle-seconds S  measured idle polling (default %.0f s)\n"
                     "  --only SECTIONS   comma-separated, of %s\n",
                     argv[0], quick.startupSamples, quick.seconds, quick.idleSeconds,
                     defaults.seconds, defaults.startupSamples, defaults.idleSeconds,
                     qPrintable(defaults.sections.join(u',')));
        return help ? 0 : 2;
    }

    std::printf("Machine: %s, %u hardware threads, %s; load average %s at the start; "
                "QT_QPA_PLATFORM=%s\n\n",
                qPrintable(cpuModel()), std::thread::hardware_concurrency(),
                qPrintable(QSysInfo::prettyProductName()), qPrintable(loadAverage()),
                qgetenv("QT_QPA_PLATFORM").constData());
    std::fflush(stdout);

    BenchSummary summary;
    bool failed = false;
    const QList<std::pair<QString, bool (*)(const Options &, BenchSummary *)>> sections{
        {QStringLiteral("startup"), runStartup},     {QStringLiteral("save"), runSave},
        {QStringLiteral("reception"), runReception}, {QStringLiteral("idle"), runIdle},
        {QStringLiteral("history"), runHistory},     {QStringLiteral("mqtt"), runMqtt},
        {QStringLiteral("program"), runProgram},
    };
    for (const auto &[name, section] : sections) {
        if (options->sections.contains(name)) {
            failed = !section(*options, &summary) || failed;
            std::fflush(stdout);
        }
    }

    std::printf("Summary (load average %s at the end)\n", qPrintable(loadAverage()));
    summary.print();
    if (summary.missed() > 0)
        std::printf("%d figure(s) miss their target.\n", summary.missed());
    return failed ? 1 : 0;
}
