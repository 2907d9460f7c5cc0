#include "platform/publisher.h"
#include "tests/support/mosquittobroker.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

// The publishing front: what was handed to it goes out before "offline", and a publishing
// thread that never answers holds up the end by its deadline and no more.
class TestMqttPublisher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void finishPublishesWhatWasHandedThenOffline();
    void stuckThreadIsLeftAtTheDeadline_data();
    void stuckThreadIsLeftAtTheDeadline();
};

void TestMqttPublisher::finishPublishesWhatWasHandedThenOffline()
{
    MosquittoBroker broker;
    QString why;
    if (!broker.start(&why))
        QSKIP(qPrintable(why));

    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.plainPort();
    settings.id = QStringLiteral("front");
    settings.user = QString::fromLatin1(MosquittoBroker::kUser);
    settings.password = QString::fromLatin1(MosquittoBroker::kPassword);
    settings.session = QStringLiteral("s-1");
    const QStringList login{"-h", "127.0.0.1", "-p", QString::number(broker.plainPort()), "-u",
                            MosquittoBroker::kUser, "-P", MosquittoBroker::kPassword};
    // What a killed panel of the same id left retained: not latched now, so emptied.
    QCOMPARE(QProcess::execute(QStringLiteral("mosquitto_pub"),
                               login + QStringList{"-r", "-t", "corvane/front/alarm/link", "-m",
                                                   "{\"kind\":\"link\"}"}),
             0);
    Publisher publisher(settings);
    QSignalSpy status(&publisher, &Publisher::statusChanged);
    PanelState state;
    state.pumpNumber = 7;
    publisher.state(state); // waits for the connection
    publisher.start();
    QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty() &&
                                 status.last().at(0).value<MqttPublisher::Status>() ==
                                     MqttPublisher::Status::Connected,
                             10000);
    state.pumpNumber = 8;
    publisher.state(state);
    // Cleared but not acknowledged: it stays retained, and says it has cleared.
    TelemetryMessages::Alarm alarm{QDateTime::currentDateTime(), QStringLiteral("high"),
                                   QStringLiteral("raised")};
    alarm.value = 1.6;
    publisher.alarm(alarm);
    alarm.action = QStringLiteral("cleared");
    alarm.cleared = true;
    publisher.alarm(alarm);
    publisher.beginFinish();
    QVERIFY(publisher.waitFinished());

    // All retained: a subscriber that comes now is given the last state, "offline" and the
    // latched alarm, and nothing more (a fourth message is waited for a few seconds).
    QProcess watcher;
    watcher.start(QStringLiteral("mosquitto_sub"),
                  login + QStringList{"-v", "-C", "4", "-W", "5", "-t", "corvane/front/status",
                                      "-t", "corvane/front/state", "-t", "corvane/front/alarm/#"});
    QVERIFY(watcher.waitForFinished(30000));
    const QByteArray retained = watcher.readAllStandardOutput();
    QCOMPARE(retained.count('\n'), 3);
    QVERIFY2(retained.contains("corvane/front/status offline\n"), retained.constData());
    QVERIFY2(retained.contains("\"pump\":8"), retained.constData());
    QVERIFY2(retained.contains("\"session\":\"s-1\""), retained.constData());
    QVERIFY2(retained.contains("corvane/front/alarm/high {"), retained.constData());
    QVERIFY2(retained.contains("\"cleared\":true"), retained.constData());
}

void TestMqttPublisher::stuckThreadIsLeftAtTheDeadline_data()
{
    QTest::addColumn<bool>("destroyed");
    QTest::newRow("finished") << false;
    QTest::newRow("destroyed") << true;
}

void TestMqttPublisher::stuckThreadIsLeftAtTheDeadline()
{
    QFETCH(bool, destroyed);
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("ca.crt"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    // The thread opens the certificate file first, and a FIFO nobody writes never opens.
    MqttSettings settings;
    settings.tls = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.caFile = fifo;
    auto publisher = std::make_unique<Publisher>(settings);
    publisher->start();
    QElapsedTimer clock;
    clock.start();
    if (destroyed) {
        publisher.reset();
    } else {
        publisher->beginFinish();
        QVERIFY(!publisher->waitFinished());
        publisher->reading(QDateTime::currentDateTime(), QStringLiteral("01.5"), 1.5);
        publisher->finish();
    }
    // Room for a busy machine, but not for a second deadline or a wait without one.
    QVERIFY2(clock.elapsed() < 2 * Publisher::kFinishWaitMs,
             qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(TestMqttPublisher)
#include "tst_mqttpublisher.moc"
