#include "alarms/alarmmonitor.h"
#include "program/programcontrol.h"
#include "program/programfile.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"
#include "tests/support/fakeline.h"
#include "timedrun/runjournal.h"

#include <QTemporaryDir>
#include <QTest>

// A program through the pump session on a line of the test's own, on a clock the test moves:
// what goes out and under which name, what the operator, an alarm or the line do to it, and
// what the journal offers after the panel's end.
class TestProgramControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runs_data();
    void runs();
    void journalHoldsTheLastSetpointSent();
};

namespace {

// Flow 100 and limit 1.5, run, hold 2 s, flow 200, hold 2 s; the end block stops.
constexpr char kProgram[] = R"({"format": 1, "name": "p", "pump": 3, "onLinkLost": "%1",
 "steps": [{"set": {"flow": 100, "limit": 1.5}}, {"run": true}, {"hold": {"seconds": 2}},
           {"set": {"flow": 200}}, {"hold": {"seconds": 2}}],
 "end": [{"stop": true}]})";

} // namespace

void TestProgramControl::runs_data()
{
    // Steps: start, +S (S seconds pass, then a tick), key (the operator's own frame), continue,
    // end, alarm (a stopping alarm acts), fail (the line is lost), back (the same adapter is
    // back), stop (the operator's STOP), alarmdown (a stopping alarm while the line is down),
    // other (通信 opens another device), timed (a timed run counts), crash (the panel ends
    // without a word, and starts again), edit (the program's file changes), resume, winddown.
    // Frames: the letters sent, K for the operator's.
    QTest::addColumn<QString>("policy");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("refused");

    QTest::newRow("completes and runs its end block") << "pause"
                                                      << "start +1 +2 +2"
                                                      << "P L R L S"
                                                      << "ended" << 0;
    QTest::newRow("the operator's frame pauses it; continue resends and goes on")
        << "pause"
        << "start +1 key +5 continue +2 +2"
        << "P L R K P L R L S"
        << "ended" << 0;
    QTest::newRow("an alarm's stop ends it through its end block") << "pause"
                                                                   << "start +1 alarm"
                                                                   << "P L R S S"
                                                                   << "ended" << 0;
    QTest::newRow("a lost line pauses it; back, its setpoints go again, not run")
        << "pause"
        << "start +1 fail +5 back +2 +2"
        << "P L R P L L S"
        << "ended" << 0;
    // The stop held through an outage goes first; nothing starts the pump again after it.
    QTest::newRow("the operator's STOP in an outage: sent first on return, the program waits")
        << "pause"
        << "start +1 fail stop +5 back +2 +2"
        << "P L R S"
        << "paused" << 1;
    QTest::newRow("the operator's STOP in an outage, then 继续: setpoints and run again")
        << "pause"
        << "start +1 fail stop +5 back +2 continue +2 +2"
        << "P L R S P L R L S"
        << "ended" << 1;
    QTest::newRow("an alarm's stop owed in an outage: sent first, then the end block")
        << "pause"
        << "start +1 fail alarmdown +5 back +2"
        << "P L R S P L S"
        << "ended" << 0;
    QTest::newRow("the program's 结束 in an outage: only the held stop, no end block")
        << "pause"
        << "start +1 fail end +5 back +2"
        << "P L R S"
        << "ended" << 0;
    QTest::newRow("a lost line ends it where it says so, and owes the one stop")
        << "end"
        << "start +1 fail +5 back"
        << "P L R S"
        << "ended" << 0;
    QTest::newRow("another device opened ends it without its end block") << "pause"
                                                                         << "start +1 other +2"
                                                                         << "P L R"
                                                                         << "ended" << 0;
    QTest::newRow("no start while a timed run counts") << "pause"
                                                       << "timed start"
                                                       << ""
                                                       << "idle" << 1;
    QTest::newRow("interrupted: taken up again from its step after a start")
        << "pause"
        << "start +1 +2 crash resume +2"
        << "P L R L P L R S"
        << "ended" << 0;
    QTest::newRow("interrupted with its file changed: only the end block")
        << "pause"
        << "start +1 crash edit resume winddown"
        << "P L R S"
        << "ended" << 1;
    QTest::newRow("interrupted, its end block unable to run: a plain stop settles the notice")
        << "pause"
        << "start +1 crash fail winddown stoppump +2 back"
        << "P L R S"
        << "idle" << 1;
}

void TestProgramControl::runs()
{
    QFETCH(QString, policy);
    QFETCH(QString, script);
    QFETCH(QString, frames);
    QFETCH(QString, state);
    QFETCH(int, refused);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("p.json"));
    const auto writeProgram = [&path](const QByteArray &text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    QVERIFY(writeProgram(QString::fromLatin1(kProgram).arg(policy).toUtf8()));
    const ProgramFile::Loaded loaded = ProgramFile::readFile(path);
    QVERIFY2(loaded.program, qPrintable(loaded.problem));
    RunJournal journal(folder.filePath(QStringLiteral("run.json")));

    FakeLine line;
    FakeReconnector reconnector;
    RunRecord record;
    AlarmMonitor alarms{{[] { return qint64(0); }, [] { return QDateTime(); }}};
    PumpSession session(&line, &reconnector, &record, &alarms);
    bool timedRun = false;
    qint64 nowMs = 0;
    auto control = std::make_unique<ProgramControl>(&session, &alarms, &journal,
                                                    [&timedRun] { return timedRun; });
    control->setClock([&nowMs] { return nowMs; });
    QVERIFY(session.open(QStringLiteral("1")).isEmpty());

    int unsent = 0;
    const auto tell = [&unsent](const QString &failure) { unsent += failure.isEmpty() ? 0 : 1; };
    for (const QString &step : script.split(u' ', Qt::SkipEmptyParts)) {
        if (step == u"start") {
            tell(control->start(*loaded.program, path));
        } else if (step.startsWith(u'+')) {
            nowMs += step.mid(1).toLongLong() * 1000;
            control->tick();
        } else if (step == u"key") {
            QVERIFY(session.send(QStringLiteral("Q03L0050Y"), QStringLiteral("键盘")).isEmpty());
        } else if (step == u"end") {
            control->end();
        } else if (step == u"continue") {
            tell(control->continueProgram());
        } else if (step == u"alarm") {
            QVERIFY(
                session.send(QStringLiteral("Q00S0000Y"), PumpSession::alarmSource()).isEmpty());
            Q_EMIT session.alarmActed(AlarmMonitor::Kind::High, true);
        } else if (step == u"stop") {
            tell(session.send(QStringLiteral("Q00S0000Y"), QStringLiteral("STOP")));
        } else if (step == u"alarmdown") {
            Q_EMIT alarms.stopWanted({AlarmMonitor::Kind::High, {}, QStringLiteral("02.1"), true});
        } else if (step == u"fail") {
            line.close();
            session.lineFailed(QStringLiteral("线路已断开"));
        } else if (step == u"back") {
            line.named = reconnector.remembered;
            session.lineBack(line.named);
        } else if (step == u"other") {
            QVERIFY(session.open(QStringLiteral("2")).isEmpty());
        } else if (step == u"timed") {
            timedRun = true;
        } else if (step == u"crash") {
            control.reset();
            control = std::make_unique<ProgramControl>(&session, &alarms, &journal,
                                                       [&timedRun] { return timedRun; });
            control->setClock([&nowMs] { return nowMs; });
            QVERIFY(control->lookForInterrupted());
            QVERIFY(!control->stateText().isEmpty());
        } else if (step == u"edit") {
            QVERIFY(writeProgram(QString::fromLatin1(kProgram).arg(policy).toUtf8() + ' '));
            QVERIFY(control->lookForInterrupted());
        } else if (step == u"resume") {
            tell(control->resumeInterrupted());
        } else if (step == u"stoppump") {
            QVERIFY(control->stateText().contains(QStringLiteral("停止泵")));
            control->stopInterrupted();
            QVERIFY(control->stateText().isEmpty());
        } else if (step == u"winddown") {
            tell(control->runInterruptedEnd());
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }

    QStringList sent;
    for (const QString &frame : std::as_const(line.written)) {
        if (frame == u"Q00F0000Y")
            continue;
        // The program's setpoints go to its own pump; the operator's frame is told apart.
        QVERIFY2(frame.at(3) == u'R' || frame.at(3) == u'S' || frame.mid(1, 2) == u"03",
                 qPrintable(frame));
        sent << (frame == u"Q03L0050Y" ? QStringLiteral("K") : frame.mid(3, 1));
    }
    QCOMPARE(sent.join(u' '), frames);
    QCOMPARE(control->stateWord(), state);
    QCOMPARE(unsent, refused);
    // A program that ended leaves nothing in the journal to offer.
    if (state == u"ended" || script.contains(QLatin1String("stoppump")))
        QVERIFY(journal.section(ProgramControl::kJournalKey).isEmpty());
}

// A ramp's value that went out is in the journal at once, not up to a second later: a resume
// after the panel's end then never steps the pump back to an older value.
void TestProgramControl::journalHoldsTheLastSetpointSent()
{
    QTemporaryDir folder;
    RunJournal journal(folder.filePath(QStringLiteral("run.json")));
    FakeLine line;
    FakeReconnector reconnector;
    RunRecord record;
    AlarmMonitor alarms{{[] { return qint64(0); }, [] { return QDateTime(); }}};
    PumpSession session(&line, &reconnector, &record, &alarms);
    qint64 nowMs = 0;
    ProgramControl control(&session, &alarms, &journal, {});
    control.setClock([&nowMs] { return nowMs; });
    QVERIFY(session.open(QStringLiteral("1")).isEmpty());
    const ProgramFile::Loaded loaded = ProgramFile::read(R"({"format": 1, "name": "r", "pump": 0,
        "onLinkLost": "pause", "steps": [{"set": {"flow": 0}}, {"ramp": {"flow": 100,
        "seconds": 10}}]})");
    QVERIFY2(loaded.program, qPrintable(loaded.problem));
    QCOMPARE(control.start(*loaded.program, QString()), QString());
    // The second value goes out 0.6 s after the first was journalled.
    for (const qint64 at : {500, 1500, 2100}) {
        nowMs = at;
        control.tick();
    }
    QCOMPARE(line.written.last(), QStringLiteral("Q00L0020Y"));
    ProgramControl after(&session, &alarms, &journal, {});
    QVERIFY(after.lookForInterrupted());
    QCOMPARE(after.interrupted()->position.flow, std::optional<int>(20));
}

QTEST_GUILESS_MAIN(TestProgramControl)
#include "tst_programcontrol.moc"
