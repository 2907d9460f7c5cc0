#include "link/numbertext.h"
#include "tests/pumpsim/panelline.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kReplyTimeoutMs = 5000;
// Long enough for a reply that should have been sent to show up. Only absence checks wait
// this long, so a slow machine can make them pass but never fail.
constexpr int kSilenceMs = 500;
constexpr char kListening[] = "corvane-pumpsim: listening on ";

QList<QByteArray> frames(std::initializer_list<const char *> texts)
{
    return QList<QByteArray>(texts.begin(), texts.end());
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestPumpSim : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void answersItsAddressesOnly();
    void runRaisesPressure();
    void faultsKeepFramesIntact_data();
    void faultsKeepFramesIntact();
    void repliesAreHeldBack();
    void hangsUpAfterFrameCount();
    void logsLinksAndExitsCleanly();
    void vanishesAndComesBack();
    void talksToSerialPort();

private:
    // Starts a simulator owned by the test object; returns the slave path it announced.
    QString startSimulator(const QStringList &arguments, QProcess **process = nullptr);
};

// Stops whatever a test, failed or not, left running.
void TestPumpSim::cleanup()
{
    for (QProcess *process : findChildren<QProcess *>()) {
        process->terminate();
        process->waitForFinished(kStartTimeoutMs);
        delete process;
    }
}

QString TestPumpSim::startSimulator(const QStringList &arguments, QProcess **process)
{
    auto *sim = new QProcess(this);
    if (process)
        *process = sim;
    sim->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim->start(QStringLiteral(PUMPSIM_EXECUTABLE), arguments);
    while (!sim->canReadLine()) {
        if (!sim->waitForReadyRead(kStartTimeoutMs))
            return {};
    }
    const QByteArray line = sim->readLine().trimmed();
    if (!line.startsWith(kListening))
        return {};
    return QString::fromLocal8Bit(line.mid(qsizetype(sizeof kListening) - 1));
}

void TestPumpSim::answersItsAddressesOnly()
{
    PanelLine line(startSimulator({"--address", "3"}));
    QVERIFY(line.isOpen());
    QVERIFY(line.send("Q00F0000YQ03L0250YQ00P01.5Y"));
    QCOMPARE(line.takeFrames(3, kReplyTimeoutMs), frames({"Q03N00.0Y", "Q03L0250Y", "Q03P01.5Y"}));

    // Another pump's frame, an unknown command, unparsable and out-of-range values: no answer.
    // Replies leave in order, so the first to arrive must be the final setting's.
    QVERIFY(line.send("Q05F0000YQ03X0000YQ00LAB12YQ00P-1.5YQ03L0333Y"));
    QCOMPARE(line.takeFrames(1, kReplyTimeoutMs), frames({"Q03L0333Y"}));
}

void TestPumpSim::runRaisesPressure()
{
    PanelLine line(startSimulator({"--time-constant-s", "0.5", "--noise-mpa", "0"}));
    QVERIFY(line.isOpen());
    QVERIFY(line.send("Q00R0000Y"));

    // 500 ml/min at the default back pressure settles at 1.0 MPa.
    QList<double> readings{0.0};
    while (readings.last() < 1.0 && readings.size() < 100) {
        QTest::qWait(50);
        QVERIFY(line.send("Q00F0000Y"));
        const QList<QByteArray> reply = line.takeFrames(1, kReplyTimeoutMs);
        QCOMPARE(reply.size(), 1);
        const double reading = NumberText::toDouble(reply.first().mid(4, 4)).value_or(-1);
        QCOMPARE_GE(reading, readings.last());
        readings.append(reading);
    }
    QCOMPARE(readings.last(), 1.0);
    QCOMPARE_GT(readings.size(), 3); // it rose; it did not jump
}

void TestPumpSim::faultsKeepFramesIntact_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<int>("noisyReplies");

    const auto all =
        frames({"Q00L0001Y", "Q00L0002Y", "Q00L0003Y", "Q00L0004Y", "Q00L0005Y", "Q00L0006Y"});
    QTest::newRow("split") << QStringList{"--split", "--split-gap-ms", "20"} << all << 0;
    QTest::newRow("coalesce") << QStringList{"--coalesce"} << all << 0;
    QTest::newRow("noise") << QStringList{"--noise-every", "1", "--seed", "7"} << all << 6;
    QTest::newRow("all three") << QStringList{"--split", "--coalesce", "--noise-every", "2"} << all
                               << 3;
    QTest::newRow("drop") << QStringList{"--drop-every", "2"}
                          << frames({"Q00L0001Y", "Q00L0003Y", "Q00L0005Y"}) << 0;
}

void TestPumpSim::faultsKeepFramesIntact()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<QByteArray>, expected);
    QFETCH(int, noisyReplies);

    PanelLine line(startSimulator(arguments));
    QVERIFY(line.isOpen());
    // All six at once: replies made together must still leave one after another.
    QVERIFY(line.send("Q00L0001YQ00L0002YQ00L0003YQ00L0004YQ00L0005YQ00L0006Y"));
    QCOMPARE(line.takeFrames(int(expected.size()), kReplyTimeoutMs), expected);
    QCOMPARE(line.bytesReceived(), qsizetype(expected.size() * 9 + line.strayBytes()));
    QCOMPARE_GE(line.strayBytes(), quint64(noisyReplies));
    QCOMPARE_LE(line.strayBytes(), quint64(3 * noisyReplies));
}

void TestPumpSim::repliesAreHeldBack()
{
    PanelLine split(startSimulator({"--split", "--split-gap-ms", "1500"}));
    QVERIFY(split.send("Q00F0000Y"));
    QCOMPARE(split.nextBytes(kReplyTimeoutMs), QByteArray("Q00N"));
    QCOMPARE(split.takeFrames(1, kReplyTimeoutMs), frames({"Q00N00.0Y"}));

    PanelLine paired(startSimulator({"--coalesce"}));
    QVERIFY(paired.send("Q00L0100Y"));
    QCOMPARE(paired.nextBytes(kSilenceMs), QByteArray());
    QVERIFY(paired.send("Q00L0200Y"));
    QCOMPARE(paired.takeFrames(2, kReplyTimeoutMs), frames({"Q00L0100Y", "Q00L0200Y"}));

    PanelLine late(startSimulator({"--delay-ms", "2000"}));
    QVERIFY(late.send("Q00F0000Y"));
    QCOMPARE(late.nextBytes(kSilenceMs), QByteArray());
    QCOMPARE(late.takeFrames(1, kReplyTimeoutMs), frames({"Q00N00.0Y"}));
}

void TestPumpSim::hangsUpAfterFrameCount()
{
    QProcess *sim = nullptr;
    PanelLine line(startSimulator({"--hangup-after", "2"}, &sim));
    QVERIFY(line.send("Q00F0000Y"));
    QCOMPARE(line.takeFrames(1, kReplyTimeoutMs).size(), 1);
    QVERIFY(line.send("Q00F0000Y"));
    QVERIFY(line.waitForHangUp(kReplyTimeoutMs));
    QVERIFY(sim->waitForFinished(kStartTimeoutMs));
    QCOMPARE(sim->exitCode(), 0);
    QCOMPARE(sim->readAllStandardOutput(), QByteArray("corvane-pumpsim: hung up\n"));
}

void TestPumpSim::logsLinksAndExitsCleanly()
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath("frames.log");
    const QString link = dir.filePath("pump0");
    QVERIFY(QFile::link(logPath, link)); // a stale link from an earlier run is replaced
    const QString timelinePath = dir.filePath("timeline.txt");
    QProcess *sim = nullptr;
    const QString slave =
        startSimulator({"--log", logPath, "--link", link, "--timeline", timelinePath}, &sim);
    QTRY_VERIFY_WITH_TIMEOUT(sim->canReadLine(), kStartTimeoutMs);
    QCOMPARE(sim->readLine(), ("corvane-pumpsim: linked " + link + "\n").toLocal8Bit());
    QCOMPARE(QFile::symLinkTarget(link), slave);

    PanelLine line(link);
    QVERIFY(line.send("zzQ00F0000Y"));
    QVERIFY(line.send("Q09R0000Y"));
    QVERIFY(line.send("Q00S0000Y"));
    QStringList lines;
    QTRY_VERIFY_WITH_TIMEOUT((lines = fileLines(logPath)).size() >= 4, kReplyTimeoutMs);
    QCOMPARE(lines.size(), 4);
    // The timeline holds what the pump obeyed, with its state after each: not the poll, another
    // pump's frame or a value it refused.
    QVERIFY(line.send("Q00L0250YQ00P-1.5YQ00P01.5YQ00R0000Y"));
    QStringList timeline;
    QTRY_VERIFY_WITH_TIMEOUT((timeline = fileLines(timelinePath)).size() >= 4, kReplyTimeoutMs);
    for (QString &entry : timeline)
        entry = entry.section(u' ', 1);
    QCOMPARE(timeline,
             (QStringList{"Q00S0000Y\t0500\t02.0\tstop\t0.000", "Q00L0250Y\t0250\t02.0\tstop\t0.000",
                          "Q00P01.5Y\t0250\t01.5\tstop\t0.000", "Q00R0000Y\t0250\t01.5\trun\t0.000"}));
    const QRegularExpression stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} )");
    for (const QString &entry : std::as_const(lines))
        QVERIFY2(stamp.match(entry).hasMatch(), qPrintable(entry));
    QVERIFY2(lines.at(0).contains("2 stray byte(s)"), qPrintable(lines.at(0)));
    QVERIFY(lines.at(1).endsWith(" Q00F0000Y"));
    QVERIFY2(lines.at(2).contains(" Q09R0000Y ignored"), qPrintable(lines.at(2)));
    QVERIFY(lines.at(3).endsWith(" Q00S0000Y"));

    sim->terminate();
    QVERIFY(sim->waitForFinished(kStartTimeoutMs));
    QCOMPARE(sim->exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim->exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    QCOMPARE(sim->readAllStandardOutput(), QByteArray());
}

void TestPumpSim::vanishesAndComesBack()
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath("frames.log");
    const QString link = dir.filePath("pump0");
    // Replies wait longer than the line stays away: one left queued would reach the new line.
    QProcess *sim = nullptr;
    const QString oldSlave =
        startSimulator({"--link", link, "--log", logPath, "--vanish-after", "2", "--vanish-for",
                        "0.3", "--delay-ms", "400", "--time-constant-s", "0", "--noise-mpa", "0"},
                       &sim);
    PanelLine oldLine(link);
    QVERIFY(oldLine.send("Q00L0250YQ00R0000Y"));
    QVERIFY(oldLine.waitForHangUp(kReplyTimeoutMs));
    QVERIFY(QFile::symLinkTarget(link) != oldSlave); // gone, or already on the new line
    // The old line is still held, as the panel would, so its pts number cannot come back.
    QByteArray out;
    QTRY_COMPARE_WITH_TIMEOUT((out += sim->readAllStandardOutput()).count('\n'), 3,
                              kStartTimeoutMs);
    const QString newSlave = QFile::symLinkTarget(link);
    QCOMPARE(out, "corvane-pumpsim: linked " + link.toLocal8Bit() +
                      "\ncorvane-pumpsim: vanished\ncorvane-pumpsim: back on " +
                      newSlave.toLocal8Bit() + "\n");
    QVERIFY(newSlave != oldSlave);
    // Setpoint and run state survived: 250 ml/min at 0.002 MPa per ml/min.
    PanelLine newLine(link);
    QVERIFY(newLine.send("Q00F0000Y"));
    QCOMPARE(newLine.takeFrames(1, kReplyTimeoutMs), frames({"Q00N00.5Y"}));
    QStringList entries;
    for (const QString &line : fileLines(logPath))
        entries << line.section(' ', 1);
    QCOMPARE(entries,
             QStringList({"Q00L0250Y", "Q00R0000Y", "- 1 pending reply(ies) dropped with the line",
                          "! vanished after 2 frame(s)", "! back on " + newSlave, "Q00F0000Y"}));
}

void TestPumpSim::talksToSerialPort()
{
    QSerialPort port(startSimulator({"--flow", "120"}));
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QVERIFY(port.setBaudRate(QSerialPort::Baud9600) && port.setParity(QSerialPort::NoParity));
    port.write("Q00L0120Y"); // echoes the setting it started with
    QByteArray received;
    while (received.size() < 9 && port.waitForReadyRead(kReplyTimeoutMs))
        received += port.readAll();
    QCOMPARE(received, QByteArray("Q00L0120Y"));
}

QTEST_GUILESS_MAIN(TestPumpSim)
#include "tst_pumpsim.moc"
