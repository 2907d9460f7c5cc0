#include "app/form1.h"
#include "app/programpanel.h"
#include "link/linkprotocol.h"
#include "platform/serialcontrol.h"
#include "program/programcontrol.h"
#include "program/programfile.h"
#include "session/pumpsession.h"
#include "tests/faults/simulatedpump.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The operator's word against the real simulated pump on a pseudo-terminal that goes away and
// comes back behind its symlink: a STOP given while the line is down goes first on its return
// and nothing starts the pump after it, an alarm's owed stop ends a program through its end
// block, a program continued by the link's return gives the pump again the setpoints a cut
// took from it, and a program the panel's end interrupted winds the pump down from the
// journal although its file changed.
class TestOperatorsWord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stopInAnOutage_data();
    void stopInAnOutage();
    void alarmsOwedStopRunsTheEndBlock();
    void cutBetweenFlowAndLimit();
    void interruptedWithItsFileChanged();
};

namespace {

constexpr int kSettleMs = 15000;
// Long enough for a frame that should not come to have come: several polls.
constexpr int kQuietMs = 1500;
const QString kStop = QStringLiteral("Q00S0000Y");
const QString kPoll = QStringLiteral("Q00F0000Y");

bool openPort(Form1 &form, ScriptedBoxes &boxes, const QString &device)
{
    form.serialControl()->setPortMap({{1, device}});
    boxes.answers << QStringLiteral("1");
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    return form.serialControl()->portOpen() && boxes.messages.isEmpty();
}

// The frames the pump received after its line last came back, the polls left out.
QStringList framesSinceBack(const SimulatedPump &pump)
{
    QStringList frames;
    for (const QString &line : pump.receivedLog()) {
        const QString what = line.section(u' ', 1);
        if (what.startsWith(QLatin1String("! back on")))
            frames.clear();
        else if (what.startsWith(u'Q') && what.left(9) != kPoll)
            frames << what.left(9);
    }
    return frames;
}

// Each command the pump obeyed, with the flow, limit and run state after it (not the volume
// delivered so far, which the timeline's last column adds).
QStringList timeline(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines << QString::fromLatin1(line).section(u' ', 1).section(u'\t', 0, 3);
    }
    return lines;
}

Program program(const char *text)
{
    const ProgramFile::Loaded loaded = ProgramFile::read(text);
    return loaded.program.value_or(Program{});
}

// The panel on the simulated pump's symlinked line, polled this often.
struct Rig
{
    QTemporaryDir folder;
    ScriptedBoxes boxes;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(&boxes);
    SimulatedPump pump{folder.path()};
    const QString link = folder.filePath(QStringLiteral("usb-pump"));
    const QString obeyed = folder.filePath(QStringLiteral("timeline.txt"));

    bool start(QStringList options, std::chrono::milliseconds poll)
    {
        form->setPollInterval(poll);
        QString error;
        if (!pump.start(options << "--link" << link << "--timeline" << obeyed, &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        return openPort(*form, boxes, link);
    }
    ProgramControl *program() const { return form->programs()->control(); }
};

const char kHolding[] = R"({"format": 1, "name": "hold", "pump": 0, "onLinkLost": "pause",
    "steps": [{"set": {"flow": 100, "limit": 1.5}}, {"run": true}, {"hold": {"seconds": 600}}],
    "end": [{"set": {"flow": 0}}, {"stop": true}]})";

} // namespace

void TestOperatorsWord::stopInAnOutage_data()
{
    QTest::addColumn<bool>("withProgram");
    QTest::newRow("no program") << false;
    QTest::newRow("a program paused by the outage") << true;
}

void TestOperatorsWord::stopInAnOutage()
{
    QFETCH(bool, withProgram);
    Rig rig;
    QStringList options{"--vanish-after", "10", "--vanish-for", "3"};
    if (!withProgram)
        options << "--running";
    QVERIFY(rig.start(options, std::chrono::milliseconds(200)));
    Form1 &form = *rig.form;
    ScriptedBoxes &boxes = rig.boxes;
    ProgramControl *control = rig.program();
    if (withProgram)
        QCOMPARE(control->start(program(kHolding), QString()), QString());
    QTRY_COMPARE_WITH_TIMEOUT(form.session()->link(), PumpSession::Link::Lost, kSettleMs);

    // The box stays up through the return; it closes by itself once the stop went out.
    bool sentWhileShown = false;
    boxes.whileShown = [&](const ScriptedBoxes::Message &) {
        sentWhileShown = QTest::qWaitFor(
            [&] { return form.session()->link() == PumpSession::Link::Open; }, kSettleMs);
    };
    auto *stop = form.findChild<QPushButton *>(QStringLiteral("Cmds"));
    stop->click();
    boxes.whileShown = nullptr;
    stop->click(); // on the open line now: sent at once, as ever
    QCOMPARE(boxes.messages.size(), 1);
    QCOMPARE(boxes.messages.first().prompt, PumpSession::heldStopText());
    QCOMPARE(boxes.messages.first().title, QStringLiteral("通信"));
    QVERIFY(sentWhileShown);
    QCOMPARE(boxes.closedByPanel, 1);

    // First on the line, and nothing after it but the operator's own second STOP.
    QTRY_COMPARE_WITH_TIMEOUT(framesSinceBack(rig.pump).size(), 2, kSettleMs);
    QTest::qWait(kQuietMs);
    QCOMPARE(framesSinceBack(rig.pump), (QStringList{kStop, kStop}));
    QVERIFY(form.session()->stopText().isEmpty());
    if (withProgram) {
        QCOMPARE(control->stateWord(), QStringLiteral("paused"));
        QVERIFY2(control->stateText().contains(QStringLiteral("操作员已停止泵")),
                 qPrintable(control->stateText()));
    }
}

void TestOperatorsWord::alarmsOwedStopRunsTheEndBlock()
{
    Rig rig;
    // Away for longer than the link's alarm waits: its stop is owed.
    QVERIFY(
        rig.start({"--vanish-after", "10", "--vanish-for", "4.5"}, std::chrono::milliseconds(200)));
    Form1 &form = *rig.form;
    AlarmSettings settings;
    settings.link = {true, AlarmSettings::kShortestSeconds, true};
    form.alarms()->setSettings(settings);
    form.session()->alarmsChanged();
    ProgramControl *control = rig.program();
    QCOMPARE(control->start(program(kHolding), QString()), QString());
    QTRY_VERIFY_WITH_TIMEOUT(form.session()->pendingStop().isPending(), kSettleMs);
    QTRY_COMPARE_WITH_TIMEOUT(control->stateWord(), QStringLiteral("ended"), kSettleMs);

    // The stop first, then the end block from the setpoints in force; never run.
    QCOMPARE(framesSinceBack(rig.pump),
             (QStringList{kStop, "Q00P01.5Y", "Q00L0100Y", "Q00L0000Y", kStop}));
    QString sentAs, endedFor;
    bool back = false;
    for (const RunRecord::Event &event : form.runRecord().events()) {
        back = back || event.key == u"link-back";
        if (back && sentAs.isEmpty() && event.key == u"frame-sent" && event.text.startsWith(kStop))
            sentAs = event.text;
        if (event.key == u"prog-end")
            endedFor = event.text;
    }
    // Fault: the owed stop told as the operator's, which left the end block paused.
    QVERIFY2(!sentAs.contains(QStringLiteral("操作员")) && sentAs.contains(QStringLiteral("报警")),
             qPrintable(sentAs));
    QVERIFY2(endedFor.contains(ProgramRunner::causeText(ProgramRunner::Cause::Alarm)),
             qPrintable(endedFor));
}

void TestOperatorsWord::cutBetweenFlowAndLimit()
{
    Rig rig;
    // No polls: the program's frames are the only ones, so the cut falls where it is asked.
    // P, L, R, then the second step's flow (its limit falls, so it follows): gone after that.
    QVERIFY(rig.start({"--vanish-after", "4", "--vanish-for", "1"}, std::chrono::hours(1)));
    const QString &obeyed = rig.obeyed;
    ProgramControl *control = rig.program();
    QCOMPARE(control->start(program(R"({"format": 1, "name": "cut", "pump": 0,
        "onLinkLost": "pause", "steps": [{"set": {"flow": 100, "limit": 1.5}}, {"run": true},
        {"hold": {"seconds": 1}}, {"set": {"flow": 300, "limit": 1.0}},
        {"hold": {"seconds": 600}}]})"),
                            QString()),
             QString());
    QTRY_VERIFY_WITH_TIMEOUT(timeline(obeyed).size() >= 6, kSettleMs);
    QTest::qWait(kQuietMs);
    // After the return the pump has both setpoints of the step, and nothing started it again.
    const QStringList after = timeline(obeyed).sliced(4);
    QVERIFY2(after.filter(QStringLiteral("Q00L0300Y")).size() >= 1 &&
                 after.filter(QStringLiteral("Q00P01.0Y")).size() == 1,
             qPrintable(after.join(u'|')));
    QVERIFY(after.filter(QStringLiteral("Q00R0000Y")).isEmpty());
    QVERIFY2(after.last().endsWith(QStringLiteral("0300\t01.0\trun")), qPrintable(after.last()));
    QCOMPARE(control->stateWord(), QStringLiteral("running"));
}

void TestOperatorsWord::interruptedWithItsFileChanged()
{
    Rig rig;
    const QString journal = rig.folder.filePath(QStringLiteral("run.json"));
    const QString file = rig.folder.filePath(QStringLiteral("ramp.json"));
    const QString &obeyed = rig.obeyed;
    const QByteArray text = R"({"format": 1, "name": "ramp", "pump": 0, "onLinkLost": "pause",
        "steps": [{"set": {"flow": 100, "limit": 1.5}}, {"run": true},
                  {"ramp": {"flow": 400, "seconds": 30}}],
        "end": [{"ramp": {"flow": 0, "seconds": 2}}, {"stop": true}]})";
    QFile written(file);
    QVERIFY(written.open(QIODevice::WriteOnly) && written.write(text) == text.size());
    written.close();
    rig.form->runJournal().setPath(journal);
    QVERIFY(rig.start({}, LinkProtocol::kPollInterval));
    ScriptedBoxes &boxes = rig.boxes;
    auto &first = rig.form;
    const ProgramFile::Loaded loaded = ProgramFile::readFile(file);
    QVERIFY2(loaded.program, qPrintable(loaded.problem));
    QCOMPARE(first->programs()->control()->start(*loaded.program, file), QString());
    QTRY_VERIFY_WITH_TIMEOUT(timeline(obeyed).size() >= 6, kSettleMs);
    // The panel ends mid-ramp without a word; the file is then changed so it no longer reads.
    first.reset();
    const QString lastSent = timeline(obeyed).last().left(9);
    QVERIFY(written.open(QIODevice::WriteOnly | QIODevice::Truncate) && written.write("{") == 1);
    written.close();

    Form1 form(&boxes);
    form.runJournal().setPath(journal);
    form.programStarted();
    ProgramControl *control = form.programs()->control();
    QVERIFY(control->interrupted() && control->interrupted()->fileChanged);
    QVERIFY(openPort(form, boxes, rig.link));
    // Fault: the kept end block refused for a ramp from a flow it never set in itself.
    QCOMPARE(control->runInterruptedEnd(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(control->stateWord(), QStringLiteral("ended"), kSettleMs);
    QTRY_VERIFY_WITH_TIMEOUT(timeline(obeyed).last().endsWith(QStringLiteral("stop")), kSettleMs);
    const QStringList all = timeline(obeyed);
    qsizetype crash = all.size() - 1;
    while (crash >= 0 && !all.at(crash).startsWith(lastSent))
        --crash;
    const QStringList wound = all.sliced(crash + 1);
    // From the flow last sent down to none, then stopped; no box, and nothing started it.
    QVERIFY2(wound.size() >= 2 && wound.first().left(4) == u"Q00L" &&
                 wound.first().mid(4, 4).toInt() < lastSent.mid(4, 4).toInt() &&
                 wound.at(wound.size() - 2).startsWith(QStringLiteral("Q00L0000Y")) &&
                 wound.last().startsWith(kStop),
             qPrintable(lastSent + u'|' + wound.join(u'|')));
    QVERIFY(wound.filter(QStringLiteral("Q00R0000Y")).isEmpty());
    QVERIFY(boxes.messages.isEmpty());
}

QTEST_MAIN(TestOperatorsWord)
#include "tst_operatorsword.moc"
