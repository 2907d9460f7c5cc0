#include "telemetry/alarmmessagebook.h"
#include "telemetry/brokerbackoff.h"
#include "telemetry/mqttidrule.h"
#include "telemetry/mqttsettings.h"
#include "telemetry/panelstate.h"
#include "telemetry/publishinbox.h"
#include "telemetry/publishqueue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TestTelemetry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void brokerUrl_data();
    void brokerUrl();
    void defaultId_data();
    void defaultId();
    void backoff_data();
    void backoff();
    void queueKeepsOrderThroughLostConnections();
    void fullQueueDropsOldestEventFirst();
    void fullInboxDropsReadingsThenEvents_data();
    void fullInboxDropsReadingsThenEvents();
    void stateAsJson();
    void alarmMessagesTellWhatHappened();
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

void TestTelemetry::defaultId_data()
{
    // Host, device of port 1, instance: the id.
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QString>("id");
    QTest::newRow("first keeps the bare host name") << QStringList{"lab3", "", "1"} << "lab3";
    QTest::newRow("then numbered")
        << QStringList{"lab3.example.org", "", "2"} << "lab3exampleorg-2";
    QTest::newRow("device") << QStringList{"lab3", "/dev/ttyUSB0", "2"} << "lab3-ttyUSB0-2";
    QTest::newRow("numbered device no instance")
        << QStringList{"lab3", "/dev/pts/3", "1"} << "lab3-pts3";
    QTest::newRow("nothing of it safe") << QStringList{"lab3", "/dev/泵", "2"} << "lab3-2";
}

void TestTelemetry::defaultId()
{
    QFETCH(QStringList, given);
    QFETCH(QString, id);
    QCOMPARE(MqttIdRule::id(given[0], given[1], given[2].toInt()), id);
}

void TestTelemetry::backoff_data()
{
    // What happens, in seconds ("C5" accepted at 5 s, "L7" that connection lost at 7 s, "F" an
    // attempt failed) => the wait after each L and F, "!" where the id looks taken.
    QTest::addColumn<QString>("story");
    QTest::newRow("away: doubled up to 30 s") << "F F F F F F F => 1 2 4 8 16 30 30";
    QTest::newRow("held a minute: 1 s again") << "F F F C10 L70 F => 1 2 4 1 2";
    QTest::newRow("hung up after 20 s: doubled") << "C0 L20 C21 L41 C42 L62 => 1 2 4";
    QTest::newRow("three quick drops: id taken") << "C0 L1 C2 L3 C5 L6 => 1 2 300!";
    QTest::newRow("a drop after 10 s breaks the row") << "C0 L1 C2 L3 C5 L16 C18 L19 => 1 2 4 8";
    QTest::newRow("failures leave the row") << "C0 L1 F C5 L6 F C20 L21 => 1 2 4 8 300!";
    QTest::newRow("taken, then away") << "C0 L1 C2 L3 C5 L6 F => 1 2 300! 300!";
    QTest::newRow("taken, then held") << "C0 L1 C2 L3 C5 L6 C400 L500 => 1 2 300! 1";
}

void TestTelemetry::backoff()
{
    QFETCH(QString, story);
    const QStringList parts = story.split(QStringLiteral(" => "));
    BrokerBackoff backoff;
    QStringList told;
    for (const QString &happening : parts[0].split(u' ')) {
        const std::chrono::seconds at(happening.mid(1).toInt());
        if (happening.startsWith(u'C')) {
            backoff.connected(at);
            continue;
        }
        const BrokerBackoff::Next next = happening == u"F" ? backoff.failed() : backoff.lost(at);
        told << QString::number(next.wait.count() / 1000) + (next.idLooksTaken ? "!" : "");
    }
    QCOMPARE(told.join(u' '), parts[1]);
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

void TestTelemetry::fullInboxDropsReadingsThenEvents_data()
{
    using Kind = PublishInbox::Kind;
    QTest::addColumn<Kind>("first"); // the oldest call waiting
    QTest::addColumn<Kind>("rest");  // the calls that fill the inbox behind it
    QTest::addColumn<Kind>("pushed");
    QTest::addColumn<QString>("gone"); // the call dropped, if any
    QTest::addColumn<quint64>("readingsDropped");

    QTest::newRow("reading finds it full")
        << Kind::Reading << Kind::Event << Kind::Reading << "new" << quint64(1);
    QTest::newRow("event drops a reading before an older event")
        << Kind::Event << Kind::Reading << Kind::Event << "1" << quint64(1);
    QTest::newRow("state drops the oldest event, not a state")
        << Kind::Kept << Kind::Event << Kind::Kept << "1" << quint64(0);
    QTest::newRow("alarm waits beyond the limit")
        << Kind::Kept << Kind::Kept << Kind::Kept << "" << quint64(0);
    QTest::newRow("event among states only")
        << Kind::Kept << Kind::Kept << Kind::Event << "new" << quint64(0);
}

void TestTelemetry::fullInboxDropsReadingsThenEvents()
{
    QFETCH(PublishInbox::Kind, first);
    QFETCH(PublishInbox::Kind, rest);
    QFETCH(PublishInbox::Kind, pushed);
    QFETCH(QString, gone);
    QFETCH(quint64, readingsDropped);

    PublishInbox inbox;
    QStringList delivered;
    const auto call = [&delivered](const QString &name) {
        return [&, name] { delivered << name; };
    };
    QStringList expected{QStringLiteral("first")};
    int wakes = inbox.push(first, call(expected.last()));
    for (qsizetype i = 1; i < PublishInbox::kLimit; ++i) {
        expected << QString::number(i);
        wakes += inbox.push(rest, call(expected.last()));
    }
    expected << QStringLiteral("new");
    wakes += inbox.push(pushed, call(expected.last()));
    expected.removeOne(gone);
    QCOMPARE(wakes, 1);
    QCOMPARE(inbox.dropped(), quint64(gone.isEmpty() ? 0 : 1));

    const PublishInbox::Batch batch = inbox.take();
    QCOMPARE(batch.readingsDropped, readingsDropped);
    for (const PublishInbox::Call &delivery : batch.calls)
        delivery();
    QCOMPARE(delivered, expected);
}

void TestTelemetry::stateAsJson()
{
    PanelState state;
    state.link = QStringLiteral("lost");
    state.device = QStringLiteral("/dev/ttyUSB0");
    state.pendingStop = true;
    state.alarms = {QStringLiteral("high")};
    state.flowFrame = QStringLiteral("Q03L0250Y");
    state.flowTime = QDateTime::currentDateTime();
    const QJsonObject json = QJsonDocument::fromJson(state.toJson(7)).object();
    // The setpoint as a number, with the pump it went to; none sent yet is null.
    const QJsonObject setpoints = json.value(QStringLiteral("setpoints")).toObject();
    const QJsonObject flow = setpoints.value(QStringLiteral("flow")).toObject();
    QCOMPARE(flow.value(QStringLiteral("value")).toDouble(), 250.0);
    QCOMPARE(flow.value(QStringLiteral("pump")).toInt(), 3);
    QVERIFY(flow.value(QStringLiteral("time")).toString().contains(u'+') ||
            flow.value(QStringLiteral("time")).toString().contains(u'-'));
    QVERIFY(setpoints.value(QStringLiteral("limit")).isNull());
    QCOMPARE(
        json.value(QStringLiteral("link")).toObject().value(QStringLiteral("state")).toString(),
        QStringLiteral("lost"));
    QVERIFY(json.value(QStringLiteral("lastFrame")).isNull());
    QCOMPARE(
        json.value(QStringLiteral("run")).toObject().value(QStringLiteral("pendingStop")).toBool(),
        true);
    QCOMPARE(json.value(QStringLiteral("readingsDropped")).toInt(), 7);
    // Nothing commanded, no set time, no program: null, for a dashboard to read as such.
    QVERIFY(json.value(QStringLiteral("commanded")).isNull());
    QVERIFY(json.value(QStringLiteral("run")).toObject().value("setTimeSeconds").isNull());

    state.commanded = QStringLiteral("run");
    state.commandedTime = state.flowTime;
    state.runSetTime = QStringLiteral("1.5 分");
    state.runSetSeconds = 90;
    state.programName = QStringLiteral("start-up");
    state.programStep = QStringLiteral("第 3 步");
    state.programStepPath = QStringLiteral("steps[2].ramp");
    const QJsonObject later = QJsonDocument::fromJson(state.toJson(0)).object();
    QCOMPARE(later.value(QStringLiteral("commanded")).toString(), QStringLiteral("run"));
    QCOMPARE(later.value(QStringLiteral("commandedAt")), flow.value(QStringLiteral("time")));
    QCOMPARE(later.value(QStringLiteral("run")).toObject().value("setTimeSeconds").toDouble(), 90.0);
    QCOMPARE(later.value(QStringLiteral("program")).toObject().value("stepPath").toString(),
             QStringLiteral("steps[2].ramp"));
}

// Each change of an alarm goes out whole: what raised it against which limit, in its unit,
// what it does, what its stop did, whether it has cleared and been acknowledged.
void TestTelemetry::alarmMessagesTellWhatHappened()
{
    AlarmSettings settings;
    settings.high = {true, 1.5, true};
    settings.silence = {true, 10, false};
    AlarmMessageBook book;
    const QDateTime at = QDateTime::currentDateTime();
    const auto json = [](const TelemetryMessages::Alarm &alarm) {
        return QJsonDocument::fromJson(TelemetryMessages::alarm(alarm)).object();
    };
    const auto expect = [&](const TelemetryMessages::Alarm &alarm, const QVariantMap &fields) {
        const QJsonObject got = json(alarm);
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            QVERIFY2(got.value(it.key()) == QJsonValue::fromVariant(it.value()),
                     qPrintable(it.key() + u'=' + got.value(it.key()).toVariant().toString()));
    };
    using Kind = AlarmMonitor::Kind;
    expect(book.raised({Kind::High, at, QStringLiteral("01.6"), true}, settings),
           {{"kind", "high"}, {"action", "raised"}, {"value", 1.6}, {"limit", 1.5},
            {"unit", "MPa"}, {"response", "stop"}, {"stop", QVariant()}, {"cleared", false}});
    expect(book.acted(Kind::High, false, at), {{"action", "acted"}, {"stop", "owed"}, {"value", 1.6}});
    expect(book.cleared({Kind::High, QStringLiteral("01.6"), QStringLiteral("01.2"), true}, at),
           {{"action", "cleared"}, {"cleared", true}, {"stop", "owed"}, {"acknowledged", false}});
    // The owed stop went out: said once, for the alarm that owed it, and no longer "owed".
    const QList<TelemetryMessages::Alarm> settled = book.stopSettled(true, at);
    QCOMPARE(settled.size(), 1);
    expect(settled.first(), {{"kind", "high"}, {"action", "acted"}, {"stop", "sent"}});
    QVERIFY(book.stopSettled(false, at).isEmpty());
    expect(book.raised({Kind::Silence, at, QStringLiteral("10 秒"), false}, settings),
           {{"kind", "silence"}, {"value", 10}, {"limit", 10}, {"unit", "s"}, {"response", "warn"}});
    const QList<TelemetryMessages::Alarm> acknowledged =
        book.acknowledged({{Kind::High, at, QStringLiteral("01.6"), true}}, at);
    QCOMPARE(acknowledged.size(), 1);
    expect(acknowledged.first(), {{"action", "acknowledged"}, {"acknowledged", true},
                                  {"cleared", true}, {"value", 1.6}});
    // Acknowledged while it lasted, then cleared: said, but latched no more.
    expect(book.cleared({Kind::Silence, QStringLiteral("10 秒"), QStringLiteral("x"), true}, at),
           {{"action", "cleared"}, {"cleared", true}, {"acknowledged", false}});
    book.acknowledged({{Kind::Silence, at, QStringLiteral("10 秒"), false}}, at);
    expect(book.cleared({Kind::Silence, QStringLiteral("10 秒"), QStringLiteral("x"), true}, at),
           {{"action", "cleared"}, {"acknowledged", true}});
    // Raised again after the acknowledgement: nothing of the last time is carried over.
    expect(book.raised({Kind::High, at, QStringLiteral("01.7"), true}, settings),
           {{"cleared", false}, {"stop", QVariant()}, {"acknowledged", false}});
}

QTEST_GUILESS_MAIN(TestTelemetry)
#include "tst_telemetry.moc"
