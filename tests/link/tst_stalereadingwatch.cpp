#include "link/stalereadingwatch.h"

#include <QTest>

// When the current-pressure reading counts as old.
class TestStaleReadingWatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void staleAfterThirdPollWithoutReading()
    {
        StaleReadingWatch watch(3);
        QVERIFY(!watch.pollSent());
        QVERIFY(!watch.pollSent());
        QVERIFY(watch.pollSent());
        QVERIFY(watch.isStale());
        // Further polls keep it stale (and the count cannot run away on a long silence).
        for (int i = 0; i < 100000; ++i)
            watch.pollSent();
        QVERIFY(watch.isStale());

        watch.readingArrived();
        QVERIFY(!watch.isStale());
        QVERIFY(!watch.pollSent());
        QVERIFY(!watch.pollSent());
        QVERIFY(watch.pollSent());
    }

    void readingBetweenPollsStartsTheCountAgain()
    {
        StaleReadingWatch watch(3);
        watch.pollSent();
        watch.pollSent();
        watch.readingArrived();
        QVERIFY(!watch.pollSent());
        QVERIFY(!watch.pollSent());
        QVERIFY(watch.pollSent());
    }

    void restartForgetsOldPolls()
    {
        StaleReadingWatch watch(3);
        watch.pollSent();
        watch.pollSent();
        watch.restart();
        QVERIFY(!watch.pollSent());
        QVERIFY(!watch.isStale());
    }
};

QTEST_GUILESS_MAIN(TestStaleReadingWatch)
#include "tst_stalereadingwatch.moc"
