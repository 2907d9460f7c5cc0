#include "app/form1.h"
#include "app/programpanel.h"
#include "app/programwindow.h"
#include "program/programfile.h"
#include "records/logwriter.h"
#include "tests/support/panelport.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

namespace {

// Saves and exports are written on a thread that gives way to every other: on a machine busy
// with builds they may take a while, and only a hang should fail.
constexpr int kSaveWaitMs = 60'000;

const QByteArray kRun("Q00R0000Y");
const QByteArray kStop("Q00S0000Y");

void choose(const Form1 &form, const char *item)
{
    form.findChild<QAction *>(QLatin1String(item))->trigger();
}

QLabel *label(const Form1 &form, const char *name)
{
    return form.findChild<QLabel *>(QLatin1String(name));
}

QStringList clockOf(const Form1 &form)
{
    return {label(form, "lhour")->text(), label(form, "lmin")->text(), label(form, "lsed")->text()};
}

bool clockShown(const Form1 &form)
{
    for (const char *name : {"lhour", "Label1", "lmin", "Label2", "lsed", "Label3"}) {
        if (label(form, name)->isHidden())
            return false;
    }
    return true;
}

// What reaches the pump's end of the line within the wait, the panel's events running meanwhile.
QByteArray lineAfter(PseudoTerminal &pty, qsizetype count, int timeoutMs = 5000)
{
    QByteArray bytes;
    QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < count && !deadline.hasExpired()) {
        QTest::qWait(5);
        bytes += pty.readAvailable();
    }
    return bytes;
}

} // namespace

// The timed run as the operator drives it from 定时(T), with the tick shortened where the
// count itself is not under test, and through a line failure in the middle of a run.
class TestTimedRunWiring : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void commandsSendInOrder();
    void firstTickAfterOneSecond();
    void runSurvivesLineFailure();
    void stopOwedWhileLineIsDown_data();
    void stopOwedWhileLineIsDown();
    void programFromItsWindow();
    void noFileHoldsTheRun();

private:
    PseudoTerminal m_pty;
};

void TestTimedRunWiring::init()
{
    m_pty.hangUp();
    QVERIFY(m_pty.open());
}

void TestTimedRunWiring::commandsSendInOrder()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(std::chrono::hours(1));
    form.setClockInterval(std::chrono::milliseconds(5));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    QVERIFY(!clockShown(form));

    // 0.05 min is three seconds: three ticks, then the stop frame.
    boxes.answers << QStringLiteral(" 0.05 ") << QStringLiteral("5");
    choose(form, "stset");
    QCOMPARE(boxes.questions.last().title, QStringLiteral("时间设定"));
    QCOMPARE(boxes.questions.last().prompt, QStringLiteral("请输入设定时间 单位 分 "));
    choose(form, "Pump_NO"); // the timed run addresses pump 00 whatever this says
    choose(form, "ststart");
    QVERIFY(clockShown(form));
    QCOMPARE(lineAfter(m_pty, 18), kRun + kStop);
    QCOMPARE(clockOf(form), (QStringList{"0", "0", "3"}));
    QVERIFY(clockShown(form));

    choose(form, "stzanting");
    choose(form, "stcontiune");
    choose(form, "stend");
    QCOMPARE(lineAfter(m_pty, 27), kStop + kRun + kStop);
    QVERIFY(!clockShown(form));
    // Continue after end: the next tick ends a run of no set time; the clock stays hidden.
    choose(form, "stcontiune");
    QCOMPARE(lineAfter(m_pty, 18), kRun + kStop);
    QVERIFY(!clockShown(form));
    QCOMPARE(boxes.messages.size(), 0);
}

void TestTimedRunWiring::firstTickAfterOneSecond()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(std::chrono::hours(1));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    boxes.answers << QStringLiteral("1");
    choose(form, "stset");

    QElapsedTimer sinceStart;
    choose(form, "ststart");
    sinceStart.start();
    QTRY_COMPARE_WITH_TIMEOUT(label(form, "lsed")->text(), QStringLiteral("1"), 5000);
    const qint64 elapsed = sinceStart.elapsed();
    QVERIFY2(elapsed >= 900 && elapsed < 3000, qPrintable(QString::number(elapsed)));

    // 开始 again in the middle of a second counts from 0 again, but the tick keeps its pace:
    // chosen more often than once a second, it must not hold the clock still.
    const QTimer *tick = form.findChild<QTimer *>(QStringLiteral("Timer1"));
    QTest::qWait(300);
    const int remaining = tick->remainingTime();
    choose(form, "ststart");
    QVERIFY2(tick->remainingTime() <= remaining, qPrintable(QString::number(remaining)));
    choose(form, "stend");
}

void TestTimedRunWiring::runSurvivesLineFailure()
{
    QTemporaryDir drive;
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.recordSaving().setDriveFolders({{u'd', drive.path()}});
    form.setPollInterval(std::chrono::hours(1));
    form.setClockInterval(std::chrono::milliseconds(20));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    boxes.answers << QStringLiteral("2"); // 120 ticks: 2.4 s here
    choose(form, "stset");
    choose(form, "ststart");
    QCOMPARE(lineAfter(m_pty, 9), kRun);

    m_pty.hangUp();
    QTRY_VERIFY(!form.serialControl()->portOpen());
    for (const char *name : {"file", "settime", "Pump", "seting", "rightkey"})
        QVERIFY2(form.findChild<QMenu *>(QLatin1String(name))->isEnabled(), name);
    const qint64 countAtFailure = form.timedRun().tset();
    QTRY_VERIFY(form.timedRun().tset() > countAtFailure);

    // 文件 still works: the readings so far can be saved.
    choose(form, "save");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.messages.size(), 1, kSaveWaitMs);
    QCOMPARE(boxes.messages[0].prompt, QStringLiteral("当前压力数值以存储"));

    // Back on the line in time: the end of the run reaches the pump.
    QVERIFY(m_pty.open());
    form.serialControl()->setPortMap({{1, m_pty.slavePath()}});
    boxes.answers << QStringLiteral("1");
    choose(form, "Communication");
    QVERIFY(form.serialControl()->portOpen());
    QVERIFY(form.timedRun().tset() > 0);
    QCOMPARE(lineAfter(m_pty, 9), kStop);
    QCOMPARE(boxes.messages.size(), 1);
}

void TestTimedRunWiring::stopOwedWhileLineIsDown_data()
{
    QTest::addColumn<bool>("sameAdapterBack");
    QTest::newRow("same adapter back") << true;
    QTest::newRow("another device opened") << false;
}

// A run that ends while the line is down owes the pump one stop: held without a box, said in
// the status area and the log, and sent first when the same adapter is back, never to another.
void TestTimedRunWiring::stopOwedWhileLineIsDown()
{
    QFETCH(bool, sameAdapterBack);
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("pump"));
    const QString logPath = folder.filePath(QStringLiteral("readings.log"));
    QVERIFY(m_pty.makeSymlink(link));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QString error;
    QVERIFY2(form.readingLog()->openFile(logPath, &error), qPrintable(error));
    form.runJournal().setPath(folder.filePath(QStringLiteral("run.json")));
    form.programStarted();
    form.setPollInterval(std::chrono::milliseconds(30));
    form.setClockInterval(std::chrono::milliseconds(10));
    form.serialControl()->setPortMap({{1, link}});
    boxes.answers << QStringLiteral("1") << QStringLiteral("0.1"); // 6 ticks
    choose(form, "Communication");
    choose(form, "stset");
    choose(form, "ststart");
    // Polls may follow it in the same read on a busy machine.
    QCOMPARE(lineAfter(m_pty, 9).left(9), kRun);
    // Opened while the first line still holds its number: Linux hands a freed pseudo-terminal
    // number out again, and a line without an identity is known by its path alone.
    PseudoTerminal another;
    QVERIFY(another.open());
    m_pty.hangUp();

    QTRY_VERIFY(form.session()->pendingStop().isPending());
    QTRY_COMPARE(form.timedRun().tset(), 0);
    const QLabel *stopState = form.findChild<QLabel *>(QStringLiteral("stopState"));
    QVERIFY2(stopState->text().contains(QStringLiteral("停止命令待发送")),
             qPrintable(stopState->text()));
    QVERIFY(label(form, "lsed")->toolTip().contains(QStringLiteral("待发送")));
    QCOMPARE(clockOf(form), (QStringList{"0", "0", "6"}));
    QTest::qWait(100);

    QVERIFY(m_pty.open());
    if (sameAdapterBack) {
        QVERIFY(m_pty.makeSymlink(link));
        QTRY_VERIFY_WITH_TIMEOUT(form.serialControl()->portOpen(), 3000);
    } else {
        form.serialControl()->setPortMap({{2, another.slavePath()}});
        boxes.answers << QStringLiteral("2");
        choose(form, "Communication");
        QVERIFY(form.serialControl()->portOpen());
        // The old adapter's return no longer matters.
        QVERIFY(m_pty.makeSymlink(link));
    }
    QVERIFY(!form.session()->pendingStop().isPending());
    // The polls go on; the stop, once, before any of them, and only to the adapter it is owed.
    PseudoTerminal &line = sameAdapterBack ? m_pty : another;
    const QByteArray sent = lineAfter(line, 45);
    QCOMPARE(sent.left(9), sameAdapterBack ? kStop : QByteArray("Q00F0000Y"));
    QCOMPARE(sent.count(kStop), sameAdapterBack ? 1 : 0);
    if (!sameAdapterBack)
        QCOMPARE(m_pty.readAvailable(), QByteArray());
    QVERIFY(stopState->isHidden());
    QCOMPARE(boxes.messages.size(), 0);

    // The log tells the story in event lines between the readings.
    form.readingLog()->close(); // what is queued is written out
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QStringList keys;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.first() == "#" && fields.size() == 4)
            keys << QString::fromLatin1(fields[2]);
    }
    QStringList expected{
        "program-start", "link-open",        "run-set",
        "run-start",     "frame-sent",       "link-lost",
        "run-end",       "frame-refused",    "run-pending-stop",
        sameAdapterBack ? "link-back" : "link-open"};
    if (sameAdapterBack)
        expected << "frame-sent";
    expected << "run-pending-stop";
    QCOMPARE(keys, expected);
}

// A program started from its window: its frames reach the pump in the order of its plan, the
// status area says where it is, and the operator's own stop pauses it.
void TestTimedRunWiring::programFromItsWindow()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(std::chrono::hours(1));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    choose(form, "program");
    ProgramWindow *window = form.programs()->window();
    QVERIFY(window && window->isVisible());
    const ProgramFile::Loaded loaded = ProgramFile::read(R"({"format": 1, "name": "柱", "pump": 0,
        "onLinkLost": "pause", "steps": [{"set": {"flow": 100, "limit": 1.5}}, {"run": true},
        {"hold": {"seconds": 600}}], "end": [{"stop": true}]})");
    QVERIFY2(loaded.program && window->setProgram(*loaded.program), qPrintable(loaded.problem));
    window->findChild<QPushButton *>(QStringLiteral("programStart"))->click();
    QCOMPARE(lineAfter(m_pty, 27), QByteArray("Q00P01.5YQ00L0100Y") + kRun);
    const QLabel *state = label(form, "programState");
    QVERIFY2(state->text().contains(QStringLiteral("运行中")), qPrintable(state->text()));

    choose(form, "stop");
    QCOMPARE(lineAfter(m_pty, 9), kStop);
    QVERIFY2(state->text().contains(QStringLiteral("已暂停")), qPrintable(state->text()));
    window->findChild<QPushButton *>(QStringLiteral("programEnd"))->click();
    QCOMPARE(lineAfter(m_pty, 9), kStop); // its end block
    QTRY_VERIFY(state->isHidden());
    QVERIFY(boxes.messages.isEmpty());
}

// A FIFO where the run journal, the program of the command line (or the one remembered) and a
// program chosen with 打开… should be: each is refused with its reason, and a timed run
// counting meanwhile stops the pump when it is due.
void TestTimedRunWiring::noFileHoldsTheRun()
{
    QTemporaryDir dir;
    const auto fifo = [&dir](const char *name) {
        const QString path = dir.filePath(QLatin1String(name));
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
    };
    const QString journal = fifo("journal.run.json");
    const QString given = fifo("given.json");
    const QString opened = fifo("opened.json");
    QVERIFY(!journal.isEmpty() && !given.isEmpty() && !opened.isEmpty());

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(std::chrono::hours(1));
    form.runJournal().setPath(journal);
    form.programStarted(given);
    const QLabel *runState = label(form, "runState");
    QVERIFY2(runState->text().contains(QStringLiteral("它不是普通文件")),
             qPrintable(runState->text()));
    form.runJournal().setPath(dir.filePath(QStringLiteral("run.json")));
    QVERIFY(openPanelPort(form, boxes, m_pty));

    boxes.answers << QStringLiteral("0.05") << opened;
    choose(form, "stset");
    choose(form, "ststart");
    QCOMPARE(lineAfter(m_pty, 9), kRun);
    choose(form, "program");
    ProgramWindow *window = form.programs()->window();
    QVERIFY(window && window->isVisible());
    QVERIFY(window->program().steps.empty());
    window->findChild<QPushButton *>(QStringLiteral("programOpen"))->click();
    QTRY_COMPARE(boxes.messages.size(), 1);
    QVERIFY2(boxes.messages[0].prompt.contains(QStringLiteral("它不是普通文件")),
             qPrintable(boxes.messages[0].prompt));
    // Three seconds from its start, with room for a busy machine; a read waiting on the FIFO
    // would hold it for ever.
    QCOMPARE(lineAfter(m_pty, 9, 20'000), kStop);
}

QTEST_MAIN(TestTimedRunWiring)
#include "tst_timedrunwiring.moc"
