#include "app/form1.h"
#include "app/historywindow.h"
#include "app/pumpcare.h"
#include "platform/serialcontrol.h"
#include "program/programcontrol.h"
#include "program/programfile.h"
#include "app/programpanel.h"
#include "tests/faults/simulatedpump.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using CareCounter::Kind;

namespace {

constexpr int kWaitMs = 60'000;

bool openPort(Form1 &form, ScriptedBoxes &boxes, const QString &device)
{
    form.serialControl()->setPortMap({{1, device}});
    boxes.answers << QStringLiteral("1");
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    return form.serialControl()->portOpen() && boxes.messages.isEmpty();
}

// The simulator's timeline: each command obeyed with its time, and the volume it had
// delivered by then in the last column.
struct Obeyed
{
    QDateTime time;
    QString frame;
    double deliveredMl = 0;
};

QList<Obeyed> timeline(const QString &path)
{
    QList<Obeyed> obeyed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return obeyed;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 5)
            continue;
        const QList<QByteArray> head = fields.first().split(' ');
        obeyed.append({QDateTime::fromString(QString::fromLatin1(head.value(0)), Qt::ISODateWithMs),
                       QString::fromLatin1(head.value(1)), fields.at(4).toDouble()});
    }
    return obeyed;
}

// The panel killed by the test: opens the pump's line, runs it at 600 ml/min and waits.
int runChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.care()->setFolder(QString::fromLocal8Bit(argv[2]));
    if (!openPort(form, boxes, QString::fromLocal8Bit(argv[3])))
        return 3;
    form.session()->send(QStringLiteral("Q00L0600Y"), QStringLiteral("测试"));
    form.session()->send(QStringLiteral("Q00R0000Y"), QStringLiteral("测试"));
    std::puts("running");
    std::fflush(stdout);
    return app.exec();
}

} // namespace

// Pump care against the simulated pump on a pseudo-terminal: the volume the panel counts beside
// the one the pump delivered, and what is left of the counting after the panel is killed.
class TestCarePump : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void volumeMatchesThePump();
    void killedPanelLosesAtMostTenSeconds();
};

void TestCarePump::volumeMatchesThePump()
{
    QTemporaryDir folder;
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.care()->setFolder(folder.filePath(QStringLiteral("care")));
    form.setPollInterval(std::chrono::milliseconds(250));
    SimulatedPump pump(folder.path());
    const QString link = folder.filePath(QStringLiteral("usb-pump"));
    const QString timelinePath = folder.filePath(QStringLiteral("timeline.txt"));
    QString error;
    // Away for 1.5 s some 20 frames in, polls among them: in the ramp.
    QVERIFY2(pump.start({"--time-constant-s", "0.2", "--noise-mpa", "0", "--link", link,
                         "--timeline", timelinePath, "--vanish-after", "20", "--vanish-for", "1.5"},
                        &error),
             qPrintable(error));
    QVERIFY(openPort(form, boxes, link));
    const ProgramFile::Loaded loaded = ProgramFile::read(R"({"format": 1, "name": "care",
        "pump": 0, "onLinkLost": "pause",
        "steps": [{"set": {"flow": 300, "limit": 1.9}}, {"run": true}, {"hold": {"seconds": 2}},
                  {"ramp": {"flow": 600, "seconds": 6}}, {"hold": {"seconds": 2}},
                  {"set": {"flow": 150}}, {"hold": {"seconds": 3}}],
        "end": [{"stop": true}]})");
    QVERIFY2(loaded.program, qPrintable(loaded.problem));
    ProgramControl *program = form.programs()->control();
    QCOMPARE(program->start(*loaded.program, QString()), QString());
    QTRY_COMPARE_WITH_TIMEOUT(program->stateWord(), QStringLiteral("ended"), kWaitMs);

    QList<Obeyed> obeyed;
    QTRY_VERIFY_WITH_TIMEOUT(!(obeyed = timeline(timelinePath)).isEmpty() &&
                                 obeyed.last().frame == u"Q00S0000Y",
                             kWaitMs);
    QStringList keys;
    for (const RunRecord::Event &event : form.runRecord().events())
        keys << event.key;
    QVERIFY2(keys.contains(QStringLiteral("link-lost")) && keys.contains(QStringLiteral("link-back")),
             qPrintable(keys.join(u' ')));
    const double pumped = obeyed.last().deliveredMl;
    const double counted = form.care()->book().values[int(Kind::Volume)];
    qInfo("panel %.3f ml, pump %.3f ml", counted, pumped);
    QVERIFY2(pumped > 50 && std::abs(counted - pumped) <= pumped * 0.005,
             qPrintable(QStringLiteral("panel %1 ml, pump %2 ml").arg(counted).arg(pumped)));
    QCOMPARE(form.care()->book().values[int(Kind::Starts)], 1.0);
    // The history window says the counters in a line under the curve.
    form.findChild<QAction *>(QStringLiteral("history"))->trigger();
    const QLabel *line = form.historyWindow()->findChild<QLabel *>(QStringLiteral("historyCare"));
    QVERIFY(line && line->isVisible());
    QVERIFY2(line->text().contains(CareCounter::valueText(Kind::Volume, counted)), qPrintable(line->text()));
}

void TestCarePump::killedPanelLosesAtMostTenSeconds()
{
    QTemporaryDir folder;
    const QString careFolder = folder.filePath(QStringLiteral("care"));
    SimulatedPump pump(folder.path());
    const QString link = folder.filePath(QStringLiteral("usb-pump"));
    const QString timelinePath = folder.filePath(QStringLiteral("timeline.txt"));
    QString error;
    QVERIFY2(pump.start({"--link", link, "--timeline", timelinePath}, &error), qPrintable(error));

    QProcess panel;
    panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    panel.start(QCoreApplication::applicationFilePath(), {"--child", careFolder, link});
    QTRY_VERIFY_WITH_TIMEOUT(panel.canReadLine(), kWaitMs);
    QCOMPARE(panel.readLine(), QByteArray("running\n"));
    QList<Obeyed> obeyed;
    QTRY_VERIFY_WITH_TIMEOUT((obeyed = timeline(timelinePath)).size() == 2, kWaitMs);
    QCOMPARE(obeyed.last().frame, QStringLiteral("Q00R0000Y"));
    // Long enough for a write or two on the 10 s turn, and killed between turns.
    QTest::qWait(25'000);
    panel.kill();
    const QDateTime killed = QDateTime::currentDateTime();
    QVERIFY(panel.waitForFinished(kWaitMs));
    const double ranMl = 600.0 * double(obeyed.last().time.msecsTo(killed)) / 60'000.0;

    // The panel again on the same adapter: the counters as they were last written.
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.care()->setFolder(careFolder);
    QVERIFY(openPort(form, boxes, link));
    const CareBook book = form.care()->book();
    const double kept = book.values[int(Kind::Volume)];
    const double tenSecondsMl = 600.0 * 10 / 60;
    qInfo("kept %.3f ml of %.3f ml run before the kill", kept, ranMl);
    // Milliseconds of wire and process start on either side, and half a second for a timer
    // held up on a busy machine.
    QVERIFY2(kept <= ranMl + 1 && kept >= ranMl - tenSecondsMl - 5,
             qPrintable(QStringLiteral("kept %1 ml of %2 ml run").arg(kept).arg(ranMl)));
    QCOMPARE(book.values[int(Kind::Starts)], 1.0);
    QCOMPARE(book.flowMlPerMin, std::optional<double>(600));
    // It does not know the pump still runs: nothing more is counted until it is told.
    QTest::qWait(300);
    QCOMPARE(form.care()->book().values[int(Kind::Volume)], kept);
    form.session()->send(QStringLiteral("Q00S0000Y"), QStringLiteral("测试"));
}

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QApplication app(argc, argv);
    TestCarePump test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_carepump.moc"
