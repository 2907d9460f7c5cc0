#include "app/form1.h"
#include "platform/serialcontrol.h"
#include "tests/support/panelport.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

constexpr qsizetype kFrameLength = 9;
const QByteArray kPollFrame("Q00F0000Y");

// The frames the panel has written since the last call, less the status polls that go out
// on their own while the port is open. The panel writes whole frames, so any stray byte shows.
QByteArrayList commandsSent(PseudoTerminal &pty)
{
    const QByteArray bytes = pty.readAvailable();
    QByteArrayList frames;
    for (qsizetype i = 0; i < bytes.size(); i += kFrameLength) {
        const QByteArray frame = bytes.mid(i, kFrameLength);
        if (frame != kPollFrame)
            frames << frame;
    }
    return frames;
}

void closeOpenPopup()
{
    if (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

// Moves the pointer to a point of the window's surface and presses and releases a button
// there; like the window system, the press goes to the control under the point, if any.
void clickOnSurface(Form1 &form, QPoint point, Qt::MouseButton button)
{
    QWidget *surface = form.centralWidget();
    QWidget *receiver = surface->childAt(point);
    if (!receiver)
        receiver = surface;
    const QPoint local = receiver->mapFrom(surface, point);
    QTest::mouseMove(receiver, local);
    QTest::mousePress(receiver, button, {}, local);
    QTest::mouseRelease(receiver, button, {}, local);
}

} // namespace

// What the operator's commands send to the pump, and the window's own mouse and close handling.
class TestOperatorCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void runAndStopFromEveryPlace_data();
    void runAndStopFromEveryPlace();
    void runTwiceSendsTwice();
    void commandWhilePortClosed_data();
    void commandWhilePortClosed();
    void pumpNumberQuestion();
    void pumpNumberAnswers_data();
    void pumpNumberAnswers();
    void rightButtonPopup_data();
    void rightButtonPopup();
    void choosingFromPopup_data();
    void choosingFromPopup();
    void endLeavesPortAlone();
    void closingClosesPort_data();
    void closingClosesPort();

private:
    PseudoTerminal m_pty;
};

void TestOperatorCommands::init()
{
    m_pty.hangUp();
    QVERIFY(m_pty.open());
}

void TestOperatorCommands::cleanup()
{
    closeOpenPopup();
}

void TestOperatorCommands::runAndStopFromEveryPlace_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("RUN key") << "Cmdr" << QByteArray("Q00R0000Y");
    QTest::newRow("STOP key") << "Cmds" << QByteArray("Q00S0000Y");
    QTest::newRow("泵 menu 运行") << "run" << QByteArray("Q00R0000Y");
    QTest::newRow("泵 menu 停止") << "stop" << QByteArray("Q00S0000Y");
    QTest::newRow("pop-up 运行") << "rrun" << QByteArray("Q00R0000Y");
    QTest::newRow("pop-up 停止") << "rstop" << QByteArray("Q00S0000Y");
}

void TestOperatorCommands::runAndStopFromEveryPlace()
{
    QFETCH(QString, place);
    QFETCH(QByteArray, frame);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    // Run and stop carry address 00 whatever the pump number is set to.
    boxes.answers << QStringLiteral("5");
    form.findChild<QAction *>(QStringLiteral("Pump_NO"))->trigger();
    QCOMPARE(form.keypad().pumpNumber(), qint16(5));
    commandsSent(m_pty);

    if (auto *key = form.findChild<QPushButton *>(place)) {
        QTest::mouseClick(key, Qt::LeftButton);
    } else {
        auto *action = form.findChild<QAction *>(place);
        QVERIFY(action);
        action->trigger();
    }
    QCOMPARE(commandsSent(m_pty), QByteArrayList{frame});
    QVERIFY(boxes.messages.isEmpty());
}

void TestOperatorCommands::runTwiceSendsTwice()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    commandsSent(m_pty);

    auto *run = form.findChild<QPushButton *>(QStringLiteral("Cmdr"));
    QTest::mouseClick(run, Qt::LeftButton);
    QTest::mouseClick(run, Qt::LeftButton);
    QCOMPARE(commandsSent(m_pty), (QByteArrayList{"Q00R0000Y", "Q00R0000Y"}));
}

void TestOperatorCommands::commandWhilePortClosed_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("frame");
    QTest::newRow("RUN") << "Cmdr"
                         << "Q00R0000Y";
    QTest::newRow("STOP") << "Cmds"
                          << "Q00S0000Y";
}

void TestOperatorCommands::commandWhilePortClosed()
{
    QFETCH(QString, key);
    QFETCH(QString, frame);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.serialControl()->setPortMap({{1, m_pty.slavePath()}});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QTest::mouseClick(form.findChild<QPushButton *>(key), Qt::LeftButton);
    QCOMPARE(boxes.messages.size(), 1);
    const QString prompt = boxes.messages.first().prompt;
    QVERIFY2(prompt.contains(frame), qPrintable(prompt));
    QVERIFY2(prompt.contains(QRegularExpression(QStringLiteral("\\p{Han}"))), qPrintable(prompt));
    QVERIFY(!form.serialControl()->portOpen());
    QCOMPARE(m_pty.readAvailable(), QByteArray());
}

void TestOperatorCommands::pumpNumberQuestion()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QAction *pumpNumber = form.findChild<QAction *>(QStringLiteral("Pump_NO"));
    boxes.answers << QStringLiteral("12");
    pumpNumber->trigger();
    QCOMPARE(form.keypad().pumpNumber(), qint16(12));
    boxes.answers << QString();
    pumpNumber->trigger();
    QCOMPARE(form.keypad().pumpNumber(), qint16(12));

    // The question offers 0 every time, not the number set before.
    QCOMPARE(boxes.questions.size(), 2);
    for (const ScriptedBoxes::Question &question : std::as_const(boxes.questions)) {
        QCOMPARE(question.prompt, QStringLiteral("请输入要控制泵的编号 "));
        QCOMPARE(question.title, QStringLiteral("编号设定"));
        QCOMPARE(question.defaultAnswer, QStringLiteral("0"));
    }
    QVERIFY(boxes.messages.isEmpty());
}

void TestOperatorCommands::pumpNumberAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("number");

    // The pump number is 7 before each answer.
    QTest::newRow("12") << "12" << 12;
    QTest::newRow("lowest address") << "0" << 0;
    QTest::newRow("highest address") << "99" << 99;
    QTest::newRow("half rounds to even, down") << "2.5" << 2;
    QTest::newRow("half rounds to even, up") << "3.5" << 4;
    QTest::newRow("cancel") << "" << 7;
    QTest::newRow("not a number") << "abc" << 7;
    QTest::newRow("beyond 16 bits") << "40000" << 7;
    QTest::newRow("three digits") << "100" << 7;
    QTest::newRow("negative") << "-1" << 7;
}

void TestOperatorCommands::pumpNumberAnswers()
{
    QFETCH(QString, answer);
    QFETCH(int, number);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QAction *pumpNumber = form.findChild<QAction *>(QStringLiteral("Pump_NO"));
    boxes.answers << QStringLiteral("7");
    pumpNumber->trigger();
    QCOMPARE(form.keypad().pumpNumber(), qint16(7));

    boxes.answers << answer;
    pumpNumber->trigger();
    QCOMPARE(form.keypad().pumpNumber(), qint16(number));
    QCOMPARE(boxes.questions.size(), 2);
    QVERIFY(boxes.messages.isEmpty());
}

void TestOperatorCommands::rightButtonPopup_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QString>("target"); // a control to press on the middle of, or none
    QTest::addColumn<QPoint>("point");   // else this point of the surface
    QTest::addColumn<bool>("showClocks");
    QTest::addColumn<bool>("popup");

    const QPoint bare(300, 20); // clear of every control and of the clock labels
    QTest::newRow("port closed") << false << Qt::RightButton << "" << bare << false << false;
    QTest::newRow("surface") << true << Qt::RightButton << "" << bare << false << true;
    QTest::newRow("left button") << true << Qt::LeftButton << "" << bare << false << false;
    QTest::newRow("middle button") << true << Qt::MiddleButton << "" << bare << false << false;
    QTest::newRow("keypad key") << true << Qt::RightButton << "Cmd5" << QPoint() << false << false;
    QTest::newRow("text box") << true << Qt::RightButton << "pnow" << QPoint() << false << false;
    QTest::newRow("plot") << true << Qt::RightButton << "Picture1" << QPoint() << false << false;
    QTest::newRow("shown clock label")
        << true << Qt::RightButton << "lmin" << QPoint() << true << false;
    QTest::newRow("hidden clock label")
        << true << Qt::RightButton << "lmin" << QPoint() << false << true;
}

void TestOperatorCommands::rightButtonPopup()
{
    QFETCH(bool, portOpen);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QString, target);
    QFETCH(QPoint, point);
    QFETCH(bool, showClocks);
    QFETCH(bool, popup);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    if (portOpen)
        QVERIFY(openPanelPort(form, boxes, m_pty));
    for (const char *name : {"lhour", "Label1", "lmin", "Label2", "lsed", "Label3"}) {
        QLabel *label = form.findChild<QLabel *>(QLatin1String(name));
        QVERIFY(label);
        if (showClocks)
            label->show();
        QCOMPARE(label->isVisible(), showClocks);
    }
    if (!target.isEmpty()) {
        QWidget *control = form.centralWidget()->findChild<QWidget *>(target);
        QVERIFY(control);
        point = control->geometry().center();
    }

    clickOnSurface(form, point, button);
    QWidget *shown = QApplication::activePopupWidget();
    if (popup) {
        QCOMPARE(shown, form.findChild<QMenu *>(QStringLiteral("rightkey")));
        QCOMPARE(shown->pos(), form.centralWidget()->mapToGlobal(point));
    } else {
        QCOMPARE(shown, nullptr);
    }
    QCOMPARE(commandsSent(m_pty), QByteArrayList());
    QVERIFY(boxes.messages.isEmpty());
}

void TestOperatorCommands::choosingFromPopup_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("运行, left button") << "rrun" << Qt::LeftButton << QByteArray("Q00R0000Y");
    QTest::newRow("运行, right button") << "rrun" << Qt::RightButton << QByteArray("Q00R0000Y");
    QTest::newRow("停止, left button") << "rstop" << Qt::LeftButton << QByteArray("Q00S0000Y");
}

void TestOperatorCommands::choosingFromPopup()
{
    QFETCH(QString, item);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QByteArray, frame);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    commandsSent(m_pty);

    clickOnSurface(form, QPoint(300, 20), Qt::RightButton);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QAction *action = menu->findChild<QAction *>(item);
    QVERIFY(action);
    QTest::mouseMove(menu, menu->actionGeometry(action).center());
    QTest::mouseClick(menu, button, {}, menu->actionGeometry(action).center());
    QCOMPARE(commandsSent(m_pty), QByteArrayList{frame});
    QTRY_COMPARE(QApplication::activePopupWidget(), nullptr);
    QVERIFY(boxes.messages.isEmpty());
}

void TestOperatorCommands::endLeavesPortAlone()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QVERIFY(openPanelPort(form, boxes, m_pty));
    commandsSent(m_pty);
    QSignalSpy ends(&form, &Form1::endRequested);

    form.findChild<QAction *>(QStringLiteral("end"))->trigger();
    QCOMPARE(ends.count(), 1);
    QCOMPARE(commandsSent(m_pty), QByteArrayList());
    QVERIFY(form.serialControl()->portOpen());
    QVERIFY(boxes.messages.isEmpty());
}

void TestOperatorCommands::closingClosesPort_data()
{
    QTest::addColumn<bool>("opened");
    QTest::newRow("port open") << true;
    QTest::newRow("port never opened") << false;
}

void TestOperatorCommands::closingClosesPort()
{
    QFETCH(bool, opened);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    if (opened)
        QVERIFY(openPanelPort(form, boxes, m_pty));

    QVERIFY(form.close());
    QVERIFY(!form.isVisible());
    QVERIFY(!form.serialControl()->portOpen());
    // Nothing polls the closed port while the program ends.
    QVERIFY(!form.findChild<QTimer *>(QStringLiteral("Timer2"))->isActive());
    QVERIFY(boxes.messages.isEmpty());
}

QTEST_MAIN(TestOperatorCommands)
#include "tst_operatorcommands.moc"
