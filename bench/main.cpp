// Reception benchmark: N replies from a simulated line go through the pseudo-terminal into the
// real window (serial control, frame reader, reply handler, pnow and the trend plot), at line
// rate, at four times line rate and flat out, and the figures are printed as a table. Before
// them, the save of a full record buffer against a plain write of the same bytes.

#include "form1.h"
#include "pseudoterminal.h"
#include "receptionrun.h"
#include "savebench.h"
#include "scriptedboxes.h"
#include "serialcontrol.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// 9600 8N1 carries 960 characters a second: this many nine-character frames.
constexpr double kLineFramesPerSecond = 960.0 / 9.0;
constexpr double kDefaultSeconds = 5.0;
constexpr double kQuickSeconds = 0.5;
constexpr double kFlatOutShare = 0.6; // the flat-out run is shorter: it only needs a steady rate
constexpr int kSaveRounds = 5;
constexpr int kQuickSaveRounds = 2;

struct Options
{
    double seconds = kDefaultSeconds;
    int saveRounds = kSaveRounds;
    bool saveOnly = false;
};

std::optional<Options> parseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            options.seconds = kQuickSeconds;
            options.saveRounds = kQuickSaveRounds;
        } else if (std::strcmp(argv[i], "--save-only") == 0) {
            options.saveOnly = true;
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            bool ok = false;
            options.seconds = QByteArray(argv[++i]).toDouble(&ok);
            if (!ok || options.seconds <= 0)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
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

void printRow(const ReceptionRun::Result &r)
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

bool printSaveFigures(int rounds)
{
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "cannot make a folder for the record file: %s\n",
                     qPrintable(folder.errorString()));
        return false;
    }
    std::printf("Save of a full record buffer (1000000 readings) in %s, best of %d rounds; "
                "save = text() + open, write, close; plain = QFile write of the same bytes.\n",
                qPrintable(folder.path()), rounds);
    std::printf("%-24s %10s %10s %10s %10s %10s\n", "readings", "bytes", "text() ms", "save ms",
                "plain ms", "save/plain");
    bool failed = false;
    for (const SaveBench::Result &r :
         {SaveBench::run("pump readings 0.00-9.99", pumpReading, folder.path(), rounds),
          SaveBench::run("full-precision doubles", fullPrecisionReading, folder.path(), rounds)}) {
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
    std::fflush(stdout);
    return !failed;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: %s [--seconds S | --quick] [--save-only]\n"
                     "  --seconds S  length of each paced run (default %.0f s)\n"
                     "  --quick      a short smoke run (%.1f s per paced run)\n"
                     "  --save-only  only the save of a full record buffer\n",
                     argv[0], kDefaultSeconds, kQuickSeconds);
        return 2;
    }
    const bool saved = printSaveFigures(options->saveRounds);
    if (options->saveOnly)
        return saved ? 0 : 1;
    const double s = options->seconds;

    PseudoTerminal pty;
    QString error;
    if (!pty.open(&error)) {
        std::fprintf(stderr, "cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    ScriptedBoxes boxes;
    boxes.answers << QStringLiteral("1");
    Form1 form(&boxes);
    form.serialControl()->setPortMap({{1, pty.slavePath()}});
    form.show();
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    if (!form.serialControl()->portOpen() || !boxes.messages.isEmpty()) {
        std::fprintf(stderr, "the panel did not open %s: %s\n", qPrintable(pty.slavePath()),
                     qPrintable(boxes.messages.isEmpty() ? form.serialControl()->errorString()
                                                         : boxes.messages.first().prompt));
        return 1;
    }
    settle(100);

    using Plan = ReceptionRun::Plan;
    const double line = kLineFramesPerSecond;
    const QList<Plan> plans{
        {"line rate", line, s, false, false, true},
        {"4x line rate", 4 * line, s, false, false, true},
        {"flat out (100-frame bursts)", 0, s * kFlatOutShare, false, false, true},
        {"line rate, noise + split", line, s, true, true, true},
        {"line rate, port only", line, s, false, false, false},
        {"noise + split, port only", line, s, true, true, false},
    };

    ReceptionRun runner(form, pty);
    // First frames pay for fonts, glyph caches and the first full paint; keep them out.
    runner.run({"warm-up", line, std::min(0.5, s / 2), false, false, true});

    std::printf("Reception through the panel's window (QT_QPA_PLATFORM=%s), line rate %.1f "
                "frames/s; CPU is the whole process, feeder included.\n",
                qgetenv("QT_QPA_PLATFORM").constData(), line);
    std::printf("%-26s %8s %8s %6s %10s %7s %8s %8s %8s %10s\n", "run", "written", "accepted",
                "lost", "CPU µs/fr", "CPU %", "lat p50", "lat p95", "lat max", "accepted/s");
    std::printf("%-26s %8s %8s %6s %10s %7s %8s %8s %8s %10s\n", "", "", "", "", "", "1 core", "ms",
                "ms", "ms", "");

    QList<ReceptionRun::Result> results;
    bool failed = !saved;
    for (const Plan &plan : plans) {
        results.append(runner.run(plan));
        const ReceptionRun::Result &r = results.last();
        printRow(r);
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
    const auto &flatOut = results[2];
    const auto &noisy = results[3];
    const auto &lineBase = results[4];
    const auto &noisyBase = results[5];
    std::printf("\nheadroom: flat out %.1f frames/s / line rate %.1f frames/s = %.1fx\n",
                acceptedPerSecond(flatOut), line, acceptedPerSecond(flatOut) / line);
    const double plain = cpuMicrosPerFrame(lineRun) - cpuMicrosPerFrame(lineBase);
    const double reframed = cpuMicrosPerFrame(noisy) - cpuMicrosPerFrame(noisyBase);
    // The port-only runs carry the same feeder and port reads, so the difference is the panel.
    std::printf("panel's own CPU at line rate (run minus its port-only run): whole frames %.1f "
                "µs/frame, noise + split %.1f µs/frame, reframing difference %+.1f µs/frame\n",
                plain, reframed, reframed - plain);
    return failed ? 1 : 0;
}
