#include "app/form1.h"
#include "tests/support/panelport.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The status area as the operator reads it in the window: every line on a row of its own, and
// a timed run the panel's last end interrupted said at the next start.
class TestStatusArea : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_pty.hangUp();
        QVERIFY(m_pty.open());
    }
    void outageWithAlarmsShowsEveryLine();
    void interruptedRunIsSaidAtTheNextStart();

private:
    PseudoTerminal m_pty;
};

namespace {

QLabel *row(const Form1 &form, const char *name)
{
    return form.findChild<QLabel *>(QLatin1String(name));
}

} // namespace

void TestStatusArea::outageWithAlarmsShowsEveryLine()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(openPanelPort(form, boxes, m_pty));
    AlarmSettings alarms;
    alarms.high = {true, 1.0, true};
    alarms.link.on = alarms.link.stop = true;
    alarms.link.seconds = AlarmSettings::kShortestSeconds;
    form.alarms()->setSettings(alarms);
    form.session()->alarmsChanged();
    const QString oldNote(500, u'志');
    form.showLogNotice(oldNote);

    QVERIFY(m_pty.writeAll("Q00N01.4YQ00N01.5YQ00N01.6Y"));
    QTRY_VERIFY_WITH_TIMEOUT(!row(form, "alarmBanner")->isHidden(), 5000);
    m_pty.hangUp();
    // The link's alarm wants a stop the line cannot take: owed, on a row of its own.
    QTRY_VERIFY_WITH_TIMEOUT(!row(form, "stopState")->isHidden(), 10000);
    QTRY_COMPARE(form.alarms()->latched().size(), 2);

    const QWidget *area = form.findChild<QWidget *>(QStringLiteral("statusArea"));
    QList<const QWidget *> shown;
    for (const QWidget *each : area->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!each->isHidden())
            shown << each;
    }
    std::sort(shown.begin(), shown.end(),
              [](const QWidget *a, const QWidget *b) { return a->y() < b->y(); });
    QStringList said;
    for (const QWidget *each : std::as_const(shown)) {
        const auto *label = qobject_cast<const QLabel *>(each);
        if (!label)
            continue;
        said << label->objectName();
        // Fault: a row cut in height, or a long text cut off with nothing to show the rest.
        QVERIFY2(label->height() >= label->fontMetrics().height(), qPrintable(label->text()));
        QCOMPARE(label->toolTip(), label->text());
        QCOMPARE(label->accessibleDescription(), label->text());
    }
    // Fault: an owed stop only in the link's text, or the old note drawn over the alarms.
    QCOMPARE(said,
             (QStringList{"alarmBanner", "alarmBanner", "stopState", "linkState", "logState"}));
    QVERIFY(!form.findChild<QPushButton *>(QStringLiteral("alarmAck"))->isHidden());
    QCOMPARE(row(form, "logState")->text(), oldNote);
    QVERIFY(row(form, "stopState")->text().contains(QStringLiteral("停止命令待发送")));
    // Fault: rows drawn over each other or past the area's edge.
    for (const QWidget *each : std::as_const(shown)) {
        QVERIFY2(area->rect().contains(each->geometry()), qPrintable(each->objectName()));
        for (const QWidget *other : std::as_const(shown))
            QVERIFY2(each == other || !each->geometry().intersects(other->geometry()),
                     qPrintable(each->objectName() + u'/' + other->objectName()));
    }
}

void TestStatusArea::interruptedRunIsSaidAtTheNextStart()
{
    QTemporaryDir folder;
    const QString journal = folder.filePath(QStringLiteral("run.json"));
    {
        ScriptedBoxes boxes;
        Form1 form(&boxes);
        form.runJournal().setPath(journal);
        QVERIFY(openPanelPort(form, boxes, m_pty));
        boxes.answers << QStringLiteral("5");
        form.findChild<QAction *>(QStringLiteral("stset"))->trigger();
        form.findChild<QAction *>(QStringLiteral("ststart"))->trigger();
        // Fault: a run that counts leaves nothing behind a kill.
        QVERIFY(QFile::exists(journal));
        // The panel goes as under kill -9: nothing more is written.
    }
    m_pty.readAvailable();

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.runJournal().setPath(journal);
    form.programStarted();
    QLabel *runState = row(form, "runState");
    QVERIFY2(!runState->isHidden() && runState->text().contains(m_pty.slavePath()) &&
                 runState->text().contains(QStringLiteral("泵可能仍在运行")),
             qPrintable(runState->text()));
    const RunRecord::Event said = form.runRecord().events().last();
    QCOMPARE(said.key, QStringLiteral("run-interrupted"));
    // Fault: the panel decides for the operator and sends something at start.
    QCOMPARE(m_pty.readAvailable(), QByteArray());
    QCOMPARE(boxes.messages.size(), 0);

    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("runStateAck")), Qt::LeftButton);
    QVERIFY(runState->isHidden());
    // Fault: an acknowledged journal is said again at every start.
    QVERIFY(!QFile::exists(journal));
}

QTEST_MAIN(TestStatusArea)
#include "tst_statusarea.moc"
