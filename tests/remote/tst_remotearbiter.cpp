#include "remote/remotearbiter.h"

#include <QTest>

using Verdict = RemoteArbiter::Verdict;
using Kind = RemoteArbiter::Kind;

// One step of a client or of the operator, at a time on the arbiter's clock.
struct Step
{
    qint64 atMs;
    QString what; // lock, unlock, change, start, watch, stop, allow, takeback
    QString client;
    QString identifier;
    int timeoutSeconds = 0;
    Verdict expected = Verdict::Allowed;
};

Q_DECLARE_METATYPE(QList<Step>)

class TestRemoteArbiter : public QObject
{
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void rate_data();
    void rate();
    void leaseEndsOnce();
};

void TestRemoteArbiter::steps_data()
{
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<bool>("heldAtEnd");

    QTest::newRow("a command needs the lease")
        << QList<Step>{{0, "change", "a", "", 0, Verdict::NotLocked},
                       {10, "watch", "a", "", 0, Verdict::Allowed}}
        << false;
    QTest::newRow("timeout bounds")
        << QList<Step>{{0, "lock", "a", "x", 0, Verdict::BadTimeout},
                       {0, "lock", "a", "x", 601, Verdict::BadTimeout},
                       {0, "lock", "a", "", 10, Verdict::BadIdentifier},
                       {0, "lock", "a", QString(257, u'x'), 10, Verdict::BadIdentifier},
                       {0, "lock", "a", "x", 600, Verdict::Allowed}}
        << true;
    QTest::newRow("one lease at a time")
        << QList<Step>{{0, "lock", "a", "x", 1, Verdict::Allowed},
                       {10, "lock", "b", "y", 5, Verdict::AlreadyLocked},
                       {20, "change", "b", "y", 0, Verdict::WrongIdentifier},
                       {30, "change", "b", "", 0, Verdict::WrongIdentifier},
                       {40, "unlock", "b", "y", 0, Verdict::WrongIdentifier}}
        << true;
    QTest::newRow("another client may take a lease that ran out")
        << QList<Step>{{0, "lock", "a", "x", 1, Verdict::Allowed},
                       {1000, "lock", "b", "y", 5, Verdict::Allowed},
                       {1001, "change", "a", "x", 0, Verdict::WrongIdentifier}}
        << true;
    QTest::newRow("calls with the identifier renew the lease")
        << QList<Step>{{0, "lock", "a", "x", 2, Verdict::Allowed},
                       {1900, "change", "a", "x", 0, Verdict::Allowed},
                       {3800, "change", "a", "x", 0, Verdict::Allowed},
                       {5700, "start", "a", "x", 0, Verdict::Allowed}}
        << true;
    QTest::newRow("watching does not renew it")
        << QList<Step>{{0, "lock", "a", "x", 2, Verdict::Allowed},
                       {1900, "watch", "a", "x", 0, Verdict::Allowed},
                       {2000, "change", "a", "x", 0, Verdict::NotLocked}}
        << false;
    QTest::newRow("a refused call by another client does not renew it")
        << QList<Step>{{0, "lock", "a", "x", 2, Verdict::Allowed},
                       {1900, "change", "b", "y", 0, Verdict::WrongIdentifier},
                       {2000, "change", "a", "x", 0, Verdict::NotLocked}}
        << false;
    QTest::newRow("the operator's stop blocks starts, not stops or settings")
        << QList<Step>{{0, "lock", "a", "x", 60, Verdict::Allowed},
                       {10, "stop", "", "", 0, Verdict::Allowed},
                       {20, "start", "a", "x", 0, Verdict::OperatorStopped},
                       {30, "change", "a", "x", 0, Verdict::Allowed},
                       {40, "allow", "", "", 0, Verdict::Allowed},
                       {50, "start", "a", "x", 0, Verdict::Allowed}}
        << true;
    QTest::newRow("the block outlives the lease and a new client")
        << QList<Step>{{0, "lock", "a", "x", 1, Verdict::Allowed},
                       {10, "stop", "", "", 0, Verdict::Allowed},
                       {20, "unlock", "a", "x", 0, Verdict::Allowed},
                       {30, "lock", "b", "y", 10, Verdict::Allowed},
                       {40, "start", "b", "y", 0, Verdict::OperatorStopped}}
        << true;
    QTest::newRow("taken back at the panel")
        << QList<Step>{{0, "lock", "a", "x", 60, Verdict::Allowed},
                       {10, "takeback", "", "", 0, Verdict::Allowed},
                       {20, "change", "a", "x", 0, Verdict::NotLocked},
                       {30, "unlock", "a", "x", 0, Verdict::NotLocked}}
        << false;
}

void TestRemoteArbiter::steps()
{
    QFETCH(QList<Step>, steps);
    QFETCH(bool, heldAtEnd);

    qint64 now = 0;
    RemoteArbiter arbiter([&now] { return now; });
    for (const Step &step : steps) {
        now = step.atMs;
        Verdict verdict = Verdict::Allowed;
        if (step.what == "lock")
            verdict = arbiter.lock(step.client, step.identifier, step.timeoutSeconds);
        else if (step.what == "unlock")
            verdict = arbiter.unlock(step.client, step.identifier);
        else if (step.what == "change")
            verdict = arbiter.admit(step.client, step.identifier, Kind::Change);
        else if (step.what == "start")
            verdict = arbiter.admit(step.client, step.identifier, Kind::Start);
        else if (step.what == "watch")
            verdict = arbiter.admit(step.client, step.identifier, Kind::Watch);
        else if (step.what == "stop")
            arbiter.operatorStopped();
        else if (step.what == "allow")
            arbiter.allowRemote();
        else if (step.what == "takeback")
            QVERIFY(arbiter.endLease());
        QVERIFY2(verdict == step.expected,
                 qPrintable(QStringLiteral("%1 at %2 ms: %3")
                                .arg(step.what)
                                .arg(step.atMs)
                                .arg(RemoteArbiter::refusalText(verdict))));
    }
    QCOMPARE(arbiter.lease().has_value(), heldAtEnd);
}

void TestRemoteArbiter::rate_data()
{
    QTest::addColumn<qint64>("spacingMs");
    QTest::addColumn<int>("calls");
    QTest::addColumn<int>("refused");

    QTest::newRow("20 at once") << qint64(0) << 20 << 0;
    QTest::newRow("21 at once") << qint64(0) << 21 << 1;
    QTest::newRow("30 within a second") << qint64(30) << 30 << 10;
    QTest::newRow("20 a second for 3 s") << qint64(50) << 60 << 0;
    QTest::newRow("25 a second for 2 s") << qint64(40) << 50 << 10;
}

void TestRemoteArbiter::rate()
{
    QFETCH(qint64, spacingMs);
    QFETCH(int, calls);
    QFETCH(int, refused);

    qint64 now = 0;
    RemoteArbiter arbiter([&now] { return now; });
    QVERIFY(arbiter.lock(QStringLiteral("a"), QStringLiteral("x"), 600) == Verdict::Allowed);
    now = 1000; // the lock's own call has left the window
    int refusedSeen = 0;
    for (int i = 0; i < calls; ++i, now += spacingMs) {
        if (arbiter.admit(QStringLiteral("a"), QStringLiteral("x"), Kind::Change) ==
            Verdict::TooManyCalls)
            ++refusedSeen;
        // Another client is counted on its own.
        QVERIFY(arbiter.admit(QStringLiteral("b"), QString(), Kind::Watch) !=
                    Verdict::TooManyCalls ||
                i >= RemoteArbiter::kMaxCallsPerSecond);
    }
    QCOMPARE(refusedSeen, refused);
}

void TestRemoteArbiter::leaseEndsOnce()
{
    qint64 now = 0;
    RemoteArbiter arbiter([&now] { return now; });
    QVERIFY(arbiter.lock(QStringLiteral("a"), QStringLiteral("x"), 3) == Verdict::Allowed);
    now = 1;
    QCOMPARE(arbiter.secondsLeft(), 3);
    now = 2001;
    QCOMPARE(arbiter.secondsLeft(), 1);
    QVERIFY(!arbiter.takeEnded());
    now = 3000;
    QCOMPARE(arbiter.secondsLeft(), 0);
    const std::optional<RemoteArbiter::Lease> ended = arbiter.takeEnded();
    QVERIFY(ended);
    QCOMPARE(ended->identifier, QStringLiteral("x"));
    QVERIFY(!arbiter.takeEnded());
    // Taken back or ended by the panel: not a lease that ran out.
    QVERIFY(arbiter.lock(QStringLiteral("a"), QStringLiteral("y"), 3) == Verdict::Allowed);
    QVERIFY(arbiter.endLease());
    now = 9000;
    QVERIFY(!arbiter.takeEnded());
}

QTEST_APPLESS_MAIN(TestRemoteArbiter)
#include "tst_remotearbiter.moc"
