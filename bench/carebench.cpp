// Pump care's figures: what counting costs per reading (the rules alone, and a reply through the
// pump session with and without care listening), the counters' error over an hour of the
// simulated pump at accelerated time (against the pump's own integration, at its 100 ms ticks),
// and how often the counter file is written in an hour of running and an hour stopped.

#include "app/pumpcare.h"
#include "care/caretally.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"
#include "tests/support/fakeline.h"
#include "tools/pumpsim/pumpmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using CareCounter::Kind;

namespace {

constexpr int kReadings = 200'000;
constexpr int kSessionReplies = 50'000;

double tallyNsPerReading()
{
    CareTally tally;
    tally.flowKnown(500, 0);
    tally.pumpCommanded(true, 0);
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= kReadings; ++i)
        tally.reading(1.0 + (i % 7) * 0.01, qint64(i) * 1500);
    const double ns = double(timer.nsecsElapsed()) / kReadings;
    // Kept alive past the loop.
    std::printf("  (volume counted %.0f ml)\n", tally.value(Kind::Volume));
    return ns;
}

double sessionNsPerReply(bool withCare, const QString &folder)
{
    FakeLine line;
    FakeReconnector reconnector;
    RunRecord record;
    AlarmMonitor alarms{{[] { return qint64(0); }, [] { return QDateTime(); }}};
    PumpSession session{&line, &reconnector, &record, &alarms};
    qint64 boot = 0;
    std::unique_ptr<PumpCare> care;
    if (withCare) {
        care = std::make_unique<PumpCare>(&session, [&reconnector] { return reconnector.device(); });
        care->setFolder(folder);
        care->setBootClock([&boot] { return boot; });
    }
    session.open(QStringLiteral("/dev/fake1"));
    session.send(QStringLiteral("Q00L0500Y"), QStringLiteral("bench"));
    session.send(QStringLiteral("Q00R0000Y"), QStringLiteral("bench"));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kSessionReplies; ++i) {
        boot += 1500;
        line.inbound = QByteArrayLiteral("Q00N01.2Y");
        session.dataArrived();
    }
    return double(timer.nsecsElapsed()) / kSessionReplies;
}

// An hour of the simulated pump at 100 ms ticks with the flow changed every few minutes and
// polled every 1.5 s: the tally fed as the panel feeds it, beside the model's own integrals.
void hourAgainstTheModel()
{
    PumpModel model({.backPressureMPaPerMlMin = 0.002, .timeConstantS = 3.0, .noiseMPa = 0.01,
                     .seed = 5});
    QRandomGenerator random(11);
    CareTally tally;
    model.setProtectionLimit(9.9);
    double flow = 400;
    model.setFlowSetpoint(flow);
    tally.flowKnown(flow, 0);
    model.run();
    tally.pumpCommanded(true, 0);
    double volume = 0, load = 0;
    const qint64 hourMs = 3'600'000;
    for (qint64 ms = 100; ms <= hourMs; ms += 100) {
        // The pump's own integrals over the tick, at the pressure it had.
        volume += flow * 0.1 / 60;
        load += model.pressure() * flow * 0.1 / 60 / 1000;
        model.step(0.1);
        if (ms % 1500 == 0)
            tally.reading(model.reading(), ms);
        if (ms % 180'000 == 0) {
            flow = 100 + random.bounded(900);
            model.setFlowSetpoint(flow);
            tally.flowKnown(flow, ms);
        }
    }
    tally.pumpCommanded(false, hourMs);
    std::printf("counters against the simulated pump, 1 h at accelerated time:\n"
                "  volume          panel %.3f ml, pump %.3f ml, error %+.4f %%\n"
                "  pressure-load   panel %.4f MPa·L, pump %.4f MPa·L, error %+.3f %% "
                "(the reading held between 1.5 s polls)\n",
                tally.value(Kind::Volume), volume, 100 * (tally.value(Kind::Volume) - volume) / volume,
                tally.value(Kind::PressureLoad), load,
                100 * (tally.value(Kind::PressureLoad) - load) / load);
}

// PumpCare's own writer on a turn of 5 ms that stands for its 10 s, the boot clock moved 10 s a
// turn: an hour is 360 turns.
int writesInAnHour(bool running, const QString &folder)
{
    FakeLine line;
    FakeReconnector reconnector;
    RunRecord record;
    AlarmMonitor alarms{{[] { return qint64(0); }, [] { return QDateTime(); }}};
    PumpSession session{&line, &reconnector, &record, &alarms};
    qint64 boot = 0;
    int writes = 0;
    PumpCare care(&session, [&reconnector] { return reconnector.device(); });
    care.setFolder(folder);
    care.setBootClock([&boot] { return boot; });
    care.setWriteFunction([&writes](const QString &path, const QByteArray &bytes) {
        ++writes;
        return CareFile::writeWhole(path, bytes);
    });
    care.setWriteInterval(std::chrono::milliseconds(5));
    session.open(QStringLiteral("/dev/fake1"));
    session.send(QStringLiteral("Q00L0500Y"), QStringLiteral("bench"));
    session.send(QString::fromLatin1(running ? "Q00R0000Y" : "Q00S0000Y"), QStringLiteral("bench"));
    const int before = writes;
    for (int turns = 0; turns < 360; ++turns) {
        const int seen = writes;
        boot += 10'000;
        // The next turn of the writer, whether it writes or not.
        (void)QTest::qWaitFor([&] { return writes > seen; }, 20);
    }
    return writes - before;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    std::printf("pump care\n");
    const double tally = tallyNsPerReading();
    std::printf("counting cost per reading, the rules alone: %.0f ns (target under 5 us)\n", tally);
    const double without = sessionNsPerReply(false, folder.path());
    const double with = sessionNsPerReply(true, folder.path());
    std::printf("a reading through the pump session: %.2f us without care, %.2f us with it "
                "(care's share %.2f us)\n",
                without / 1000, with / 1000, (with - without) / 1000);
    hourAgainstTheModel();
    std::printf("counter file writes in an hour: %d running, %d stopped (one at most every 10 s, "
                "and at every stop)\n",
                writesInAnHour(true, folder.filePath(QStringLiteral("running"))),
                writesInAnHour(false, folder.filePath(QStringLiteral("stopped"))));
    return 0;
}
