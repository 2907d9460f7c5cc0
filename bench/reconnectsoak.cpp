// The panel left alone through many outages of its adapter: the pump's line, a pseudo-terminal
// behind a symlink as udev keeps one for a USB adapter, vanishes again and again for 2 to 30 s
// and comes back on a new node. Some outages swallow the end of a timed run. Prints how soon
// the panel was back on the line after each return, how the stops owed during outages went
// out, what was asked of a closed port, and the CPU and memory the waiting cost.
//
//   corvane-bench-reconnect [--cycles N] [--min-outage S] [--max-outage S] [--seed N]

#include "app/form1.h"
#include "link/framereader.h"
#include "link/linkprotocol.h"
#include "platform/serialcontrol.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kPollMs = 100;  // the poll through its seam, so that each up phase is busy
constexpr int kClockMs = 100; // the timed run's tick through its seam
constexpr int kUpMs = 1500;   // the line is up this long between outages
constexpr int kBackTimeoutMs = 60'000;
constexpr int kAfterReturnMs = 1000; // a stop sent twice would show within this
constexpr double kLatencyTargetMs = 1500;
constexpr double kCpuTargetPercent = 0.5;
constexpr double kRssTargetMiB = 2;
const QByteArray kStop(LinkProtocol::kStopFrame);
const QByteArray kPoll(LinkProtocol::kPollFrame);

struct Options
{
    int cycles = 200;
    double minOutageS = 2;
    double maxOutageS = 30;
    quint32 seed = 1;
};

bool parse(const QStringList &arguments, Options *options)
{
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        const QString &name = arguments[i];
        bool ok = false;
        const double value = arguments[i + 1].toDouble(&ok);
        if (!ok || value < 0)
            return false;
        if (name == u"--cycles")
            options->cycles = int(value);
        else if (name == u"--min-outage")
            options->minOutageS = value;
        else if (name == u"--max-outage")
            options->maxOutageS = value;
        else if (name == u"--seed")
            options->seed = quint32(value);
        else
            return false;
    }
    return arguments.size() % 2 == 1 && options->cycles > 0 &&
           options->minOutageS <= options->maxOutageS;
}

// The pump's end of the line: answers polls, and notes every stop frame with its time.
class Pump
{
public:
    bool open(const QString &link)
    {
        if (!m_pty.open() || !m_pty.makeSymlink(link))
            return false;
        m_notifier = std::make_unique<QSocketNotifier>(m_pty.masterFd(), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { onReadable(); });
        m_reader.clear();
        m_framesSinceOpen = 0;
        m_firstFrame.clear();
        return true;
    }
    // Like an adapter pulled out: the node and its symlink go.
    void vanish(const QString &link)
    {
        m_notifier.reset();
        m_pty.hangUp();
        QFile::remove(link);
    }
    int stopsReceived() const { return m_stops; }
    int framesSinceOpen() const { return m_framesSinceOpen; }
    QByteArray firstFrame() const { return m_firstFrame; }

private:
    void onReadable()
    {
        for (const QByteArray &frame : m_reader.feed(m_pty.readAvailable())) {
            if (m_framesSinceOpen++ == 0)
                m_firstFrame = frame;
            if (frame == kStop)
                ++m_stops;
            if (frame == kPoll)
                m_pty.writeAll("Q00N01.0Y");
        }
    }

    PseudoTerminal m_pty;
    std::unique_ptr<QSocketNotifier> m_notifier;
    FrameReader m_reader;
    int m_stops = 0;
    int m_framesSinceOpen = 0;
    QByteArray m_firstFrame;
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits, the panel's events running, until done() holds; checks every 5 ms.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        runFor(5);
    }
    return true;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

qint64 rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

double percentile(QList<double> values, double share)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(qMin(values.size() - 1, qsizetype(share * double(values.size()))));
}

void choose(Form1 &form, const char *item)
{
    form.findChild<QAction *>(QLatin1String(item))->trigger();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options options;
    if (!parse(QCoreApplication::arguments(), &options)) {
        std::fprintf(stderr, "usage: corvane-bench-reconnect [--cycles N] [--min-outage S] "
                             "[--max-outage S] [--seed N]\n");
        return 2;
    }

    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("usb-pump-if00"));
    Pump pump;
    if (!pump.open(link)) {
        std::fprintf(stderr, "cannot make the pump's line\n");
        return 1;
    }
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(std::chrono::milliseconds(kPollMs));
    form.setClockInterval(std::chrono::milliseconds(kClockMs));
    form.serialControl()->setPortMap({{1, link}});
    // Six ticks of the shortened clock: the run ends well inside the shortest outage.
    boxes.answers << QStringLiteral("1") << QStringLiteral("0.1");
    choose(form, "Communication");
    choose(form, "stset");
    if (!form.serialControl()->portOpen()) {
        std::fprintf(stderr, "the panel did not open the line\n");
        return 1;
    }

    QRandomGenerator random(options.seed);
    QList<double> latenciesMs;
    int owed = 0, sentOnce = 0, lost = 0, sentTwice = 0, notFirst = 0, notBack = 0;
    double waitCpu = 0, waitWall = 0;
    runFor(kUpMs);
    const qint64 rssBefore = rssKiB();
    for (int cycle = 0; cycle < options.cycles; ++cycle) {
        // Every third outage swallows the end of a timed run started just before it.
        const bool runEndsInside = cycle % 3 == 0;
        if (runEndsInside)
            choose(form, "ststart");
        const int stopsBefore = pump.stopsReceived();
        pump.vanish(link);
        const double outageS = options.minOutageS +
                               random.generateDouble() * (options.maxOutageS - options.minOutageS);
        const double cpuStart = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        runFor(int(outageS * 1000));
        waitCpu += cpuSeconds() - cpuStart;
        waitWall += double(wall.elapsed()) / 1000.0;
        if (runEndsInside && form.session()->pendingStop().isPending())
            ++owed;

        if (!pump.open(link)) {
            std::fprintf(stderr, "cannot bring the pump's line back\n");
            return 1;
        }
        QElapsedTimer back;
        back.start();
        if (!waitUntil([&] { return form.serialControl()->portOpen(); }, kBackTimeoutMs)) {
            ++notBack;
            continue;
        }
        latenciesMs << double(back.nsecsElapsed()) / 1e6;
        runFor(kAfterReturnMs);
        const int stops = pump.stopsReceived() - stopsBefore;
        if (runEndsInside) {
            if (stops == 0)
                ++lost;
            else if (stops > 1)
                ++sentTwice;
            else
                ++sentOnce;
            if (stops > 0 && pump.firstFrame() != kStop)
                ++notFirst;
        } else if (stops != 0) {
            ++sentTwice;
        }
        runFor(kUpMs - kAfterReturnMs);
        if ((cycle + 1) % 10 == 0)
            std::fprintf(stderr, "%d cycles\n", cycle + 1);
    }
    const qint64 rssAfter = rssKiB();

    const double p95 = percentile(latenciesMs, 0.95);
    const double cpuPercent = waitWall > 0 ? 100.0 * waitCpu / waitWall : 0;
    const double rssGrowthMiB = double(rssAfter - rssBefore) / 1024.0;
    const quint64 refused = form.serialControl()->framesRefusedWhileClosed();
    std::printf("reconnect soak: %d outages of %.0f to %.0f s, poll every %d ms\n", options.cycles,
                options.minOutageS, options.maxOutageS, kPollMs);
    std::printf("| figure | value | target |\n|---|---|---|\n");
    std::printf("| back on the line after the device returns, p50 / p95 / max | %.0f / %.0f / "
                "%.0f ms | p95 < %.0f ms: %s |\n",
                percentile(latenciesMs, 0.5), p95, percentile(latenciesMs, 1.0), kLatencyTargetMs,
                p95 < kLatencyTargetMs ? "met" : "missed");
    std::printf("| outages the panel did not come back from | %d | 0 |\n", notBack);
    std::printf("| timed runs ending in an outage: stops owed / sent once, first / lost / "
                "sent twice | %d / %d, %d not first / %d / %d | all once, first |\n",
                owed, sentOnce, notFirst, lost, sentTwice);
    std::printf("| writes asked of a closed port (each a run's end, then owed) | %llu | %d |\n",
                static_cast<unsigned long long>(refused), owed);
    std::printf("| CPU while waiting | %.3f %% of a core | < %.1f %%: %s |\n", cpuPercent,
                kCpuTargetPercent, cpuPercent < kCpuTargetPercent ? "met" : "missed");
    std::printf("| resident memory growth over the soak | %.2f MiB (%lld -> %lld KiB) | < %.0f "
                "MiB: %s |\n",
                rssGrowthMiB, rssBefore, rssAfter, kRssTargetMiB,
                rssGrowthMiB < kRssTargetMiB ? "met" : "missed");
    std::printf("| boxes shown | %lld | 0 |\n", qint64(boxes.messages.size()));
    return 0;
}
