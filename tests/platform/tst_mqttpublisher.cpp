#include "platform/publisher.h"
#include "tests/support/mosquittobroker.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

using Status = MqttPublisher::Status;

// The publishing front: what was handed to it goes out before "offline", an attempt that
// cannot connect says why and is made again, and a publishing thread that never answers holds
// up the end by its deadline and no more.
class TestMqttPublisher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void finishPublishesWhatWasHandedThenOffline();
    void attemptSaysWhyItFailed_data();
    void attemptSaysWhyItFailed();
    void stuckThreadIsLeftAtTheDeadline_data();
    void stuckThreadIsLeftAtTheDeadline();

private:
    MosquittoBroker m_broker;
    QString m_brokerMissing;
};

void TestMqttPublisher::initTestCase()
{
    if (!m_broker.start(&m_brokerMissing) && m_brokerMissing.isEmpty())
        m_brokerMissing = QStringLiteral("the broker did not start");
}

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

void TestMqttPublisher::attemptSaysWhyItFailed_data()
{
    QTest::addColumn<QString>("listener");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("told");
    // The authority that signs the broker's certificates, read into memory, in every row.
    QTest::newRow("trusted") << "tls" << Status::Connected << "已连接";
    QTest::newRow("certified for another host")
        << "elsewhere" << Status::Untrusted << "verify failed";
    QTest::newRow("TLS to the plain port") << "plain" << Status::NotTls << "未使用 TLS";
    QTest::newRow("a listener that never answers") << "silent" << Status::Away << "未应答";
}

void TestMqttPublisher::attemptSaysWhyItFailed()
{
    QFETCH(QString, listener);
    QFETCH(Status, status);
    QFETCH(QString, told);
    if (!m_brokerMissing.isEmpty())
        QSKIP(qPrintable(m_brokerMissing));
    QTcpServer silent; // takes the connection and the CONNECT, and answers nothing
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QHash<QString, quint16> ports{{"tls", m_broker.tlsPort()},
                                        {"elsewhere", m_broker.elsewherePort()},
                                        {"plain", m_broker.plainPort()}};
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = ports.value(listener, silent.serverPort());
    settings.id = QStringLiteral("why-") + listener;
    settings.user = QString::fromLatin1(MosquittoBroker::kUser);
    settings.password = QString::fromLatin1(MosquittoBroker::kPassword);
    settings.tls = listener != u"silent";
    settings.caCertificates = m_broker.ca();
    // Given up soon where nothing will come; a handshake on a busy machine has its time.
    settings.connectTimeoutMs = listener == u"silent" ? 300 : 15'000;
    Publisher publisher(settings);
    QSignalSpy changes(&publisher, &Publisher::statusChanged);
    publisher.start();
    // The attempt's outcome says why, whichever of the library's reports came first; a failed
    // attempt is made again.
    const auto statusAt = [&](qsizetype i) { return changes.at(i).at(0).value<Status>(); };
    QTRY_VERIFY_WITH_TIMEOUT(changes.size() >= 2, 10000);
    QCOMPARE(statusAt(1), status);
    QVERIFY2(changes.at(1).at(1).toString().contains(told),
             qPrintable(changes.at(1).at(1).toString()));
    if (status != Status::Connected)
        QTRY_COMPARE_WITH_TIMEOUT(changes.size() >= 3 ? statusAt(2) : status, Status::Connecting,
                                  10000);
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
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = 1;
    auto publisher = std::make_unique<Publisher>(settings);
    publisher->start();
    // The thread held in a call that does not return (a name lookup that a DNS server never
    // answers, say) until the test lets it go.
    QPointer<QThread> thread = publisher->findChild<QThread *>(QStringLiteral("mqtt"));
    QSemaphore held;
    QSemaphore letGo;
    auto *blocker = new QObject;
    blocker->moveToThread(thread);
    QMetaObject::invokeMethod(blocker, [&held, &letGo, blocker] {
        held.release();
        letGo.acquire();
        blocker->deleteLater();
    });
    held.acquire();
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
    const qint64 elapsed = clock.elapsed();
    letGo.release();
    // Left to end by itself, it does once let go, and is deleted.
    QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 10000);
    // Room for a busy machine, but not for a second deadline or a wait without one.
    QVERIFY2(elapsed < 2 * Publisher::kFinishWaitMs, qPrintable(QString::number(elapsed)));
}

QTEST_MAIN(TestMqttPublisher)
#include "tst_mqttpublisher.moc"
