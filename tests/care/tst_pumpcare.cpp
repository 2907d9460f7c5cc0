#include "app/maintenancedialog.h"
#include "app/pumpcare.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"
#include "tests/support/fakeline.h"
#include "tests/support/scriptedboxes.h"

#include <QDialogButtonBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using CareCounter::Kind;

// Pump care as the panel feeds it: a pump session on a line of the test's own, the boot clock,
// the wall clock and the file writes in the test's hands.
struct Panel
{
    explicit Panel(const QString &folder)
    {
        session.setWallClock([this] { return wall; });
        care.setFolder(folder);
        care.setBootClock([this] { return bootMs; });
        care.setWallClock([this] { return wall; });
        care.setWriteFunction([this](const QString &path, const QByteArray &bytes) {
            ++writes;
            return diskFull ? QStringLiteral("设备上没有空间") : CareFile::writeWhole(path, bytes);
        });
    }
    bool open(const char *device) { return session.open(QString::fromLatin1(device)).isEmpty(); }
    void send(const char *frame) { session.send(QString::fromLatin1(frame), QStringLiteral("键盘")); }
    void reply(const char *frame)
    {
        line.inbound = frame;
        session.dataArrived();
    }
    void pass(qint64 ms)
    {
        bootMs += ms;
        wall = wall.addMSecs(ms);
    }
    QStringList events(const char *key) const
    {
        QStringList texts;
        for (const RunRecord::Event &event : record.events())
            if (event.key == QLatin1String(key))
                texts << event.text;
        return texts;
    }
    double value(Kind kind) { return care.book().values[int(kind)]; }
    CareBook stored() const
    {
        QFile file(care.filePath());
        QString problem;
        return file.open(QIODevice::ReadOnly)
                   ? CareBook::decode(file.readAll(), &problem).value_or(CareBook{})
                   : CareBook{};
    }

    FakeLine line;
    FakeReconnector reconnector;
    RunRecord record;
    AlarmMonitor alarms{{[] { return qint64(0); }, [] { return QDateTime(); }}};
    PumpSession session{&line, &reconnector, &record, &alarms};
    QDateTime wall{QDate(2026, 5, 4), QTime(10, 0)};
    qint64 bootMs = 1'000'000;
    bool diskFull = false;
    int writes = 0;
    PumpCare care{&session, [this] { return reconnector.device(); }}; // last: it writes at its end
};

class TestPumpCare : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void countsWhileKnownToRun();
    void adapterReplacedHasItsOwnCounters();
    void writtenOnTimeAtStopsAndAfterAFullDisk();
    void dueAndServicedThroughTheDialog();
    void reportAndPublishedState();
};

void TestPumpCare::countsWhileKnownToRun()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QVERIFY(panel.open("/dev/fake1"));
    panel.send("Q00L0600Y");
    panel.send("Q00R0000Y");
    panel.pass(30'000);
    // Another pump number's flow, and its reply: run and stop reach every pump on the line.
    panel.send("Q03L0300Y");
    panel.reply("Q03L0300Y");
    // A clock set back an hour changes nothing.
    panel.wall = panel.wall.addSecs(-3600);
    panel.session.lineFailed(QStringLiteral("拔出"));
    // The stop is owed, and the pump runs on until it goes out.
    QVERIFY(!panel.session.sendStop(QStringLiteral("键盘"), PendingStop::Cause::Operator,
                                    QStringLiteral("操作员停止")));
    panel.pass(30'000);
    QVERIFY(panel.line.openDevicePath("/dev/fake1"));
    panel.session.lineBack(QStringLiteral("/dev/fake1"));
    QCOMPARE(panel.line.written.last(), QStringLiteral("Q00S0000Y"));
    panel.pass(60'000);
    QCOMPARE(panel.value(Kind::Volume), 450.0);
    QCOMPARE(panel.value(Kind::RunTime), 1 / 60.0);
    // Written at the stop.
    QCOMPARE(panel.stored().values[int(Kind::Volume)], 450.0);
}

void TestPumpCare::adapterReplacedHasItsOwnCounters()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QVERIFY(panel.open("/dev/fake1"));
    panel.send("Q00L0600Y");
    panel.send("Q00R0000Y");
    panel.pass(60'000);
    const QString first = panel.care.filePath();
    // Another adapter over the open line, whose counter file is damaged: the first one's
    // counting ends there, and the second's starts afresh beside its file, which is named.
    const QString damaged = QDir(folder.path()).filePath(CareFile::fileName("/dev/fake2"));
    QCOMPARE(CareFile::writeWhole(damaged, "{\"format\": 1, \"counters\": "), QString());
    QVERIFY(panel.open("/dev/fake2"));
    QVERIFY(panel.care.filePath() != first && panel.care.filePath() != damaged);
    QVERIFY2(panel.care.stateText().contains(damaged), qPrintable(panel.care.stateText()));
    panel.send("Q00R0000Y");
    panel.pass(60'000);
    panel.send("Q00S0000Y");
    // The flow went to the first adapter's pump: not known here.
    QCOMPARE(panel.value(Kind::Volume), 0.0);
    QCOMPARE(panel.value(Kind::Starts), 1.0);
    QVERIFY(panel.open("/dev/fake1"));
    QCOMPARE(panel.care.filePath(), first);
    QCOMPARE(panel.value(Kind::Volume), 600.0);
}

void TestPumpCare::writtenOnTimeAtStopsAndAfterAFullDisk()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    panel.care.setWriteInterval(std::chrono::milliseconds(20));
    QVERIFY(panel.open("/dev/fake1"));
    panel.send("Q00L0600Y");
    panel.send("Q00R0000Y");
    for (int turn = 1; turn <= 2; ++turn) {
        panel.pass(10'000);
        QTRY_COMPARE(panel.stored().values[int(Kind::Volume)], 100.0 * turn);
    }
    // A full disk: counting goes on in memory, said, and is written when it can be.
    panel.diskFull = true;
    panel.pass(10'000);
    panel.send("Q00S0000Y");
    QVERIFY2(panel.care.stateText().contains(QStringLiteral("计数保留在内存中")),
             qPrintable(panel.care.stateText()));
    QCOMPARE(panel.stored().values[int(Kind::Volume)], 200.0);
    panel.diskFull = false;
    QTRY_COMPARE(panel.stored().values[int(Kind::Volume)], 300.0);
    QCOMPARE(panel.care.stateText(), QString());
    // Stopped: nothing changes, nothing is written.
    const int writes = panel.writes;
    QTest::qWait(100);
    QCOMPARE(panel.writes, writes);
}

void TestPumpCare::dueAndServicedThroughTheDialog()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QSignalSpy reset(&panel.care, &PumpCare::counterReset);
    QVERIFY(panel.open("/dev/fake1"));
    ScriptedBoxes boxes;
    MaintenanceDialog dialog(&panel.care, &boxes, QStringLiteral("李工"));
    dialog.show();
    QVERIFY(!dialog.findChild<QLineEdit *>("careLimit_highestMPa"));
    dialog.findChild<QLineEdit *>("careLimit_volumeMl")->setText(QStringLiteral("1000"));
    dialog.findChild<QLineEdit *>("careLimit_starts")->setText(QStringLiteral("1000000001"));
    QPushButton *ok = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    ok->click();
    // Over 10^9: refused, naming the field; nothing set, and the dialog stays.
    QCOMPARE(boxes.messages.size(), 1);
    QVERIFY2(boxes.messages.first().prompt.contains(QStringLiteral("启动次数")),
             qPrintable(boxes.messages.first().prompt));
    QVERIFY(dialog.isVisible() && !panel.care.book().limits[int(Kind::Volume)]);
    dialog.findChild<QLineEdit *>("careLimit_starts")->clear();
    ok->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(panel.stored().limits[int(Kind::Volume)], std::optional<double>(1000));

    panel.send("Q00L0100Y");
    panel.send("Q00R0000Y");
    panel.pass(8 * 60'000);
    panel.reply("Q00N00.5Y");
    QVERIFY(panel.events("care-due").isEmpty());
    panel.pass(72'000);
    panel.reply("Q00N00.5Y");
    QCOMPARE(panel.care.stateText(), QStringLiteral("维护：密封圈已用 92 %"));
    QCOMPARE(panel.events("care-due").size(), 1);
    panel.pass(60'000);
    panel.send("Q00S0000Y");
    // Due until serviced, stopped or not.
    QVERIFY(panel.care.stateText().contains(QStringLiteral("已到期")));
    QCOMPARE(panel.events("care-due").size(), 2);

    // 已维护 without a remark resets nothing; with one, the counter, its service and an event.
    dialog.show();
    QPushButton *serviced = dialog.findChild<QPushButton *>("careServiced_volumeMl");
    serviced->click();
    QCOMPARE(panel.value(Kind::Volume), 1020.0);
    boxes.answers << QStringLiteral("更换密封圈");
    serviced->click();
    QCOMPARE(panel.value(Kind::Volume), 0.0);
    QCOMPARE(panel.value(Kind::Starts), 1.0);
    QCOMPARE(panel.care.stateText(), QString());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(reset.first().at(1).toString(), QStringLiteral("1020.0 ml"));
    QCOMPARE(panel.events("care-reset"),
             QStringList{QStringLiteral("泵送体积：1020.0 ml 归零（李工；更换密封圈）")});
    QVERIFY(dialog.findChild<QLabel *>("careService_volumeMl")->text().endsWith("李工，更换密封圈"));
    QCOMPARE(panel.stored().services[int(Kind::Volume)].remark, QStringLiteral("更换密封圈"));
}

void TestPumpCare::reportAndPublishedState()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QVERIFY(panel.open("/dev/fake1"));
    panel.send("Q00L0600Y");
    const qint64 first = panel.wall.toMSecsSinceEpoch();
    panel.send("Q00R0000Y");
    panel.pass(60'000);
    panel.send("Q00S0000Y");
    panel.pass(240'000);
    // A second run, of twenty readings at 1 MPa.
    const qint64 second = panel.wall.toMSecsSinceEpoch();
    panel.send("Q00R0000Y");
    for (int reading = 0; reading < 20; ++reading) {
        panel.pass(1500);
        panel.reply("Q00N01.0Y");
    }
    panel.send("Q00S0000Y");
    const qint64 end = panel.wall.toMSecsSinceEpoch() + 1000;
    QVERIFY2(panel.care.reportText(second - 1000, end)
                 .startsWith(QStringLiteral("本次泵送 300.0 ml；累计：泵送体积 900.0 ml")),
             qPrintable(panel.care.reportText(second - 1000, end)));
    QVERIFY(panel.care.reportText(first - 1000, end).startsWith(QStringLiteral("本次泵送 900.0 ml")));

    std::array<QString, CareCounter::kCount> limits;
    limits[int(Kind::Starts)] = QStringLiteral("2");
    QCOMPARE(panel.care.setLimits(limits), QString());
    const QJsonObject state = panel.care.stateObject();
    QCOMPARE(state.value("adapter").toString(), QStringLiteral("/dev/fake1"));
    QCOMPARE(state.value("volumeMl").toDouble(), 900.0);
    QCOMPARE(state.value("highestMPa").toDouble(), 1.0);
    // 19 intervals of 15 ml at 1 MPa; the last one's waits for a reading.
    QVERIFY(qAbs(state.value("pressureLoadMPaL").toDouble() - 0.285) < 1e-9);
    QCOMPARE(state.value("limits").toObject().value("starts").toDouble(), 2.0);
    QCOMPARE(state.value("due").toArray(), QJsonArray{QStringLiteral("starts")});
}

QTEST_MAIN(TestPumpCare)
#include "tst_pumpcare.moc"
