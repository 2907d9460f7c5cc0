#include "timedrun/runclock.h"
#include "timedrun/timedrun.h"

#include <QTest>

namespace {

// Longer than any run in these tables, so a run that never ends fails instead of hanging.
constexpr int kTickLimit = 100000;

QStringList reading(const TimedRun::Clock &clock)
{
    return {clock.hours, clock.minutes, clock.seconds};
}

struct Outcome
{
    int ticks = 0; // ticks up to and including the one that ended the run
    QStringList first;
    QStringList last;
};

Outcome tickUntilEnded(TimedRun &run)
{
    Outcome outcome;
    while (outcome.ticks < kTickLimit) {
        const TimedRun::Tick tick = run.tick();
        ++outcome.ticks;
        if (outcome.ticks == 1)
            outcome.first = reading(tick.clock);
        outcome.last = reading(tick.clock);
        if (tick.ended)
            break;
    }
    return outcome;
}

} // namespace

class TestTimedRun : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
    void interruptedRun_data();
    void interruptedRun();
    void setTime_data();
    void setTime();
    void runClock_data();
    void runClock();
};

void TestTimedRun::run_data()
{
    QTest::addColumn<QString>("setTime");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QStringList>("clock");

    QTest::newRow("no set time") << QString() << 1 << QStringList{"0", "0", "1"};
    QTest::newRow("half a minute") << "0.5" << 30 << QStringList{"0", "0", "30"};
    QTest::newRow("minute and a half") << "1.5" << 90 << QStringList{"0", "1", "30"};
    QTest::newRow("under one second") << "0.01" << 1 << QStringList{"0", "0", "1"};
    QTest::newRow("negative") << "-1" << 1 << QStringList{"0", "0", "1"};
    QTest::newRow("last run a 16-bit count holds") << "546" << 32760 << QStringList{"9", "6", "0"};
    QTest::newRow("past 32767 s, hours past 9") << "600" << 36000 << QStringList{"10", "0", "0"};
    QTest::newRow("past 24 hours, no day rolls over") << "1501" << 90060
                                                      << QStringList{"25", "1", "0"};
}

void TestTimedRun::run()
{
    QFETCH(QString, setTime);
    QFETCH(int, ticks);
    QFETCH(QStringList, clock);

    TimedRun run;
    if (!setTime.isNull())
        QVERIFY(run.setTime(setTime, QLocale::c()));
    const double timeset = run.timeset();
    run.start();
    const Outcome outcome = tickUntilEnded(run);
    QCOMPARE(outcome.ticks, ticks);
    QCOMPARE(outcome.last, clock);
    QCOMPARE(run.tset(), qint64(0));
    QCOMPARE(run.timeset(), timeset);
}

void TestTimedRun::interruptedRun_data()
{
    // A one-minute run, ticked `before` times, then `action`; then ticked until it ends.
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("nextClock");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QStringList>("clock");

    // Pause and continue only stop and restart the tick; the count is untouched.
    QTest::newRow("pause and continue")
        << 20 << QString() << QStringList{"0", "0", "21"} << 40 << QStringList{"0", "1", "0"};
    QTest::newRow("start again") << 20 << "start" << QStringList{"0", "0", "1"} << 60
                                 << QStringList{"0", "1", "0"};
    QTest::newRow("continue after the run ended")
        << 60 << QString() << QStringList{"0", "0", "1"} << 60 << QStringList{"0", "1", "0"};
    QTest::newRow("continue after end")
        << 10 << "end" << QStringList{"0", "0", "11"} << 1 << QStringList{"0", "0", "11"};
    QTest::newRow("set time below elapsed")
        << 40 << "set 0.5" << QStringList{"0", "0", "41"} << 1 << QStringList{"0", "0", "41"};
}

void TestTimedRun::interruptedRun()
{
    QFETCH(int, before);
    QFETCH(QString, action);
    QFETCH(QStringList, nextClock);
    QFETCH(int, ticks);
    QFETCH(QStringList, clock);

    TimedRun run;
    QVERIFY(run.setTime("1", QLocale::c()));
    run.start();
    for (int i = 0; i < before; ++i)
        run.tick();

    if (action == u"start")
        run.start();
    else if (action == u"end")
        run.end();
    else if (action.startsWith(u"set "))
        QVERIFY(run.setTime(action.mid(4), QLocale::c()));

    const Outcome outcome = tickUntilEnded(run);
    QCOMPARE(outcome.first, nextClock);
    QCOMPARE(outcome.ticks, ticks);
    QCOMPARE(outcome.last, clock);
}

void TestTimedRun::setTime_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<double>("timeset");

    constexpr double kPrevious = 7;
    const QLocale c = QLocale::c();
    const QLocale german(QLocale::German);

    QTest::newRow("C decimal point") << c << "1.5" << true << 1.5;
    QTest::newRow("German decimal comma") << german << "1,5" << true << 1.5;
    QTest::newRow("German with blanks around") << german << " \t1,5 " << true << 1.5;
    // A group separator would make 1.5 minutes 1500.
    QTest::newRow("English group separator")
        << QLocale(QLocale::English) << "1,500" << false << kPrevious;
    QTest::newRow("German group separator") << german << "1.500" << false << kPrevious;
    QTest::newRow("letters") << c << "abc" << false << kPrevious;
    QTest::newRow("cancelled") << c << "" << false << kPrevious;
    QTest::newRow("inf") << c << "inf" << false << kPrevious;
    QTest::newRow("nan") << c << "nan" << false << kPrevious;
    QTest::newRow("beyond a double") << c << "1e400" << false << kPrevious;
    QTest::newRow("seconds overflow a double") << c << "-1e307" << false << kPrevious;
    QTest::newRow("seconds overflow the count") << c << "1e18" << false << kPrevious;
    QTest::newRow("seconds just under 2^63") << c << "1.5e17" << true << 1.5e17;
}

void TestTimedRun::setTime()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, answer);
    QFETCH(bool, accepted);
    QFETCH(double, timeset);

    TimedRun run;
    QVERIFY(run.setTime("7", QLocale::c()));
    QCOMPARE(run.setTime(answer, locale), accepted);
    QCOMPARE(run.timeset(), timeset);
}

void TestTimedRun::runClock_data()
{
    // Readings of the clock in ms: the first at the start, then one per tick; a negative one
    // is a continue at that time. The seconds each tick counts.
    QTest::addColumn<QList<qint64>>("readings");
    QTest::addColumn<QList<qint64>>("seconds");

    QTest::newRow("on time") << QList<qint64>{0, 1000, 2000, 3000} << QList<qint64>{1, 1, 1};
    QTest::newRow("ticks a little early or late")
        << QList<qint64>{0, 998, 2003, 2999, 4001} << QList<qint64>{1, 1, 1, 1};
    QTest::newRow("loop held up 10 s")
        << QList<qint64>{0, 1000, 11000, 12000} << QList<qint64>{1, 10, 1};
    QTest::newRow("part of a second carried over")
        << QList<qint64>{0, 1000, 2600, 3000, 4000} << QList<qint64>{1, 1, 1, 1};
    QTest::newRow("suspended an hour")
        << QList<qint64>{0, 1000, 3'601'500, 3'602'000} << QList<qint64>{1, 3600, 1};
    QTest::newRow("paused 10.5 s: continue counts from itself")
        << QList<qint64>{0, 1000, -11500, 12500, 13500} << QList<qint64>{1, 1, 1};
    QTest::newRow("ticks faster than seconds count one each")
        << QList<qint64>{0, 5, 10, 15} << QList<qint64>{1, 1, 1};
}

void TestTimedRun::runClock()
{
    QFETCH(QList<qint64>, readings);
    QFETCH(QList<qint64>, seconds);

    qint64 now = 0;
    RunClock clock([&] { return now; });
    QList<qint64> counted;
    for (qsizetype i = 0; i < readings.size(); ++i) {
        now = qAbs(readings[i]);
        if (i == 0 || readings[i] < 0)
            clock.restart();
        else
            counted << clock.takeSeconds();
    }
    QCOMPARE(counted, seconds);
}

QTEST_GUILESS_MAIN(TestTimedRun)
#include "tst_timedrun.moc"
