#include "app/maintenancedialog.h"
#include "app/pumpcare.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"
#include "tests/support/fakeline.h"
#include "tests/support/scriptedboxes.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using CareCounter::Kind;

// Pump care as the panel feeds it: a pump session on a line of the test's own, the boot clock
// and the file writes in the test's hands.
class TestPumpCare : public QObject
{
    Q_OBJECT

    struct Panel
    {
        explicit Panel(const QString &folder)
        {
            session.setWallClock([this] { return wall; });
            care.setFolder(folder);
            care.setBootClock([this] { return bootMs; });
            care.setWallClock([this] { return wall; });
            care.setWriteFunction([this](const QString &path, const QByteArray &bytes) {
                if (diskFull)
                    return QStringLiteral("设备上没有空间");
                ++writes;
                return CareFile::writeWhole(path, bytes);
            });
        }
        QString open(const QString &device)
        {
            line.named.clear();
            return session.open(device, QStringLiteral("通信"));
        }
        void send(const char *frame) { QCOMPARE(session.send(QString::fromLatin1(frame), "键盘"), QString()); }
        void reply(const char *frame)
        {
            line.inbound = frame;
            session.dataArrived();
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
            return file.open(QIODevice::ReadOnly) ? CareBook::decode(file.readAll(), &problem).value_or(CareBook{})
                                                  : CareBook{};
        }

        FakeLine line;
        FakeReconnector reconnector;
        RunRecord record;
        AlarmMonitor alarms{{[] { return qint64(0); }, [] { return QDateTime(); }}};
        PumpSession session{&line, &reconnector, &record, &alarms};
        PumpCare care{&session, [this] { return reconnector.device(); }};
        QDateTime wall{QDate(2026, 5, 4), QTime(10, 0)};
        qint64 bootMs = 1'000'000;
        bool diskFull = false;
        int writes = 0;
    };

private Q_SLOTS:
    void owedStopCountsOnceSent();
    void wallClockSetBackChangesNothing();
    void adapterReplacedHasItsOwnCounters();
    void pumpNumberChangedMidRun();
    void fullDiskKeepsCounting();
    void writtenAtEveryStopAndOnTime();
    void dueAndServiced();
    void dialogSetsLimitsAndServices();
    void reportAndPublishedState();
};

void TestPumpCare::owedStopCountsOnceSent()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QCOMPARE(panel.open("/dev/fake1"), QString());
    panel.send("Q00L0600Y");
    panel.send("Q00R0000Y");
    panel.bootMs += 30'000;
    panel.session.lineFailed(QStringLiteral("拔出"));
    // The operator's stop cannot go out: owed, and the pump runs on meanwhile.
    QVERIFY(!panel.session.sendStop(QStringLiteral("键盘"), QStringLiteral("操作员停止")));
    QVERIFY(panel.session.pendingStop().isPending());
    panel.bootMs += 30'000;
    QCOMPARE(panel.value(Kind::Volume), 600.0);
    QVERIFY(panel.line.openDevicePath("/dev/fake1"));
    panel.session.lineBack(QStringLiteral("/dev/fake1"));
    QCOMPARE(panel.line.written.last(), QStringLiteral("Q00S0000Y"));
    panel.bootMs += 60'000;
    QCOMPARE(panel.value(Kind::Volume), 600.0);
    QCOMPARE(panel.value(Kind::RunTime), 1 / 60.0);
    // Written at the stop.
    QCOMPARE(panel.stored().values[int(Kind::Volume)], 600.0);
}

void TestPumpCare::wallClockSetBackChangesNothing()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QCOMPARE(panel.open("/dev/fake1"), QString());
    panel.send("Q00L0300Y");
    panel.send("Q00R0000Y");
    panel.wall = panel.wall.addSecs(-3600);
    panel.bootMs += 60'000;
    panel.send("Q00S0000Y");
    QCOMPARE(panel.value(Kind::Volume), 300.0);
    QCOMPARE(panel.value(Kind::Starts), 1.0);
}

void TestPumpCare::adapterReplacedHasItsOwnCounters()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QCOMPARE(panel.open("/dev/fake1"), QString());
    panel.send("Q00L0600Y");
    panel.send("Q00R0000Y");
    panel.bootMs += 60'000;
    const QString first = panel.care.filePath();
    // Another adapter over the open line: the first one's counting ends there, written.
    QCOMPARE(panel.open("/dev/fake2"), QString());
    QVERIFY(panel.care.filePath() != first);
    panel.bootMs += 60'000;
    QCOMPARE(panel.value(Kind::Volume), 0.0);
    panel.send("Q00R0000Y");
    panel.bootMs += 30'000;
    panel.send("Q00S0000Y");
    // Its flow came with the first adapter's pump: not known here.
    QCOMPARE(panel.value(Kind::Volume), 0.0);
    QCOMPARE(panel.value(Kind::Starts), 1.0);
    // And back: the first adapter's counters as they were left.
    QCOMPARE(panel.open("/dev/fake1"), QString());
    QCOMPARE(panel.care.filePath(), first);
    QCOMPARE(panel.value(Kind::Volume), 600.0);
}

void TestPumpCare::pumpNumberChangedMidRun()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QCOMPARE(panel.open("/dev/fake1"), QString());
    panel.send("Q00L0100Y");
    panel.send("Q00R0000Y");
    panel.bootMs += 60'000;
    // The keypad's frame to pump 3 and the reply: run and stop reach every pump on the line.
    panel.send("Q03L0200Y");
    panel.reply("Q03L0200Y");
    panel.bootMs += 60'000;
    panel.send("Q00S0000Y");
    QCOMPARE(panel.value(Kind::Volume), 300.0);
}

void TestPumpCare::fullDiskKeepsCounting()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QSignalSpy state(&panel.care, &PumpCare::stateTextChanged);
    QCOMPARE(panel.open("/dev/fake1"), QString());
    panel.send("Q00L0600Y");
    panel.send("Q00R0000Y");
    panel.diskFull = true;
    panel.bootMs += 60'000;
    panel.send("Q00S0000Y");
    QVERIFY2(panel.care.stateText().contains(QStringLiteral("计数保留在内存中")),
             qPrintable(panel.care.stateText()));
    QCOMPARE(panel.value(Kind::Volume), 600.0);
    panel.diskFull = false;
    panel.care.writeNow();
    QCOMPARE(panel.care.stateText(), QString());
    QCOMPARE(panel.stored().values[int(Kind::Volume)], 600.0);
    QCOMPARE(state.count(), 2);
}

void TestPumpCare::writtenAtEveryStopAndOnTime()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    panel.care.setWriteInterval(std::chrono::milliseconds(20));
    QCOMPARE(panel.open("/dev/fake1"), QString());
    panel.send("Q00L0600Y");
    panel.send("Q00R0000Y");
    // While it runs, each turn of the writer finds more counted.
    for (int turn = 1; turn <= 3; ++turn) {
        panel.bootMs += 10'000;
        QTRY_COMPARE(panel.stored().values[int(Kind::Volume)], 100.0 * turn);
    }
    panel.bootMs += 5'000;
    panel.send("Q00S0000Y");
    QCOMPARE(panel.stored().values[int(Kind::Volume)], 350.0);
    // Stopped: nothing changes, nothing is written.
    const int writes = panel.writes;
    QTest::qWait(100);
    QCOMPARE(panel.writes, writes);
}

void TestPumpCare::dueAndServiced()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QSignalSpy reset(&panel.care, &PumpCare::counterReset);
    QCOMPARE(panel.open("/dev/fake1"), QString());
    std::array<QString, CareCounter::kCount> limits;
    limits[int(Kind::Volume)] = QStringLiteral("1000");
    limits[int(Kind::RunTime)] = QStringLiteral("0");
    QVERIFY2(panel.care.setLimits(limits).contains(CareCounter::name(Kind::RunTime)),
             qPrintable(panel.care.setLimits(limits)));
    QCOMPARE(panel.stored().limits[int(Kind::Volume)], std::nullopt);
    limits[int(Kind::RunTime)].clear();
    QCOMPARE(panel.care.setLimits(limits), QString());
    panel.send("Q00L0100Y");
    panel.send("Q00R0000Y");
    panel.bootMs += 8 * 60'000;
    panel.reply("Q00N00.5Y");
    QVERIFY(panel.events("care-due").isEmpty());
    panel.bootMs += 60'000 + 12'000;
    panel.reply("Q00N00.5Y");
    QCOMPARE(panel.care.stateText(), QStringLiteral("维护：密封圈已用 92 %"));
    QCOMPARE(panel.events("care-due").size(), 1);
    panel.bootMs += 60'000;
    panel.reply("Q00N00.5Y");
    QVERIFY2(panel.care.stateText().contains(QStringLiteral("已到期")), qPrintable(panel.care.stateText()));
    QCOMPARE(panel.events("care-due").size(), 2);
    // Due until serviced, stopped or not.
    panel.send("Q00S0000Y");
    QVERIFY(panel.care.stateText().contains(QStringLiteral("已到期")));

    panel.care.serviced(Kind::Volume, QStringLiteral("王工"), QStringLiteral("换密封圈"));
    QCOMPARE(panel.care.stateText(), QString());
    QCOMPARE(panel.value(Kind::Volume), 0.0);
    QCOMPARE(panel.value(Kind::Starts), 1.0);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(reset.first().at(1).toString(), QStringLiteral("1020.0 ml"));
    const QStringList texts = panel.events("care-reset");
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.first().contains(QStringLiteral("1020.0 ml")) && texts.first().contains(QStringLiteral("换密封圈")),
             qPrintable(texts.first()));
    const CareBook stored = panel.stored();
    QCOMPARE(stored.values[int(Kind::Volume)], 0.0);
    QCOMPARE(stored.services[int(Kind::Volume)].who, QStringLiteral("王工"));
    QCOMPARE(stored.limits[int(Kind::Volume)], std::optional<double>(1000));
}

void TestPumpCare::dialogSetsLimitsAndServices()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QCOMPARE(panel.open("/dev/fake1"), QString());
    panel.send("Q00L0600Y");
    panel.send("Q00R0000Y");
    panel.bootMs += 60'000;
    panel.send("Q00S0000Y");
    ScriptedBoxes boxes;
    MaintenanceDialog dialog(&panel.care, &boxes, QStringLiteral("李工"));
    dialog.show();
    QCOMPARE(dialog.findChild<QLabel *>("careValue_volumeMl")->text(), QStringLiteral("600.0 ml"));
    QLineEdit *volume = dialog.findChild<QLineEdit *>("careLimit_volumeMl");
    QLineEdit *starts = dialog.findChild<QLineEdit *>("careLimit_starts");
    QVERIFY(volume && starts);
    QVERIFY(!dialog.findChild<QLineEdit *>("careLimit_highestMPa"));
    volume->setText(QStringLiteral("500"));
    starts->setText(QStringLiteral("2e3"));
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    // Refused, naming the field; nothing set and the dialog stays.
    QCOMPARE(boxes.messages.size(), 1);
    QVERIFY2(boxes.messages.first().prompt.contains(QStringLiteral("启动次数")),
             qPrintable(boxes.messages.first().prompt));
    QVERIFY(dialog.isVisible());
    QCOMPARE(panel.stored().limits[int(Kind::Volume)], std::nullopt);
    starts->setText(QStringLiteral("2000"));
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(panel.stored().limits[int(Kind::Volume)], std::optional<double>(500));
    QCOMPARE(panel.stored().limits[int(Kind::Starts)], std::optional<double>(2000));
    QVERIFY(panel.care.stateText().contains(QStringLiteral("已到期")));

    // 已维护 without a remark resets nothing; with one, the counter and its service.
    dialog.show();
    QPushButton *serviced = dialog.findChild<QPushButton *>("careServiced_volumeMl");
    serviced->click();
    QCOMPARE(panel.value(Kind::Volume), 600.0);
    boxes.answers << QStringLiteral("更换密封圈");
    serviced->click();
    QCOMPARE(panel.value(Kind::Volume), 0.0);
    QVERIFY2(dialog.findChild<QLabel *>("careService_volumeMl")->text().contains(QStringLiteral("李工，更换密封圈")),
             qPrintable(dialog.findChild<QLabel *>("careService_volumeMl")->text()));
    QCOMPARE(panel.care.stateText(), QString());
}

void TestPumpCare::reportAndPublishedState()
{
    QTemporaryDir folder;
    Panel panel(folder.path());
    QCOMPARE(panel.open("/dev/fake1"), QString());
    panel.send("Q00L0600Y");
    const QDateTime first = panel.wall;
    panel.send("Q00R0000Y");
    panel.bootMs += 60'000;
    panel.wall = panel.wall.addSecs(60);
    panel.send("Q00S0000Y");
    // A second run five minutes later, half a minute long.
    panel.bootMs += 240'000;
    panel.wall = panel.wall.addSecs(240);
    const QDateTime second = panel.wall;
    panel.send("Q00R0000Y");
    for (int reading = 0; reading < 20; ++reading) {
        panel.bootMs += 1500;
        panel.wall = panel.wall.addMSecs(1500);
        panel.reply("Q00N01.0Y");
    }
    panel.send("Q00S0000Y");
    const qint64 end = panel.wall.toMSecsSinceEpoch() + 1000;
    QVERIFY2(panel.care.reportText(second.toMSecsSinceEpoch() - 1000, end)
                 .startsWith(QStringLiteral("本次泵送 300.0 ml；累计：泵送体积 900.0 ml")),
             qPrintable(panel.care.reportText(second.toMSecsSinceEpoch() - 1000, end)));
    QVERIFY(panel.care.reportText(first.toMSecsSinceEpoch() - 1000, end)
                .startsWith(QStringLiteral("本次泵送 900.0 ml")));

    std::array<QString, CareCounter::kCount> limits;
    limits[int(Kind::Starts)] = QStringLiteral("2");
    QCOMPARE(panel.care.setLimits(limits), QString());
    const QJsonObject state = panel.care.stateObject();
    QCOMPARE(state.value("adapter").toString(), QStringLiteral("/dev/fake1"));
    QCOMPARE(state.value("volumeMl").toDouble(), 900.0);
    QCOMPARE(state.value("starts").toDouble(), 2.0);
    QCOMPARE(state.value("highestMPa").toDouble(), 1.0);
    // 20 readings held 1.5 s each at 1 MPa and 600 ml/min, the last one's interval still open.
    QVERIFY(qAbs(state.value("pressureLoadMPaL").toDouble() - 0.285) < 1e-9);
    QCOMPARE(state.value("limits").toObject().value("starts").toDouble(), 2.0);
    QCOMPARE(state.value("due").toArray(), QJsonArray{QStringLiteral("starts")});
}

QTEST_MAIN(TestPumpCare)
#include "tst_pumpcare.moc"
