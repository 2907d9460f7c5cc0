#include "app/form1.h"
#include "app/programpanel.h"
#include "platform/serialcontrol.h"
#include "program/programcontrol.h"
#include "program/programfile.h"
#include "program/programplan.h"
#include "records/logwriter.h"
#include "tests/faults/panelwatch.h"
#include "tests/faults/ptypeer.h"
#include "tests/faults/simulatedpump.h"
#include "tests/support/panelport.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <memory>
#include <optional>

namespace {

// How the line misbehaves in a case, beside the simulator's own fault options.
enum class Script {
    Simulator,       // the simulated pump answers the polls through its faults
    Vanishing,       // the simulated pump's line goes and comes back behind its symlink
    ByteAtATime,     // a peer answers the polls one byte per write
    HangUpAndReopen, // a peer hangs up in the middle of a frame; 通信 opens a new line
    Hostile,         // a peer streams 1 MB of garbage with replies and bad values among it
};

// What shows in the simulator's logs when its fault option took effect.
enum class Evidence { None, StrayBytes, ShortWrites, DoubleWrites, Dropped, Late, Vanished };

constexpr int kRunMs = 1500;
constexpr int kSettleTimeoutMs = 10000;
constexpr int kHostileTimeoutMs = 30000;
constexpr int kHungUpMs = 300;
// Longer than any reply takes to leave the simulator once the polls have stopped.
constexpr int kQuietMs = 300;
constexpr int kFrameBytes = 9;
// Generous bounds: they catch a spin, a stall or a leak, not a slow machine.
constexpr qint64 kMaxStallMs = 1000;
constexpr double kMaxCpuShare = 0.25;
// Less than the hostile stream: a reader that hoards what it cannot use goes over.
constexpr qint64 kMaxRssGrowthKiB = 1024;

// A running pump whose pressure wanders, so that readings differ from one reply to the next.
const QStringList kPumpOptions{
    "--running", "--time-constant-s", "0.2", "--noise-mpa", "0.05", "--seed", "7"};

bool openPort(Form1 &form, ScriptedBoxes &boxes, const QString &device)
{
    form.serialControl()->setPortMap({{1, device}});
    boxes.answers << QStringLiteral("1");
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    return form.serialControl()->portOpen() && boxes.messages.isEmpty();
}

// The readings the record buffer takes: a sign, digits with at most one point, blanks around;
// no exponent, no letters.
std::optional<double> plainNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral(R"(^ *[+-]?(\d+\.?\d*|\.\d+) *$)"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    return text.toDouble();
}

QList<double> numbersAmong(const QStringList &readings)
{
    QList<double> numbers;
    for (const QString &reading : readings) {
        if (const std::optional<double> number = plainNumber(reading))
            numbers << *number;
    }
    return numbers;
}

QList<double> recordsOf(const Form1 &form)
{
    QList<double> entries;
    for (qint32 i = 1; i <= form.records().count(); ++i)
        entries << form.records().entry(i);
    return entries;
}

// How the log writes each reading: printable ASCII as it is, any other byte as \xNN.
QStringList loggedForms(const QStringList &readings)
{
    QStringList forms;
    for (const QString &reading : readings) {
        QString form;
        for (const QChar c : reading) {
            const ushort code = c.unicode();
            form += code >= 0x20 && code < 0x7f && c != u'\\'
                        ? QString(c)
                        : QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
        }
        forms << form;
    }
    return forms;
}

// The texts a box showing `shown` takes when each reading is written to it in turn.
QStringList changesOf(QString shown, const QStringList &readings)
{
    QStringList changes;
    for (const QString &reading : readings) {
        if (reading != shown)
            changes << reading;
        shown = reading;
    }
    return changes;
}

QDateTime timeOf(const QString &logLine)
{
    return QDateTime::fromString(logLine.left(logLine.indexOf(u' ')), Qt::ISODateWithMs);
}

bool faultShows(Evidence evidence, const SimulatedPump &pump)
{
    const QList<SimulatedPump::Write> writes = pump.writes();
    qsizetype bytes = 0;
    qsizetype shortest = std::numeric_limits<qsizetype>::max();
    qsizetype longest = 0;
    for (const SimulatedPump::Write &write : writes) {
        bytes += write.bytes.size();
        shortest = qMin(shortest, write.bytes.size());
        longest = qMax(longest, write.bytes.size());
    }
    const QStringList received = pump.receivedLog();
    switch (evidence) {
    case Evidence::None:
        return true;
    case Evidence::StrayBytes:
        return bytes > kFrameBytes * pump.sentReadings().size();
    case Evidence::ShortWrites:
        return shortest < kFrameBytes;
    case Evidence::DoubleWrites:
        return longest >= 2 * kFrameBytes;
    case Evidence::Dropped:
        return !received.filter(QStringLiteral("dropped")).isEmpty();
    case Evidence::Vanished:
        return received.filter(QStringLiteral("! back on")).size() >= 2;
    case Evidence::Late: {
        // The first reply left after the second poll had come in.
        const QStringList polls = received.filter(QStringLiteral("Q00F0000Y"));
        return polls.size() >= 2 && !writes.isEmpty() && writes.first().time > timeOf(polls[1]);
    }
    }
    return false;
}

struct Stream
{
    QByteArray bytes;
    QByteArrayList readings;
};

// Garbage with whole replies between the runs. The garbage holds no "Y", so no frame can form
// in it, and no reply's first eight bytes hold one, so no "Q" in front of a reply can swallow
// it: the replies are exactly the frames a correct reader finds.
Stream hostileStream()
{
    Stream stream;
    qint64 next = 1;
    const auto reply = [&](const QByteArray &value) {
        stream.bytes += PtyPeer::readingFrame(value);
        stream.readings << value;
    };
    const auto goodReply = [&] { reply(PtyPeer::readingValue(next++)); };
    QRandomGenerator random(20240901);
    const auto garbage = [&](qsizetype size, const QByteArray &excluded) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &byte : bytes) {
            do
                byte = char(random.bounded(256));
            while (excluded.contains(byte));
        }
        stream.bytes += bytes;
    };

    constexpr qsizetype kRun = 64 * 1024;
    for (int i = 0; i < 16; ++i) { // 1 MiB of random bytes
        garbage(kRun, "Y");
        goodReply();
    }
    garbage(kRun, "QY"); // a long run without a start character
    goodReply();
    stream.bytes += QByteArray(kRun, 'Q');
    goodReply();
    stream.bytes += QByteArray(kRun, '\0');
    goodReply();
    // Replies whose values are no reading, or an unlikely one; settings with such values.
    for (const QByteArray &value : {QByteArray("ABCD"), QByteArray("-1.5"), QByteArray("9999"),
                                    QByteArray("1e99"), QByteArray(4, '\0'), QByteArray("-999")}) {
        garbage(5, "Y");
        reply(value);
        goodReply();
    }
    stream.bytes += "Q00PABCDYQ00L1e99Y";
    stream.bytes += QByteArray("Q00P\0\0\0\0Y", kFrameBytes);
    stream.bytes += "Q00N12"; // cut short
    goodReply();
    return stream;
}

} // namespace

Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Evidence)
Q_DECLARE_METATYPE(AlarmSettings)

// The real window against line faults: the simulated pump's fault options, and a peer inside
// the test that cuts the line mid-frame or sends garbage. Whatever the line does, every reading
// sent in full reaches the current-pressure box, the record buffer and the reading log, in
// order; nothing that was not sent does; and the panel keeps working within bounds.
class TestFaultMatrix : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void readingsSurviveLineFaults_data();
    void readingsSurviveLineFaults();
    void lineEndInAValue();
    void alarmsFromPumpFaults_data();
    void alarmsFromPumpFaults();
    void programThroughAnOutage();
};

// The first control character shown in a box makes the font system load its fallback fonts,
// some megabytes once per process, and the first line found again after an outage loads
// udev's library, watches /dev and lays out the status texts; done here, they do not count as
// any case's growth.
void TestFaultMatrix::initTestCase()
{
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("usb-pump"));
    PseudoTerminal pty;
    QVERIFY(pty.open() && pty.makeSymlink(link));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(openPort(form, boxes, link));
    for (QLineEdit *box : form.findChildren<QLineEdit *>())
        box->setText(QString::fromLatin1("\0\t\x7f\xff", 4));
    pty.hangUp();
    QTRY_VERIFY(!form.serialControl()->portOpen());
    QVERIFY(pty.open() && pty.makeSymlink(link));
    QTRY_VERIFY_WITH_TIMEOUT(form.serialControl()->portOpen(), kSettleTimeoutMs);
    QVERIFY(!form.grab().isNull());
}

void TestFaultMatrix::readingsSurviveLineFaults_data()
{
    QTest::addColumn<QStringList>("pumpOptions");
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("pollMs");
    QTest::addColumn<Evidence>("evidence");

    // Stray bytes before every third reply: about 7% of the bytes, well above 1%.
    QTest::newRow("stray bytes") << QStringList{"--noise-every", "3"} << Script::Simulator << 25
                                 << Evidence::StrayBytes;
    QTest::newRow("replies in two writes")
        << QStringList{"--split"} << Script::Simulator << 40 << Evidence::ShortWrites;
    QTest::newRow("two replies per write")
        << QStringList{"--coalesce"} << Script::Simulator << 25 << Evidence::DoubleWrites;
    QTest::newRow("every 10th reply dropped")
        << QStringList{"--drop-every", "10"} << Script::Simulator << 25 << Evidence::Dropped;
    QTest::newRow("reply later than the next poll")
        << QStringList{"--delay-ms", "60"} << Script::Simulator << 25 << Evidence::Late;
    QTest::newRow("all line faults at once")
        << QStringList{"--noise-every", "3",  "--split",    "--coalesce",
                       "--drop-every",  "10", "--delay-ms", "60"}
        << Script::Simulator << 25 << Evidence::StrayBytes;
    // Twice away for 0.3 s; the panel finds the line again behind the same name by itself.
    QTest::newRow("line vanishes and comes back")
        << QStringList{"--vanish-after", "15", "--vanish-every", "40", "--vanish-for", "0.3"}
        << Script::Vanishing << 25 << Evidence::Vanished;
    QTest::newRow("replies a byte at a time")
        << QStringList() << Script::ByteAtATime << 40 << Evidence::None;
    QTest::newRow("hang-up mid-frame, reopened")
        << QStringList() << Script::HangUpAndReopen << 25 << Evidence::None;
    QTest::newRow("hostile peer") << QStringList() << Script::Hostile << 25 << Evidence::None;
}

void TestFaultMatrix::readingsSurviveLineFaults()
{
    QFETCH(QStringList, pumpOptions);
    QFETCH(Script, script);
    QFETCH(int, pollMs);
    QFETCH(Evidence, evidence);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString logPath = folder.filePath(QStringLiteral("readings.log"));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(std::chrono::milliseconds(pollMs));
    QString error;
    QVERIFY2(form.readingLog()->openFile(logPath, &error), qPrintable(error));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    std::unique_ptr<SimulatedPump> pump;
    PtyPeer peer;
    if (script == Script::Simulator || script == Script::Vanishing) {
        const QString link = folder.filePath(QStringLiteral("usb-pump"));
        pump = std::make_unique<SimulatedPump>(folder.path());
        QVERIFY2(pump->start(kPumpOptions + pumpOptions + QStringList{"--link", link}, &error),
                 qPrintable(error));
        QVERIFY(openPort(form, boxes, script == Script::Vanishing ? link : pump->slavePath()));
    } else {
        QVERIFY(peer.open());
        QVERIFY(openPanelPort(form, boxes, peer.pty()));
    }
    const Stream hostile = script == Script::Hostile ? hostileStream() : Stream();
    const QImage surroundingsBefore = PanelWatch::surroundings(form);

    PanelWatch watch(form);
    watch.start();
    switch (script) {
    case Script::Simulator:
        QTest::qWait(kRunMs);
        break;
    case Script::Vanishing:
        // Until it has been away twice and the panel is back on the line, plus a few polls
        // (far fewer than would make it vanish a third time).
        QTRY_VERIFY_WITH_TIMEOUT(faultShows(Evidence::Vanished, *pump), kSettleTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(form.serialControl()->portOpen(), kSettleTimeoutMs);
        QTest::qWait(kRunMs / 5);
        break;
    case Script::ByteAtATime:
        peer.setPacing(1, 1);
        peer.answerPolls(std::numeric_limits<qint64>::max());
        QTest::qWait(kRunMs);
        break;
    case Script::HangUpAndReopen: {
        constexpr int kBefore = 20;
        constexpr int kAfter = 20;
        peer.answerPolls(kBefore);
        QTRY_COMPARE_WITH_TIMEOUT(form.records().count(), kBefore, kSettleTimeoutMs);
        // A last reading with the first five bytes of another behind it; then the line goes.
        peer.send(PtyPeer::readingFrame("7777") + "Q00N0", {"7777"});
        QTRY_COMPARE_WITH_TIMEOUT(form.records().count(), kBefore + 1, kSettleTimeoutMs);
        peer.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!form.serialControl()->portOpen(), kSettleTimeoutMs);
        // A dead line left open would report errors without end: no box, no spin.
        QTest::qWait(kHungUpMs);
        QCOMPARE(boxes.messages.size(), 0);

        QVERIFY(peer.open());
        QVERIFY(openPanelPort(form, boxes, peer.pty()));
        // The rest of the cut frame comes first on the new line. Joined to the five bytes of
        // the old one it would read Q00N09.9Y, a reading that was never sent.
        peer.send("9.9Y");
        peer.answerPolls(kAfter);
        // Waits without failing: the comparisons below tell what went missing or came extra.
        (void)QTest::qWaitFor([&] { return form.records().count() >= kBefore + 1 + kAfter; },
                              kSettleTimeoutMs);
        break;
    }
    case Script::Hostile:
        // Up to 4 KiB every 5 ms: hundreds of times what the line can carry.
        peer.setPacing(4096, 5);
        peer.send(hostile.bytes, hostile.readings);
        QTRY_VERIFY_WITH_TIMEOUT(peer.idle(), kHostileTimeoutMs);
        break;
    }
    // No more polls: the replies still on their way come in, and then nothing.
    form.setPollInterval(std::chrono::hours(1));
    const auto sent = [&] { return pump ? pump->sentReadings() : peer.sentReadings(); };
    qsizetype sentBefore = -1;
    QElapsedTimer quiet;
    (void)QTest::qWaitFor(
        [&] {
            if (const qsizetype count = sent().size(); count != sentBefore) {
                sentBefore = count;
                quiet.start();
            }
            return quiet.elapsed() >= kQuietMs &&
                   PanelWatch::logValues(logPath).size() >= sentBefore;
        },
        kSettleTimeoutMs);
    watch.stop();

    const QStringList readings = sent();
    qInfo("%d readings sent, %d recorded; CPU %.1f%% of a core; RSS %lld -> %lld KiB; longest "
          "stall %lld ms",
          int(readings.size()), int(form.records().count()), 100.0 * watch.cpuShare(),
          watch.rssBeforeKiB(), watch.rssAfterKiB(), watch.maxStallMs());
    if (pump)
        QVERIFY2(faultShows(evidence, *pump), "the simulator's fault did not take effect");
    QVERIFY(!readings.isEmpty());
    QCOMPARE(PanelWatch::logValues(logPath), loggedForms(readings));
    QCOMPARE(recordsOf(form), numbersAmong(readings));
    QCOMPARE(watch.pnowTexts(), changesOf(QStringLiteral("00.0"), readings));
    QVERIFY(boxes.messages.isEmpty());
    QVERIFY(form.serialControl()->portOpen());
    QCOMPARE(PanelWatch::surroundings(form), surroundingsBefore);
    QCOMPARE_LE(watch.maxStallMs(), kMaxStallMs);
    QCOMPARE_LE(watch.cpuShare(), kMaxCpuShare);
    if (PanelWatch::kRssIsMeaningful)
        QCOMPARE_LE(watch.rssGrowthKiB(), kMaxRssGrowthKiB);
}

// A value is logged as received; a line end in it must not make a second log line.
void TestFaultMatrix::lineEndInAValue()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString logPath = folder.filePath(QStringLiteral("readings.log"));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QString error;
    QVERIFY2(form.readingLog()->openFile(logPath, &error), qPrintable(error));
    PtyPeer peer;
    QVERIFY(peer.open());
    QVERIFY(openPanelPort(form, boxes, peer.pty()));

    const QByteArray value("\t\n\r\x7f");
    peer.send(PtyPeer::readingFrame(value) + PtyPeer::readingFrame("0001"), {value, "0001"});
    QTRY_COMPARE_WITH_TIMEOUT(form.records().count(), 1, kSettleTimeoutMs);
    // The log's own thread writes the lines a moment later.
    QTRY_COMPARE_WITH_TIMEOUT(PanelWatch::logValues(logPath),
                              (QStringList{"\\x09\\x0a\\x0d\\x7f", "0001"}), kSettleTimeoutMs);
}

void TestFaultMatrix::alarmsFromPumpFaults_data()
{
    QTest::addColumn<AlarmSettings>("settings");
    QTest::addColumn<QStringList>("pumpFault"); // 3 s after start, once the alarm is set
    AlarmSettings high, low, silence, link;
    high.high = {true, 1.2, true};
    low.low = {true, 0.5, false};
    silence.silence = link.link = {true, AlarmSettings::kShortestSeconds, true};
    QTest::newRow("high, stops") << high << QStringList{"--blocked-at", "3"};
    QTest::newRow("low") << low << QStringList{"--leak-at", "3"};
    QTest::newRow("no reading, stops") << silence << QStringList{"--silent-at", "3"};
    // Gone after some 3 s of polls, for longer than the alarm waits: the stop is owed.
    QTest::newRow("link, stops") << link << QStringList{"--vanish-after=30", "--vanish-for=4.5"};
}

// Each alarm against the pump fault it is there for: raised after its readings or its time,
// shown, recorded and acknowledged, and its stop reaching the pump once.
void TestFaultMatrix::alarmsFromPumpFaults()
{
    QFETCH(AlarmSettings, settings);
    QFETCH(QStringList, pumpFault);
    QTemporaryDir folder;
    QList<qint32> readingsAtRaise;
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(std::chrono::milliseconds(100));
    SimulatedPump pump(folder.path());
    const QString link = folder.filePath(QStringLiteral("usb-pump"));
    QString error;
    QStringList options = kPumpOptions + pumpFault + QStringList{"--link", link};
    options.removeOne("--running"); // the panel runs it, as the low alarm needs
    QVERIFY2(pump.start(options, &error), qPrintable(error));
    QVERIFY(openPort(form, boxes, link));
    form.findChild<QPushButton *>(QStringLiteral("Cmdr"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.findChild<QLineEdit *>("pnow")->text().toDouble() > 0.9,
                             kSettleTimeoutMs);
    form.alarms()->setSettings(settings);
    const RunRecord &run = form.runRecord();
    connect(form.alarms(), &AlarmMonitor::raised, &form,
            [&] { readingsAtRaise << run.readingCount(); });
    QTRY_VERIFY_WITH_TIMEOUT(!readingsAtRaise.isEmpty(), kSettleTimeoutMs);
    const AlarmMonitor::Alarm alarm = form.alarms()->latched().value(0);
    const qint32 seen = readingsAtRaise.first();
    qint64 fromMs = run.readingMs(seen - 1);
    int raisedEvents = 0;
    for (const RunRecord::Event &event : run.events()) {
        fromMs = event.key == "link-lost" ? event.time.toMSecsSinceEpoch() : fromMs;
        raisedEvents += event.key == "alarm-raised" ? 1 : 0;
    }
    if (settings.high.on || settings.low.on) {
        // The third reading beyond the limit in a row, not the second or the fourth.
        const auto beyond = [&](qint32 i) {
            const double v = run.reading(i).value.value_or(qQNaN());
            return settings.high.on ? v > settings.high.limit : v < settings.low.limit;
        };
        QVERIFY(beyond(seen - 1) && beyond(seen - 2) && beyond(seen - 3) && !beyond(seen - 4));
    } else {
        // Since the last reading or the line's loss, less a millisecond the two clocks round.
        const qint64 waitedMs = alarm.raisedAt.toMSecsSinceEpoch() - fromMs;
        QVERIFY2(waitedMs >= 2999 && waitedMs < 4000, QByteArray::number(waitedMs));
    }
    auto *banner = form.findChild<QLabel *>(QStringLiteral("alarmBanner"));
    QVERIFY2(!banner->isHidden() && banner->text().contains(AlarmMonitor::name(alarm.kind)),
             qPrintable(banner->text()));
    QCOMPARE(raisedEvents, 1);
    const qsizetype stops = QByteArray(QTest::currentDataTag()).endsWith("stops");
    const auto stopsReceived = [&] { return pump.receivedLog().filter("Q00S0000Y").size(); };
    QTRY_COMPARE_WITH_TIMEOUT(stopsReceived(), stops, kSettleTimeoutMs);
    if (settings.link.on) // owed while the line was away, sent on its return
        QCOMPARE_LT(alarm.raisedAt, timeOf(pump.receivedLog().filter("! back on").value(0)));
    QTest::qWait(500); // long enough for a second stop, or a second raise, to come
    QCOMPARE(stopsReceived(), stops);
    QCOMPARE(readingsAtRaise.size(), 1);
    form.findChild<QPushButton *>(QStringLiteral("alarmAck"))->click();
    QVERIFY(banner->isHidden());
}

// A program that steps, ramps and waits on the pressure, with the line gone in the middle of its
// ramp: the pump obeyed the plan's values in the plan's order, none twice but the setpoints in
// force that the link's return gives it again (never run), at the times the panel logged the
// steps that sent them.
void TestFaultMatrix::programThroughAnOutage()
{
    QTemporaryDir folder;
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(std::chrono::milliseconds(250));
    SimulatedPump pump(folder.path());
    const QString link = folder.filePath(QStringLiteral("usb-pump"));
    const QString timeline = folder.filePath(QStringLiteral("timeline.txt"));
    QString error;
    // Gone for 1.5 s after some 14 frames, polls among them: two seconds into the ramp.
    QVERIFY2(pump.start({"--time-constant-s", "0.2", "--noise-mpa", "0", "--link", link,
                         "--timeline", timeline, "--vanish-after", "14", "--vanish-for", "1.5"},
                        &error),
             qPrintable(error));
    QVERIFY(openPort(form, boxes, link));
    const ProgramFile::Loaded loaded = ProgramFile::read(R"({"format": 1, "name": "outage",
        "pump": 0, "onLinkLost": "pause",
        "steps": [{"set": {"flow": 100, "limit": 1.5}}, {"run": true},
                  {"ramp": {"flow": 105, "seconds": 5}},
                  {"waitUntil": {"pressure": "above", "value": 0.1, "readings": 2,
                                 "timeoutSeconds": 30, "onTimeout": "end"}},
                  {"set": {"flow": 90}}, {"hold": {"seconds": 1}}],
        "end": [{"set": {"flow": 0}}, {"stop": true}]})");
    QVERIFY2(loaded.program, qPrintable(loaded.problem));
    ProgramControl *program = form.programs()->control();
    QCOMPARE(program->start(*loaded.program, QString()), QString());
    QTRY_COMPARE_WITH_TIMEOUT(program->stateWord(), QStringLiteral("ended"), 60'000);

    QStringList obeyed;
    QHash<QString, QDateTime> arrived;
    QFile file(timeline);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QString frame = QString::fromLatin1(line.split(' ').value(1).split('\t').value(0));
        obeyed << frame;
        arrived.insert(frame, QDateTime::fromString(QString::fromLatin1(line.split(' ').value(0)),
                                                    Qt::ISODateWithMs));
    }
    // The limit and the flow in force, again on the return, once each.
    const qsizetype again = obeyed.indexOf(QStringLiteral("Q00P01.5Y"), 1);
    QVERIFY2(again > 3 && obeyed.value(again + 1) == obeyed.at(again - 1),
             qPrintable(obeyed.join(u' ')));
    obeyed.remove(again, 2);
    QCOMPARE(obeyed, (QStringList{"Q00P01.5Y", "Q00L0100Y", "Q00R0000Y", "Q00L0101Y", "Q00L0102Y",
                                  "Q00L0103Y", "Q00L0104Y", "Q00L0105Y", "Q00L0090Y", "Q00L0000Y",
                                  "Q00S0000Y"}));
    // The outage came in the ramp, and the program paused for it.
    QStringList keys;
    QDateTime stepFive, lost;
    for (const RunRecord::Event &event : form.runRecord().events()) {
        keys << event.key;
        if (event.key == u"link-lost")
            lost = event.time;
        if (event.key == u"prog-step" && event.text == ProgramPlan::pathText({4}, false))
            stepFive = event.time;
    }
    const auto at = [&keys](const char *key) { return keys.indexOf(QLatin1String(key)); };
    QVERIFY(at("link-lost") > keys.indexOf("prog-start") && at("prog-pause") > at("link-lost"));
    QVERIFY(at("prog-continue") > at("link-back") && at("prog-end") > at("prog-continue"));
    QVERIFY(stepFive.isValid() && lost < stepFive && arrived.value("Q00L0101Y") < lost);
    QVERIFY2(std::abs(stepFive.msecsTo(arrived.value("Q00L0090Y"))) < 1000,
             qPrintable(stepFive.toString(Qt::ISODateWithMs)));
}

QTEST_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
