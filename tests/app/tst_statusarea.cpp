#include "app/besidepanel.h"
#include "app/form1.h"
#include "app/statusrow.h"
#include "platform/serialcontrol.h"
#include "session/pumpsession.h"
#include "tests/support/panelport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The status area as the operator reads it after a start that found an interrupted timed run,
// during an outage with alarms raised: every line on a row of its own.
class TestStatusArea : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void interruptedRunThenOutageShowEveryLine();
    void settingsReadStrictlyAreTold();
    void heldStopBoxClosesOnceSettled();
    void ownWindowsOpenBesideThePanel_data();
    void ownWindowsOpenBesideThePanel();
};

void TestStatusArea::interruptedRunThenOutageShowEveryLine()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    QTemporaryDir folder;
    const QString journal = folder.filePath(QStringLiteral("run.json"));
    ScriptedBoxes boxes;
    auto first = std::make_unique<Form1>(&boxes);
    first->runJournal().setPath(journal);
    QVERIFY(openPanelPort(*first, boxes, pty));
    boxes.answers << QStringLiteral("5");
    for (const char *item : {"stset", "ststart", "stend"})
        first->findChild<QAction *>(QLatin1String(item))->trigger();
    // Fault: a run ended with 结束 keeps its journal; one that counts leaves none behind a kill.
    QVERIFY(!QFile::exists(journal));
    first->findChild<QAction *>(QStringLiteral("ststart"))->trigger();
    QVERIFY(QFile::exists(journal));
    first.reset(), pty.readAvailable();

    Form1 form(&boxes);
    form.runJournal().setPath(journal);
    form.programStarted();
    const QLabel *runState = form.findChild<QLabel *>(QStringLiteral("runState"));
    QVERIFY2(runState->text().contains(pty.slavePath()), qPrintable(runState->text()));
    QCOMPARE(form.runRecord().events().last().key, QStringLiteral("run-interrupted"));
    QVERIFY(openPanelPort(form, boxes, pty));
    AlarmSettings alarms;
    alarms.high = {true, 1.0, false};
    alarms.link = {true, AlarmSettings::kShortestSeconds, true};
    form.alarms()->setSettings(alarms);
    form.session()->alarmsChanged();
    form.showLogNotice(QString(500, u'志'));
    QVERIFY(pty.writeAll("Q00N01.4YQ00N01.5YQ00N01.6Y"));
    QTRY_COMPARE_WITH_TIMEOUT(form.alarms()->latched().size(), 1, 5000);
    // Fault: the panel decides for the operator and sends a run or stop by itself.
    const QByteArray sent = pty.readAvailable();
    QVERIFY(!sent.contains("Q00R") && !sent.contains("Q00S") && !runState->isHidden());
    pty.hangUp();
    // The link's alarm wants a stop the line cannot take: owed, on a row of its own.
    QTRY_COMPARE_WITH_TIMEOUT(form.alarms()->latched().size(), 2, 10000);

    const QWidget *area = form.findChild<QWidget *>(QStringLiteral("statusArea"));
    QList<QWidget *> shown = area->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    shown.removeIf([](const QWidget *each) { return each->isHidden(); });
    std::sort(shown.begin(), shown.end(), [](auto *a, auto *b) { return a->y() < b->y(); });
    // The operator's STOP in the outage joins the owed stop: one row, both causes.
    form.findChild<QPushButton *>(QStringLiteral("Cmds"))->click();
    QCOMPARE(boxes.messages.last().prompt, PumpSession::heldStopText());
    QStringList said;
    QHash<QString, QString> drawn; // each row's name and the text it draws, its lines joined
    for (const QWidget *each : std::as_const(shown)) {
        // Fault: rows drawn over each other or past the area's edge.
        QVERIFY2(area->rect().contains(each->geometry()), qPrintable(each->objectName()));
        for (const QWidget *other : std::as_const(shown))
            QVERIFY(each == other || !each->geometry().intersects(other->geometry()));
        const auto *row = qobject_cast<const QLabel *>(each);
        if (!row)
            continue;
        said << row->objectName();
        if (const auto *drawnRow = qobject_cast<const StatusRow *>(row)) {
            drawn[row->objectName()] += drawnRow->shownLines().join(QString()) + u'\n';
            // Fault: an alarm cut to one line while the area had room for the rest of it.
            if (row->objectName() == u"alarmBanner")
                QCOMPARE(drawnRow->shownLines().join(QString()), row->text());
        }
        // Fault: a row cut in height, or a long text cut off with nothing to show the rest.
        QVERIFY2(row->height() >= row->fontMetrics().height(), qPrintable(row->text()));
        QCOMPARE(row->toolTip(), row->text());
        QCOMPARE(row->accessibleDescription(), row->text());
    }
    // Fault: the owed stop only inside the link's text, or the old note over the alarms.
    QCOMPARE(said, (QStringList{"alarmBanner", "alarmBanner", "stopState", "runState", "linkState",
                                "logState"}));
    // Fault: key words only in a tooltip, or an alarm's value cut or under its button.
    const QString high = AlarmMonitor::name(AlarmMonitor::Kind::High);
    QVERIFY2(drawn.value("alarmBanner").contains(high + QStringLiteral("：01.6")),
             qPrintable(drawn.value("alarmBanner")));
    QVERIFY2(drawn.value("stopState").startsWith(QStringLiteral("停止命令待发送")),
             qPrintable(drawn.value("stopState")));
    QVERIFY2(drawn.value("runState").startsWith(QStringLiteral("泵可能仍在运行")),
             qPrintable(drawn.value("runState")));
    QVERIFY(form.session()->stopText().contains(QStringLiteral("操作员停止")));
    const auto *ack = form.findChild<QPushButton *>(QStringLiteral("alarmAck"));
    QVERIFY(!ack->isHidden());
    for (const QWidget *each : std::as_const(shown))
        QVERIFY(each == ack || !each->geometry().intersects(ack->geometry()));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    QVERIFY(form.grab().save(QStringLiteral(SCREENSHOT_DIR "/status-area-outage.png")));
    form.findChild<QPushButton *>(QStringLiteral("runStateAck"))->click();
    QVERIFY(runState->isHidden());
    // Fault: an acknowledged journal is said again at every start.
    QVERIFY(!QFile::exists(journal));
}

// A hand-edited store: the alarm whose value is no boolean is off and named in the notice,
// beside what else the store says, and the others are as stored.
void TestStatusArea::settingsReadStrictlyAreTold()
{
    QTemporaryDir folder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    QFile store(folder.filePath(QStringLiteral("corvane/corvane-panel.conf")));
    QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("corvane"))));
    QVERIFY(store.open(QIODevice::WriteOnly));
    store.write("[alarms]\nhigh\\on=no\nhigh\\limit=0.2\nhigh\\stop=true\n"
                "low\\on=true\nlow\\limit=0.1\nlow\\stop=false\n");
    store.close();
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QVERIFY(!form.alarms()->settings().high.on);
    QVERIFY(form.alarms()->settings().low.on);
    const QLabel *logState = form.findChild<QLabel *>(QStringLiteral("logState"));
    QVERIFY2(logState->text().contains(QStringLiteral("alarms/high/on")),
             qPrintable(logState->text()));
}

// Through the real box: the operator's STOP on a lost line opens the box that says it is held;
// the stop settled meanwhile (here cancelled by another device opened) closes it.
void TestStatusArea::heldStopBoxClosesOnceSettled()
{
    PseudoTerminal pty, another;
    QVERIFY(pty.open() && another.open());
    Form1 form;
    form.serialControl()->setPortMap({{1, pty.slavePath()}});
    QVERIFY(form.session()->open(QStringLiteral("1")).isEmpty());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    pty.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(form.session()->link(), PumpSession::Link::Lost, 10000);
    QString shown;
    QTimer::singleShot(0, &form, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            shown = box->text();
        form.serialControl()->setPortMap({{2, another.slavePath()}});
        form.session()->open(QStringLiteral("2"));
    });
    // Fault: a box that stays after its words stopped being true (answered here, late).
    bool answeredLate = false;
    QTimer late;
    late.setSingleShot(true);
    connect(&late, &QTimer::timeout, &form, [&] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            answeredLate = true;
            box->close();
        }
    });
    late.start(10000);
    form.findChild<QPushButton *>(QStringLiteral("Cmds"))->click();
    QVERIFY(!answeredLate);
    // Back here only once the box closed, which no one answered.
    QCOMPARE(shown, PumpSession::heldStopText());
    QVERIFY(!form.session()->pendingStop().isPending());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestStatusArea::ownWindowsOpenBesideThePanel_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected"); // the client geometry

    // The panel's frame spans x 100..807, y 100..629; a window's frame is 4 px and a 26 px
    // caption; it asks for 600x400.
    QTest::newRow("room to the right") << QRect(0, 0, 1920, 1200) << QRect(812, 126, 600, 400);
    QTest::newRow("no room to the sides: below")
        << QRect(0, 0, 1000, 1200) << QRect(104, 656, 600, 400);
    // Under STOP's bottom (390), down to the free area's end.
    QTest::newRow("no room beside: over the panel, under the brand panel and STOP")
        << QRect(0, 0, 900, 800) << QRect(104, 417, 600, 379);
    QTest::newRow("a screen with no room clear of them: over the panel, as a last resort")
        << QRect(0, 0, 820, 620) << QRect(154, 176, 600, 400);
}

void TestStatusArea::ownWindowsOpenBesideThePanel()
{
    QFETCH(QRect, available);
    const QMargins frame(4, 26, 4, 4);
    const QRect panel(100, 100, 708, 530);
    const QList<QRect> keepClear{QRect(140, 176, 290, 200), QRect(680, 366, 41, 25)};
    const QRect placed =
        BesidePanel::placeBeside(QSize(600, 400), frame, panel, available, keepClear);
    QTEST(placed, "expected");
    const QRect framed = placed.marginsAdded(frame);
    QVERIFY(available.contains(framed));
    // Fault: a window over the status area or STOP while there was room elsewhere.
    if (!QByteArray(QTest::currentDataTag()).contains("last resort"))
        for (const QRect &clear : keepClear)
            QVERIFY(!framed.intersects(clear));
}

QTEST_MAIN(TestStatusArea)
#include "tst_statusarea.moc"
