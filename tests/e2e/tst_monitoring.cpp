#include "app/auditheadpublishing.h"
#include "app/form1.h"
#include "app/historywindow.h"
#include "app/panelending.h"
#include "app/panelpublishing.h"
#include "audit/auditline.h"
#include "audit/auditlog.h"
#include "audit/auditrecorder.h"
#include "platform/serialcontrol.h"
#include "telemetry/mqttidrule.h"
#include "telemetry/mqttsettings.h"
#include "tests/faults/simulatedpump.h"
#include "tests/platform/printdialoganswerer.h"
#include "tests/support/mosquittobroker.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QSysInfo>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

using namespace std::chrono_literals;

// Publishing to a real broker of the test's own: the panel against the simulated pump, with
// mosquitto_sub watching what arrives, through a broker outage, refused credentials, an
// untrusted certificate and a killed panel; and panels of one host, each under an id of its own.
class TestMonitoring : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void publishesThroughAnOutage();
    void refusedOrUntrustedPanelWorksOn_data();
    void refusedOrUntrustedPanelWorksOn();
    void witnessesPrintsAndTheEnd();
    void killedPanelShowsOffline();
    void panelsOfOneHostTakeIdsOfTheirOwn();

private:
    MqttSettings settings(const QString &id) const;

    MosquittoBroker m_broker;
    QTemporaryDir m_dir;
};

namespace {

// mosquitto_sub on a panel's topics, each message as "topic payload".
class Subscriber
{
public:
    Subscriber(const MosquittoBroker &broker, const QString &topics)
    {
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(QStringLiteral("mosquitto_sub"),
                        {"-h", "127.0.0.1", "-p", QString::number(broker.plainPort()), "-u",
                         MosquittoBroker::kUser, "-P", MosquittoBroker::kPassword, "-q", "1", "-v",
                         "-t", topics});
        m_process.waitForStarted();
    }
    ~Subscriber()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // The payloads of a topic's leaf (reading, state, event, status, ...), in arrival order.
    QList<QByteArray> payloads(const QString &leaf)
    {
        m_seen += m_process.readAllStandardOutput();
        QList<QByteArray> found;
        for (const QByteArray &line : m_seen.split('\n')) {
            const qsizetype space = line.indexOf(' ');
            if (space > 0 && line.left(space).endsWith('/' + leaf.toUtf8()))
                found << line.mid(space + 1);
        }
        return found;
    }
    QList<QJsonObject> objects(const QString &leaf)
    {
        QList<QJsonObject> found;
        for (const QByteArray &payload : payloads(leaf))
            found << QJsonDocument::fromJson(payload).object();
        return found;
    }

private:
    QProcess m_process;
    QByteArray m_seen;
};

bool openPort(Form1 &form, ScriptedBoxes &boxes, const QString &device)
{
    form.serialControl()->setPortMap({{1, device}});
    boxes.answers << QStringLiteral("1");
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    return form.serialControl()->portOpen();
}

} // namespace

void TestMonitoring::initTestCase()
{
    QString why;
    if (!m_broker.start(&why))
        QSKIP(qPrintable(why));
    QVERIFY(m_dir.isValid());
}

MqttSettings TestMonitoring::settings(const QString &id) const
{
    MqttSettings mqtt;
    mqtt.host = QStringLiteral("127.0.0.1");
    mqtt.port = m_broker.plainPort();
    mqtt.id = id;
    mqtt.user = QString::fromLatin1(MosquittoBroker::kUser);
    mqtt.password = QString::fromLatin1(MosquittoBroker::kPassword);
    return mqtt;
}

void TestMonitoring::publishesThroughAnOutage()
{
    Subscriber watcher(m_broker, QStringLiteral("corvane/outage/#"));
    SimulatedPump pump(m_dir.path());
    QString error;
    QVERIFY2(pump.start({QStringLiteral("--running")}, &error), qPrintable(error));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(200ms);
    form.startPublishing(settings(QStringLiteral("outage")));
    QVERIFY(openPort(form, boxes, pump.slavePath()));

    // Readings as the pump sent them and the panel took them; the state says the link is open.
    QTRY_VERIFY_WITH_TIMEOUT(watcher.payloads(QStringLiteral("reading")).size() >= 10, 10000);
    const QList<QJsonObject> readings = watcher.objects(QStringLiteral("reading"));
    const QStringList sent = pump.sentReadings();
    qsizetype at = sent.indexOf(readings.first().value(QStringLiteral("text")).toString());
    QVERIFY(at >= 0);
    for (const QJsonObject &reading : readings)
        QCOMPARE(reading.value(QStringLiteral("text")).toString(), sent.value(at++));
    QTRY_VERIFY_WITH_TIMEOUT(watcher.objects(QStringLiteral("state"))
                                     .last()
                                     .value(QStringLiteral("link"))
                                     .toObject()
                                     .value(QStringLiteral("state"))
                                     .toString() == u"open",
                             5000);

    // 20 s without the broker; meanwhile the pump number is set and the pump stopped.
    m_broker.stop();
    QTest::qWait(1000);
    boxes.answers << QStringLiteral("5");
    form.findChild<QAction *>(QStringLiteral("Pump_NO"))->trigger();
    form.findChild<QAction *>(QStringLiteral("stop"))->trigger();
    QTest::qWait(19000);
    QVERIFY2(m_broker.resume(&error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(
        !watcher.objects(QStringLiteral("state")).isEmpty() &&
            watcher.objects(QStringLiteral("state")).last().value(QStringLiteral("pump")).toInt() ==
                5,
        40000);
    QCOMPARE(boxes.messages.size(), 0);

    // Every event and state change, once each after duplicates of a lost acknowledgement are
    // dropped, in the order made: the numbers they carry rise by one.
    QList<QJsonObject> ordered = watcher.objects(QStringLiteral("event"));
    ordered += watcher.objects(QStringLiteral("state"));
    std::sort(ordered.begin(), ordered.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a.value(QStringLiteral("seq")).toInteger() <
               b.value(QStringLiteral("seq")).toInteger();
    });
    qint64 expected = ordered.first().value(QStringLiteral("seq")).toInteger();
    for (const QJsonObject &message : ordered) {
        const qint64 seq = message.value(QStringLiteral("seq")).toInteger();
        QVERIFY2(seq == expected || seq == expected - 1, qPrintable(QString::number(seq)));
        expected = seq + 1;
    }
    QStringList keys;
    for (const QJsonObject &event : watcher.objects(QStringLiteral("event")))
        keys << event.value(QStringLiteral("key")).toString();
    QVERIFY2(keys.contains(QStringLiteral("mqtt-lost")) &&
                 keys.contains(QStringLiteral("frame-sent")),
             qPrintable(keys.join(u' ')));
    const QList<QJsonObject> states = watcher.objects(QStringLiteral("state"));
    // The new pump number was a state of its own, before the stop frame.
    QVERIFY(std::any_of(states.begin(), states.end(), [](const QJsonObject &state) {
        return state.value(QStringLiteral("pump")).toInt() == 5 &&
               state.value(QStringLiteral("lastFrame")).isNull();
    }));
    QVERIFY(states.last().value(QStringLiteral("readingsDropped")).toInteger() > 0);
    QCOMPARE(
        states.last().value(QStringLiteral("lastFrame")).toObject().value(QStringLiteral("frame")),
        QStringLiteral("Q00S0000Y"));
    QCOMPARE(watcher.payloads(QStringLiteral("status")).last(), QByteArray("online"));
}

void TestMonitoring::refusedOrUntrustedPanelWorksOn_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QString>("told");
    QTest::newRow("wrong password") << false << "用户名或密码";
    QTest::newRow("untrusted certificate") << true << "证书不受信任";
}

void TestMonitoring::refusedOrUntrustedPanelWorksOn()
{
    QFETCH(bool, tls);
    QFETCH(QString, told);
    SimulatedPump pump(m_dir.path());
    QString error;
    QVERIFY2(pump.start({}, &error), qPrintable(error));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(200ms);
    MqttSettings mqtt = settings(QStringLiteral("refused"));
    if (tls) {
        mqtt.tls = true;
        mqtt.port = m_broker.tlsPort();
        mqtt.caCertificates = m_broker.otherCa();
    } else {
        mqtt.password = QStringLiteral("not the password");
    }
    form.startPublishing(mqtt);
    QVERIFY(openPort(form, boxes, pump.slavePath()));
    auto *status = form.findChild<QLabel *>(QStringLiteral("mqttState"));
    QTRY_VERIFY2_WITH_TIMEOUT(status->text().contains(told), qPrintable(status->text()), 10000);
    // The panel goes on: a reading arrives, and no box was opened.
    QTRY_VERIFY_WITH_TIMEOUT(form.records().count() > 0, 5000);
    QCOMPARE(boxes.messages.size(), 0);
}

// The audit trail's head on the broker after a report printed and once more at the panel's end,
// where the port's closing is the last record; and the pump's last command as the panel sent it.
void TestMonitoring::witnessesPrintsAndTheEnd()
{
    Subscriber watcher(m_broker, QStringLiteral("corvane/witness/#"));
    SimulatedPump pump(m_dir.path());
    QString error;
    QVERIFY2(pump.start({}, &error), qPrintable(error));
    ScriptedBoxes boxes;
    AuditLog audit;
    Form1 form(&boxes);
    form.setPollInterval(200ms);
    form.startPublishing(settings(QStringLiteral("witness")));
    new AuditRecorder(&audit, form.session(), &form.runRecord(), form.alarms(), &form);
    const QString trail = m_dir.filePath(QStringLiteral("witness-audit"));
    audit.open(trail, QStringLiteral("witness"), form.runRecord().sessionId(),
               QStringLiteral("lab"), QStringLiteral("test"));
    auto *head = new AuditHeadPublishing(&audit, form.publishing()->publisher(), &form);
    QVERIFY(openPort(form, boxes, pump.slavePath()));
    // The seq of the trail's last record of a kind, as the file has it.
    const auto seqOf = [&trail](const char *what) {
        QFile file(QDir(trail).filePath(QStringLiteral("witness/") +
                                        QDate::currentDate().toString(Qt::ISODate) + ".jsonl"));
        qint64 seq = 0;
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray &line : file.readAll().split('\n'))
                if (const auto fields = AuditLine::read(line);
                    fields && (!*what || fields->what == QByteArrayView(what)))
                    seq = fields->seq;
        return seq;
    };
    const auto headsPublished = [&watcher] {
        QList<qint64> seqs;
        for (const QJsonObject &head : watcher.objects(QStringLiteral("audit")))
            seqs << head.value(QStringLiteral("seq")).toInteger();
        return seqs;
    };

    // Nothing commanded yet: said as null, and the setpoints unknown since the panel started.
    const auto lastState = [&watcher] {
        const QList<QJsonObject> states = watcher.objects(QStringLiteral("state"));
        return states.isEmpty() ? QJsonObject() : states.last();
    };
    QTRY_COMPARE_WITH_TIMEOUT(
        lastState().value(QStringLiteral("link")).toObject().value("state").toString(), "open",
        10000);
    QVERIFY(lastState().value(QStringLiteral("commanded")).isNull());
    QVERIFY(
        lastState().value(QStringLiteral("setpoints")).toObject().value("knownSince").isString());
    QTRY_VERIFY_WITH_TIMEOUT(!watcher.objects(QStringLiteral("reading")).isEmpty(), 10000);
    QCOMPARE(watcher.objects(QStringLiteral("reading")).first().value("unit").toString(), "MPa");
    for (const char *command : {"run", "stop"}) {
        form.findChild<QAction *>(QLatin1String(command))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(lastState().value(QStringLiteral("commanded")).toString(),
                                  QLatin1String(command), 10000);
        QCOMPARE(lastState().value(QStringLiteral("commandedAt")),
                 lastState().value(QStringLiteral("lastFrame")).toObject().value("time"));
    }
    // A setting sent after the stop is the last frame, not a command to run or stop.
    const QJsonValue stoppedAt = lastState().value(QStringLiteral("commandedAt"));
    boxes.answers << QStringLiteral("1.5");
    form.findChild<QAction *>(QStringLiteral("pressure"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(
        lastState().value(QStringLiteral("lastFrame")).toObject().value("frame").toString(),
        "Q00P01.5Y", 10000);
    QCOMPARE(lastState().value(QStringLiteral("commanded")).toString(), "stop");
    QCOMPARE(lastState().value(QStringLiteral("commandedAt")), stoppedAt);

    form.findChild<QAction *>(QStringLiteral("history"))->trigger();
    QPrinter *printer = form.historyWindow()->reportPrinter();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(m_dir.filePath(QStringLiteral("witness.pdf")));
    {
        PrintDialogAnswerer answerer(1);
        form.historyWindow()->findChild<QAction *>(QStringLiteral("reportLastRun"))->trigger();
        QCOMPARE(answerer.answered, 1);
    }
    QTRY_VERIFY_WITH_TIMEOUT(seqOf("print") > 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(headsPublished().contains(seqOf("print")), 10000);

    form.close();
    PanelEnding::finish(form, audit, head);
    const qint64 last = seqOf("");
    QCOMPARE(last, seqOf("link-closed"));
    QTRY_COMPARE_WITH_TIMEOUT(headsPublished().value(headsPublished().size() - 1), last, 10000);
}

void TestMonitoring::killedPanelShowsOffline()
{
    Subscriber watcher(m_broker, QStringLiteral("corvane/killed/status"));
    QProcess panel;
    const QString trail = m_dir.filePath(QStringLiteral("killed-audit"));
    panel.start(QStringLiteral(PANEL_EXECUTABLE),
                {"-platform", "offscreen", "--no-log", "--mqtt",
                 QStringLiteral("mqtt://127.0.0.1:%1").arg(m_broker.plainPort()), "--mqtt-id",
                 "killed", "--mqtt-auth", m_broker.authFile(), "--audit-dir", trail});
    QVERIFY(panel.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads(QStringLiteral("status")).value(0),
                              QByteArray("online"), 10000);
    panel.kill();
    panel.waitForFinished();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads(QStringLiteral("status")).last(),
                              QByteArray("offline"), 10000);
    // Its audit trail is the panel's own, named as the host's panels are, not by --mqtt-id.
    const QStringList instances = QDir(trail).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(instances.size(), 1);
    QVERIFY2(instances.first().startsWith(MqttIdRule::id(QSysInfo::machineHostName(), {}, 1)),
             qPrintable(instances.first()));
}

void TestMonitoring::panelsOfOneHostTakeIdsOfTheirOwn()
{
    QTemporaryDir runtime; // where the panels' lock files go
    Subscriber watcher(m_broker, QStringLiteral("corvane/+/status"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess panels[3];
    const auto start = [&](QProcess &panel) {
        panel.setProcessEnvironment(environment);
        panel.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        panel.start(QStringLiteral(PANEL_EXECUTABLE),
                    {"-platform", "offscreen", "--no-log", "--mqtt",
                     QStringLiteral("mqtt://127.0.0.1:%1").arg(m_broker.plainPort()), "--mqtt-auth",
                     m_broker.authFile(), "--audit-dir", runtime.filePath("audit")});
    };
    // The latest status under the id of an instance.
    const auto status = [&](int instance) {
        const QString id = MqttIdRule::id(QSysInfo::machineHostName(), QString(), instance);
        const QList<QByteArray> told = watcher.payloads(id + QStringLiteral("/status"));
        return told.isEmpty() ? QByteArray() : told.last();
    };
    start(panels[0]);
    QTRY_COMPARE_WITH_TIMEOUT(status(1), QByteArray("online"), 10000);
    start(panels[1]);
    QTRY_COMPARE_WITH_TIMEOUT(status(2), QByteArray("online"), 10000);
    // Killed, the first leaves its lock file behind; the next panel takes its id all the same.
    panels[0].kill();
    QTRY_COMPARE_WITH_TIMEOUT(status(1), QByteArray("offline"), 10000);
    start(panels[2]);
    QTRY_COMPARE_WITH_TIMEOUT(status(1), QByteArray("online"), 10000);
    QCOMPARE(status(2), QByteArray("online"));
    for (QProcess &panel : panels) {
        panel.kill();
        panel.waitForFinished();
    }
    // Each running panel kept a chain of its own, under its id; the third went on with the
    // first's.
    QStringList ids{MqttIdRule::id(QSysInfo::machineHostName(), QString(), 1),
                    MqttIdRule::id(QSysInfo::machineHostName(), QString(), 2)};
    ids.sort();
    QCOMPARE(
        QDir(runtime.filePath("audit")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
        ids);
}

QTEST_MAIN(TestMonitoring)
#include "tst_monitoring.moc"
