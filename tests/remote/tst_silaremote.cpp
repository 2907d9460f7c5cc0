#include "app/form1.h"
#include "app/remotecontrol.h"
#include "app/remotecontroldialog.h"
#include "app/statusarea.h"
#include "platform/serialcontrol.h"
#include "remote/remotedesk.h"
#include "tests/faults/simulatedpump.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// A real SiLA 2 client (Python's grpcio, with stubs made from the panel's .proto files at build
// time) over TLS, pinning the certificate by its fingerprint, against the panel's server: in
// the test's own panel beside the simulated pump on a pseudo-terminal, and in the panel's own
// program as it starts with --sila.
class TestSilaRemote : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void clientCommandsThePump();
    void stopWhileLinkLostIsOwed();
    void programServesOverTls();

private:
    // One call of the client; its outcome, or {"failed": why}.
    QJsonObject call(const QStringList &arguments);
    int count(const SimulatedPump &pump, const QString &frame) const
    {
        return int(pump.receivedLog().filter(frame).size());
    }

    QTemporaryDir m_dir;
    int m_port = 0;
    QString m_pin;
};

void TestSilaRemote::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QJsonObject TestSilaRemote::call(const QStringList &arguments)
{
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QEventLoop loop;
    connect(&client, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    // The panel's server needs this thread's event loop while the client waits for it.
    client.start(QStringLiteral(PYTHON_WITH_GRPC),
                 QStringList{QStringLiteral(SILA_CLIENT), QStringLiteral(SILA_STUBS),
                             QString::number(m_port), m_pin} +
                     arguments);
    loop.exec();
    const QByteArray out = client.readAllStandardOutput().trimmed();
    const QJsonObject told = QJsonDocument::fromJson(out).object();
    return told.isEmpty() ? QJsonObject{{"failed", QString::fromUtf8(out)}} : told;
}

void TestSilaRemote::clientCommandsThePump()
{
    SimulatedPump pump(m_dir.path());
    QString error;
    QVERIFY2(pump.start({}, &error), qPrintable(error));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.serialControl()->setPortMap({{1, pump.slavePath()}});
    boxes.answers << QStringLiteral("1");
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    QVERIFY(form.serialControl()->portOpen());
    RemoteControl *remote = form.remoteControl();
    QCOMPARE(remote->start(0), QString());
    m_port = remote->port();
    m_pin = remote->fingerprint();
    auto *row = form.findChild<QLabel *>(QStringLiteral("remoteState"));
    auto *allow = form.findChild<QPushButton *>(QStringLiteral("remoteAllow"));
    QVERIFY(row && allow);

    // Nothing changes the pump without the lease; the lease is taken once, and its timeout bounded.
    QCOMPARE(call({"setflow", "orch", "0", "250"}).value("kind").toString(),
             "definedExecutionError");
    QCOMPARE(call({"lock", "orch", "0"}).value("parameter").toString(),
             "org.silastandard/core/LockController/v2/Command/LockServer/Parameter/Timeout");
    QCOMPARE(call({"lock", "orch", "30"}).value("ok").toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(row->text().startsWith(QStringLiteral("远程控制：orch 持有，剩余")),
                             5000);
    QVERIFY(call({"lock", "other", "30"})
                .value("errorIdentifier")
                .toString()
                .endsWith("ServerAlreadyLocked"));
    QCOMPARE(call({"islocked"}).value("locked").toBool(), true);
    // The published state names the lease's holder.
    QCOMPARE(form.remoteControl()->stateObject().value("lease")["identifier"].toString(), "orch");

    // A setpoint reaches the line as the keypad's would, at the address asked, with the
    // client as its source; the keypad's own pump number stays.
    QCOMPARE(call({"setflow", "orch", "7", "250"}).value("ok").toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(count(pump, "Q07L0250Y"), 1, 5000);
    QCOMPARE(form.keypad().pumpNumber(), 0);
    QVERIFY(form.session()->lastFlowSent().source.startsWith(
        QStringLiteral("远程 orch@ipv4:127.0.0.1:")));

    // Values the panel would refuse are validation errors naming the parameter; none is sent.
    const struct
    {
        QStringList call;
        const char *parameter;
    } invalid[] = {{{"setflow", "orch", "0", "1001"}, "SetFlow/Parameter/Flow"},
                   {{"setflow", "orch", "100", "5"}, "SetFlow/Parameter/PumpAddress"},
                   {{"setlimit", "orch", "0", "1.05"}, "SetLimit/Parameter/Limit"},
                   {{"setlimit", "orch", "0", "2.1"}, "SetLimit/Parameter/Limit"}};
    for (const auto &refused : invalid) {
        const QJsonObject told = call(refused.call);
        QCOMPARE(told.value("kind").toString(), "validationError");
        QVERIFY2(told.value("parameter").toString().endsWith(refused.parameter),
                 qPrintable(refused.parameter));
    }
    QCOMPARE(call({"setlimit", "orch", "0", "1.5"}).value("ok").toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(count(pump, "Q00P01.5Y"), 1, 5000);
    QCOMPARE(pump.receivedLog().filter(QRegularExpression("Q..[LP]....Y")).size(), 2);
    // Another identifier, or none, changes nothing.
    QVERIFY(call({"run", "other"})
                .value("errorIdentifier")
                .toString()
                .endsWith("InvalidLockIdentifier"));
    QCOMPARE(call({"run", "-"}).value("errorType").toString(), "INVALID_METADATA");
    QCOMPARE(count(pump, "Q00R0000Y"), 0);

    QCOMPARE(call({"run", "orch"}).value("ok").toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(count(pump, "Q00R0000Y"), 1, 5000);

    // What the client watches is what the panel sent and read.
    QTRY_VERIFY_WITH_TIMEOUT(form.session()->hasReading(), 10000);
    const QJsonObject state = call({"state"});
    QCOMPARE(state.value("flowSent").toString(), "Q07L0250Y");
    QCOMPARE(state.value("limitSent").toString(), "Q00P01.5Y");
    QCOMPARE(state.value("lastCommand").toString(), "run");
    QCOMPARE(state.value("link").toString(), "open");
    QCOMPARE(state.value("timedRun").toString(), "idle");
    QCOMPARE(state.value("current").toBool(), true);
    QVERIFY(!state.value("pressure").toString().isEmpty());
    QCOMPARE(state.value("pressureYear").toInt(), QDate::currentDate().year());

    // The operator's STOP wins: the client's runs are refused until the operator allows them.
    QVERIFY(!allow->isEnabled());
    form.findChild<QPushButton *>(QStringLiteral("Cmds"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(count(pump, "Q00S0000Y"), 1, 5000);
    for (const char *start : {"run", "starttimedrun"}) {
        const QJsonObject refused = call({start, "orch"});
        QVERIFY2(refused.value("errorIdentifier")
                     .toString()
                     .endsWith("PumpControl/v1/DefinedExecutionError/OperatorStopped"),
                 start);
        QCOMPARE(refused.value("message").toString(), QStringLiteral("操作员已在面板上停止了泵"));
    }
    QCOMPARE(call({"setflow", "orch", "0", "300"}).value("ok").toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(count(pump, "Q00L0300Y"), 1, 5000);
    QCOMPARE(count(pump, "Q00R0000Y"), 1);
    QVERIFY(allow->isEnabled());
    allow->click();
    QCOMPARE(call({"run", "orch"}).value("ok").toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(count(pump, "Q00R0000Y"), 2, 5000);

    // Metadata the call does not take is refused.
    QCOMPARE(call({"unknown-metadata"}).value("errorType").toString(), "INVALID_METADATA");

    // A client whose lease runs out leaves the pump running, and the panel says so.
    QCOMPARE(call({"unlock", "orch"}).value("ok").toBool(), true);
    QCOMPARE(call({"lock", "brief", "1"}).value("ok").toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(row->text().contains(QStringLiteral("brief 的租约已到期，泵保持原状")),
                             10000);
    QCOMPARE(count(pump, "Q00S0000Y"), 1);
    QCOMPARE(call({"islocked"}).value("locked").toBool(), false);
    QVERIFY(form.remoteControl()->stateObject().value("lease").isNull());
    QStringList keys;
    for (const RunRecord::Event &event : form.runRecord().events())
        if (event.key.startsWith(QStringLiteral("remote-")))
            keys << event.key;
    QCOMPARE(keys.filter("remote-lock").size(), 2);
    QCOMPARE(keys.filter("remote-unlock").size(), 1);
    QCOMPARE(keys.filter("remote-lease-ended").size(), 1);
    QVERIFY(keys.filter("remote-refused").size() >= 9);

    // A timed run started at the panel ends the lease.
    QCOMPARE(call({"lock", "orch", "60"}).value("ok").toBool(), true);
    form.findChild<QAction *>(QStringLiteral("ststart"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(row->text().contains(QStringLiteral("面板上开始了运行")), 5000);
    QCOMPARE(call({"islocked"}).value("locked").toBool(), false);
    form.findChild<QAction *>(QStringLiteral("stend"))->trigger();

    // 远程控制… takes the lease back and turns the server off, and the store keeps it off.
    QCOMPARE(call({"lock", "orch", "60"}).value("ok").toBool(), true);
    QString shownFingerprint;
    QTimer operatorAtDialog;
    connect(&operatorAtDialog, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        operatorAtDialog.stop();
        shownFingerprint = dialog->findChild<QLabel *>(QStringLiteral("remoteFingerprint"))->text();
        dialog->findChild<QPushButton *>(QStringLiteral("remoteTakeBack"))->click();
        dialog->findChild<QCheckBox *>(QStringLiteral("remoteEnabled"))->setChecked(false);
        dialog->reject();
    });
    operatorAtDialog.start(50);
    form.findChild<QAction *>(QStringLiteral("remoteControl"))->trigger();
    QCOMPARE(shownFingerprint, m_pin);
    QVERIFY(!remote->isRunning());
    QCOMPARE(form.runRecord().events().last().key, QStringLiteral("remote-taken-back"));
    QCOMPARE(call({"uuid"}).value("connected").toBool(true), false);
    QVERIFY(!RemoteControlDialog::stored().enabled);
    QVERIFY(form.statusArea()->standingText(StatusArea::Line::Remote).isEmpty());
    QVERIFY(boxes.messages.isEmpty());
}

void TestSilaRemote::stopWhileLinkLostIsOwed()
{
    QTemporaryDir folder;
    auto pump = std::make_unique<SimulatedPump>(folder.path());
    QString error;
    QVERIFY2(pump->start({QStringLiteral("--running")}, &error), qPrintable(error));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.serialControl()->setPortMap({{1, pump->slavePath()}});
    boxes.answers << QStringLiteral("1");
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    QVERIFY(form.serialControl()->portOpen());
    QCOMPARE(form.remoteControl()->start(0), QString());
    m_port = form.remoteControl()->port();
    m_pin = form.remoteControl()->fingerprint();
    QCOMPARE(call({"lock", "orch", "60"}).value("ok").toBool(), true);

    // The pump's end hangs the line up.
    pump.reset();
    QTRY_COMPARE_WITH_TIMEOUT(form.session()->link(), PumpSession::Link::Lost, 10000);
    const QJsonObject stopped = call({"stop", "orch"});
    QCOMPARE(stopped.value("ok").toBool(), true);
    QCOMPARE(stopped.value("owed").toBool(), true);
    QVERIFY(form.session()->pendingStop().isPending());
    // Its EndTimedRun's stop joins the same held stop, as the client's too.
    QCOMPARE(call({"endtimedrun", "orch"}).value("ok").toBool(), true);
    for (const PendingStop::Reason &reason : form.session()->pendingStop().reasons())
        QCOMPARE(reason.cause, PendingStop::Cause::Remote);
    // The client's own stop is not the operator's: its starts are not blocked.
    QVERIFY(!form.remoteControl()->desk()->remoteStartsBlocked());
    QVERIFY(boxes.messages.isEmpty());
}

void TestSilaRemote::programServesOverTls()
{
    QProcess panel;
    panel.start(QStringLiteral(PANEL_EXECUTABLE),
                {"-platform", "offscreen", "--no-log", "--sila", "0"});
    QVERIFY(panel.waitForStarted());
    const QRegularExpression started(
        "SiLA 2 server on 127\\.0\\.0\\.1:(\\d+), certificate SHA-256 (\\S+)");
    QRegularExpressionMatch match;
    QTRY_VERIFY_WITH_TIMEOUT(
        (match = started.match(QString::fromUtf8(panel.peek(4096)))).hasMatch(), 30000);
    m_port = match.captured(1).toInt();
    m_pin = match.captured(2);

    const QString uuid = call({"uuid"}).value("uuid").toString();
    QVERIFY2(QRegularExpression("^[0-9a-f]{8}-[0-9a-f]{4}-").match(uuid).hasMatch(),
             qPrintable(uuid));
    // Garbage on the port and a message over the limit are gRPC's errors; the server goes on.
    QCOMPARE(call({"garbage"}).value("uuid").toString(), uuid);
    // Each feature's definition is served; one not implemented is the defined error.
    const QJsonObject pumpFeature = call({"definition", "org.corvane/pump/PumpControl/v1"});
    QCOMPARE(pumpFeature.value("identifier").toString(), "PumpControl");
    QCOMPARE(pumpFeature.value("originator").toString(), "org.corvane");
    QVERIFY(pumpFeature.value("commands").toArray().contains(QJsonValue("AcknowledgeAlarms")));
    QCOMPARE(call({"definition", "org.silastandard/core/LockController/v2"})
                 .value("identifier")
                 .toString(),
             "LockController");
    QVERIFY(call({"definition", "org.example/x/Y/v1"})
                .value("errorIdentifier")
                .toString()
                .endsWith("UnimplementedFeature"));
    QCOMPARE(call({"lock-huge"}).value("code").toString(), "RESOURCE_EXHAUSTED");
    // 1,000 streams at once: those beyond the server's threads are refused, and once they
    // have gone the server answers again.
    const QJsonObject flood = call({"flood"});
    QVERIFY2(flood.value("codes").toObject().value("RESOURCE_EXHAUSTED").toInt() > 0,
             QJsonDocument(flood).toJson().constData());
    QCOMPARE(flood.value("uuid").toString(), uuid);
    QCOMPARE(call({"lock", "lab", "60"}).value("ok").toBool(), true);
    // No port is open: the panel's own reason, no box.
    const QJsonObject unsent = call({"setflow", "lab", "0", "100"});
    QVERIFY(unsent.value("errorIdentifier").toString().endsWith("CommandFailed"));
    QVERIFY(!unsent.value("message").toString().isEmpty());
    // The fingerprint printed is the certificate served.
    m_pin = QString(m_pin).replace(0, 2, m_pin.startsWith("00") ? "11" : "00");
    QCOMPARE(call({"uuid"}).value("pinned").toBool(true), false);

    panel.kill();
    panel.waitForFinished();
}

QTEST_MAIN(TestSilaRemote)
#include "tst_silaremote.moc"
