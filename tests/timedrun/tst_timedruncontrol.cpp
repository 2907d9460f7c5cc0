#include "tests/support/fakeline.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"
#include "timedrun/timedruncontrol.h"

#include <QTest>
#include <QTimer>

// The timed run's commands through a session on a line of the test's own, on a run clock the
// test moves: what goes out, which events are recorded, and how the clock and the count end.
class TestTimedRunControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commands_data();
    void commands();
};

void TestTimedRunControl::commands_data()
{
    // Steps: set:MINUTES, start, pause, resume, end, tick, +S (S seconds pass on the run
    // clock), fail (the line is lost), back (the same adapter is back), writefail.
    // Frames: R run, S stop. Told: the commands whose frame could not go out.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<bool>("counting");
    QTest::addColumn<int>("told");

    QTest::newRow("a run of 0.05 min ends on its third second with one stop")
        << "set:0.05 start +1 tick +1 tick +1 tick +1"
        << "R S"
        << "run-set run-start frame-sent run-end frame-sent"
        << "已运行 0:0:3" << false << 0;
    QTest::newRow("结束 after the set time was reached stops again, the run ends once")
        << "set:0.05 start +3 tick end"
        << "R S S"
        << "run-set run-start frame-sent run-end frame-sent frame-sent"
        << "已运行 0:0:3" << false << 0;
    QTest::newRow("a tick held up counts every second that passed")
        << "set:1 start +1 tick +59 tick"
        << "R S"
        << "run-set run-start frame-sent run-end frame-sent"
        << "已运行 0:1:0" << false << 0;
    QTest::newRow("pause holds the count, continue goes on from it")
        << "set:1 start +1 tick pause +30 resume +1 tick"
        << "R S R"
        << "run-set run-start frame-sent run-pause frame-sent run-continue frame-sent"
        << "已运行 0:0:2" << true << 0;
    QTest::newRow("a pause whose stop cannot go out has already stopped the count")
        << "set:1 start +1 tick writefail pause +5"
        << "R"
        << "run-set run-start frame-sent run-pause frame-refused"
        << "已运行 0:0:1" << false << 1;
    // 结束 keeps the count: the clock of that tick goes on from it.
    QTest::newRow("end clears the set time: a continue after it ends at the next tick")
        << "set:1 start +2 tick end resume +1 tick"
        << "R S R S"
        << "run-set run-start frame-sent run-end frame-sent run-continue frame-sent run-end "
           "frame-sent"
        << "已运行 0:0:3" << false << 0;
    QTest::newRow("the set time reached with the line down: the stop is owed, then sent first")
        << "set:0.05 start fail +3 tick back"
        << "R S"
        << "run-set run-start frame-sent link-lost run-end frame-refused run-pending-stop "
           "link-back "
           "frame-sent run-pending-stop"
        << "已运行 0:0:3" << false << 0;
}

void TestTimedRunControl::commands()
{
    QFETCH(QString, script);
    QFETCH(QString, frames);
    QFETCH(QString, events);
    QFETCH(QString, clock);
    QFETCH(bool, counting);
    QFETCH(int, told);

    FakeLine line;
    FakeReconnector reconnector;
    RunRecord record;
    AlarmMonitor alarms{{[] { return qint64(0); }, [] { return QDateTime(); }}};
    PumpSession session(&line, &reconnector, &record, &alarms);
    QTimer ticker; // never fires here: the script ticks
    ticker.setInterval(std::chrono::hours(1));
    TimedRunControl run(&ticker, &session);
    qint64 nowMs = 0;
    run.setClockSource([&nowMs] { return nowMs; });
    QVERIFY(session.open(QStringLiteral("1")).isEmpty());

    int unsent = 0;
    const auto tell = [&unsent](const QString &failure) { unsent += failure.isEmpty() ? 0 : 1; };
    const QString source = QStringLiteral("定时");
    for (const QString &step : script.split(u' ', Qt::SkipEmptyParts)) {
        if (step.startsWith(u"set:"))
            QVERIFY(run.setTime(step.mid(4)));
        else if (step.startsWith(u'+'))
            nowMs += step.mid(1).toLongLong() * 1000;
        else if (step == u"start")
            tell(run.start(source));
        else if (step == u"pause")
            tell(run.pause(source));
        else if (step == u"resume")
            tell(run.resume(source));
        else if (step == u"end")
            tell(run.end(source));
        else if (step == u"tick")
            run.tick();
        else if (step == u"writefail")
            line.failWrite = true;
        else if (step == u"fail") {
            line.close();
            session.lineFailed(QStringLiteral("线路已断开"));
        } else if (step == u"back") {
            line.named = reconnector.remembered;
            session.lineBack(line.named);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }

    QStringList sent;
    for (const QString &frame : std::as_const(line.written))
        sent << frame.mid(3, 1);
    QStringList keys;
    for (const RunRecord::Event &event : record.events()) {
        if (event.key != u"link-open")
            keys << event.key;
    }
    QCOMPARE(sent.join(u' '), frames);
    QCOMPARE(keys.join(u' '), events);
    QCOMPARE(run.clockText(), clock);
    QCOMPARE(run.counting(), counting);
    QCOMPARE(unsent, told);
}

QTEST_GUILESS_MAIN(TestTimedRunControl)
#include "tst_timedruncontrol.moc"
