#include "mqttsettings.h"
#include "panelstate.h"
#include "publishqueue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TestTelemetry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void brokerUrl_data();
    void brokerUrl();
    void queueKeepsOrderThroughLostConnections();
    void fullQueueDropsOldestEventFirst();
    void stateAsJson();
};

void TestTelemetry::brokerUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("parsed"); // tls host port, or empty when refused
    QTest::newRow("plain, default port") << "mqtt://broker.lab"
                                         << "0 broker.lab 1883";
    QTest::newRow("TLS, default port") << "mqtts://broker.lab"
                                       << "1 broker.lab 8883";
    QTest::newRow("port given") << "mqtt://10.0.0.5:1884"
                                << "0 10.0.0.5 1884";
    QTest::newRow("a trailing slash") << "mqtt://broker.lab/"
                                      << "0 broker.lab 1883";
    QTest::newRow("credentials belong in a file") << "mqtt://user:pw@broker.lab"
                                                  << "";
    QTest::newRow("not mqtt") << "http://broker.lab"
                              << "";
    QTest::newRow("a path") << "mqtt://broker.lab/topic"
                            << "";
    QTest::newRow("no host") << "mqtt://:1883"
                             << "";
    QTest::newRow("port out of range") << "mqtt://broker.lab:70000"
                                       << "";
}

void TestTelemetry::brokerUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, parsed);
    MqttSettings settings;
    const bool ok = MqttSettings::parseUrl(url, &settings);
    QCOMPARE(
        ok ? QStringLiteral("%1 %2 %3").arg(int(settings.tls)).arg(settings.host).arg(settings.port)
           : QString(),
        parsed);
    QCOMPARE(MqttSettings::idFrom(QStringLiteral("lab-pc_3.example.org")),
             QStringLiteral("lab-pc_3exampleorg"));
}

void TestTelemetry::queueKeepsOrderThroughLostConnections()
{
    PublishQueue queue;
    for (const char *text : {"a", "b", "c", "d"})
        queue.push({QStringLiteral("t"), text, false, true});
    // a and b go out; b is acknowledged first, a not at all before the connection goes.
    QCOMPARE(queue.next()->payload, QByteArray("a"));
    queue.sent(1);
    QCOMPARE(queue.next()->payload, QByteArray("b"));
    queue.sent(2);
    queue.acknowledged(2);
    queue.connectionLost();
    QStringList order;
    for (int token = 10; auto message = queue.next(); ++token) {
        order << QString::fromLatin1(message->payload);
        queue.sent(token);
    }
    QCOMPARE(order, (QStringList{"a", "c", "d"}));
    QCOMPARE(queue.inFlight(), 3);
}

void TestTelemetry::fullQueueDropsOldestEventFirst()
{
    PublishQueue queue;
    queue.push({QStringLiteral("state"), "first state", true, false});
    for (qsizetype i = 1; i < PublishQueue::kLimit; ++i)
        queue.push({QStringLiteral("event"), QByteArray::number(i), false, true});
    queue.push({QStringLiteral("state"), "second state", true, false});
    queue.push({QStringLiteral("event"), "newest", false, true});
    QCOMPARE(queue.size(), PublishQueue::kLimit);
    QCOMPARE(queue.dropped(), 2u);
    // The states stay; the two oldest events went.
    QCOMPARE(queue.next()->payload, QByteArray("first state"));
    queue.sent(1);
    QCOMPARE(queue.next()->payload, QByteArray("3"));
}

void TestTelemetry::stateAsJson()
{
    PanelState state;
    state.link = QStringLiteral("lost");
    state.device = QStringLiteral("/dev/ttyUSB0");
    state.pendingStop = true;
    state.alarms = {QStringLiteral("high")};
    const QJsonObject json = QJsonDocument::fromJson(state.toJson(7)).object();
    QCOMPARE(
        json.value(QStringLiteral("link")).toObject().value(QStringLiteral("state")).toString(),
        QStringLiteral("lost"));
    QVERIFY(json.value(QStringLiteral("lastFrame")).isNull());
    QCOMPARE(
        json.value(QStringLiteral("run")).toObject().value(QStringLiteral("pendingStop")).toBool(),
        true);
    QCOMPARE(json.value(QStringLiteral("readingsDropped")).toInt(), 7);
}

QTEST_GUILESS_MAIN(TestTelemetry)
#include "tst_telemetry.moc"
