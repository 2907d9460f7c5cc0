#include "app/form1.h"
#include "audit/auditlog.h"
#include "audit/auditrecorder.h"
#include "audit/auditverifier.h"
#include "tests/support/panelport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// What the operator commands reaches the audit trail, in order and with its value before.
class TestAuditWiring : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandsInOrderWithBefore();
    void deletedDayFileSaid();
};

void TestAuditWiring::commandsInOrderWithBefore()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    QTemporaryDir folder;
    // Alarm settings of a home of its own: what they were before is known, and no other test
    // running meanwhile finds them changed.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
    ScriptedBoxes boxes;
    AuditLog log;
    Form1 form(&boxes);
    new AuditRecorder(&log, form.session(), &form.runRecord(), form.alarms(), &form);
    log.open(folder.path(), QStringLiteral("panel"), QStringLiteral("s1"), QStringLiteral("lab"),
             QString());
    form.setPollInterval(std::chrono::hours(1));
    // A run with the port closed does not go out, and is kept as refused.
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("Cmdr")), Qt::LeftButton);
    QCOMPARE(boxes.messages.size(), 1);
    boxes.messages.clear();
    QVERIFY(openPanelPort(form, boxes, pty));
    // The pump tells its flow before the operator types one; the second entry follows the first.
    QVERIFY(pty.writeAll("Q00L0100Y"));
    QTRY_COMPARE(form.findChild<QLineEdit *>(QStringLiteral("lqset"))->text(), "0100");
    for (const char *key :
         {"Cmdl", "Cmd0", "Cmd2", "Cmd5", "Cmd5", "Cmdl", "Cmd0", "Cmd3", "Cmd3", "Cmd3", "Cmdr"})
        QTest::mouseClick(form.findChild<QPushButton *>(QLatin1String(key)), Qt::LeftButton);
    boxes.answers << QStringLiteral("1") << QStringLiteral("2");
    for (const char *item : {"stset", "stset", "ststart", "stend"})
        form.findChild<QAction *>(QLatin1String(item))->trigger();
    QTimer::singleShot(0, &form, [] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        dialog->findChild<QCheckBox *>(QStringLiteral("highOn"))->setChecked(true);
        dialog->findChild<QDoubleSpinBox *>(QStringLiteral("highLimit"))->setValue(1.0);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    form.findChild<QAction *>(QStringLiteral("alarmSettings"))->trigger();
    // The head the broker is given: the file-start and the seventeen records, once written.
    QTRY_COMPARE(log.head().seq, 18);
    const QByteArray head = log.head().hash;
    log.close();

    QDirIterator found(folder.filePath(QStringLiteral("panel")), {"*.jsonl"}, QDir::Files);
    QVERIFY(found.hasNext());
    const QString path = found.next();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    QStringList seen;
    for (const QByteArray &line : bytes.split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (!line.isEmpty() && record.value("what").toString() != u"file-start")
            seen << QStringList{record.value("what").toString(), record.value("before").toString(),
                                record.value("beforeFrom").toString(),
                                record.value("after").toString()}
                        .join(u' ');
    }
    QCOMPARE(seen, (QStringList{
                       "session-start   ", "frame-refused   Q00R0000Y", "link-open   ",
                       "flow 0100 reply 0255", "flow 0255 sent 0333", "run   ", "run-set   1 分",
                       "run-set 1 分  2 分", "run-start   ", "run   ", "run-end   ", "stop   ",
                       "alarm-setting 关  开", "alarm-setting 0.00  1.00",
                       // The dialog holds the fields of alarms left off in range.
                       "alarm-setting 0.00  0.10", "alarm-setting 0  30", "alarm-setting 0  60"}));
    const AuditVerifier::Result whole = AuditVerifier::verify({path}, std::nullopt);
    QCOMPARE(whole.exitCode, AuditVerifier::kOk);
    QCOMPARE(whole.head.hash, head);
    bytes.replace("\"after\":\"0255\"", "\"after\":\"0256\""); // still reads well
    QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
    file.close();
    QCOMPARE(AuditVerifier::verify({path}, std::nullopt).exitCode, AuditVerifier::kBroken);
}

// The day's file deleted while the panel runs: the next command's record begins a new file,
// and the status row and an audit-reopened event line say what happened.
void TestAuditWiring::deletedDayFileSaid()
{
    QTemporaryDir folder;
    ScriptedBoxes boxes;
    AuditLog log;
    Form1 form(&boxes);
    auto *recorder =
        new AuditRecorder(&log, form.session(), &form.runRecord(), form.alarms(), &form);
    QSignalSpy said(recorder, &AuditRecorder::stateText);
    log.open(folder.path(), QStringLiteral("panel"), QStringLiteral("s1"), QStringLiteral("lab"),
             QString());
    QTRY_COMPARE(log.head().seq, 2);
    QDirIterator found(folder.filePath(QStringLiteral("panel")), {"*.jsonl"}, QDir::Files);
    QVERIFY(found.hasNext() && QFile::remove(found.next()));
    // A run with the port closed: refused, and audited as refused.
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("Cmdr")), Qt::LeftButton);
    QTRY_COMPARE(said.size(), 1);
    QVERIFY2(said[0][0].toString().contains(QStringLiteral("已被删除")),
             qPrintable(said[0][0].toString()));
    const auto &events = form.runRecord().events();
    QVERIFY(std::any_of(events.cbegin(), events.cend(), [](const RunRecord::Event &event) {
        return event.key == u"audit-reopened" && event.text.contains(QStringLiteral("已被删除"));
    }));
    QTRY_COMPARE(log.head().seq, 4); // the new file's file-start, then the refused run
}

QTEST_MAIN(TestAuditWiring)
#include "tst_auditwiring.moc"
