#include "form1.h"
#include "plotarea.h"
#include "pseudoterminal.h"
#include "scriptedboxes.h"
#include "serialcontrol.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The main window: how it comes up, where its controls sit, and opening the serial link with
// 通信, including every way that can fail.
class TestForm1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startsClosed();
    void controlsSitWhereDesigned_data();
    void controlsSitWhereDesigned();
    void keypadFacesAndTabOrder();
    void enlargingMovesNothing();

    void communicationOpensPort_data();
    void communicationOpensPort();
    void badAnswersKeepPanelClosed_data();
    void badAnswersKeepPanelClosed();
    void secondCommunicationSwitchesOrKeepsPort();
    void frameWhileClosedIsNotSent();
    void hangUpReturnsToClosedState();
    void realDialogsOpenThePort();

private:
    template<typename T>
    T *child(const char *name) const
    {
        return m_form->findChild<T *>(QString::fromLatin1(name));
    }
    void choose(const char *actionName) { child<QAction>(actionName)->trigger(); }
    bool linkMenusEnabled(bool enabled) const;

    ScriptedBoxes *m_boxes = nullptr;
    Form1 *m_form = nullptr;
    PseudoTerminal m_pty;
};

void TestForm1::init()
{
    m_pty.hangUp();
    QVERIFY(m_pty.open());
    m_boxes = new ScriptedBoxes;
    m_form = new Form1(m_boxes);
    m_form->serialControl()->setPortMap({{1, m_pty.slavePath()}});
}

void TestForm1::cleanup()
{
    delete m_form;
    delete m_boxes;
    m_form = nullptr;
    m_boxes = nullptr;
}

bool TestForm1::linkMenusEnabled(bool enabled) const
{
    for (const char *name : {"file", "settime", "Pump", "seting", "rightkey"}) {
        const QMenu *menu = child<QMenu>(name);
        // The pop-up menu's entry in the bar is hidden, and a hidden action is never enabled.
        const bool inBar = menu->menuAction()->isVisible();
        if (menu->isEnabled() != enabled || (inBar && menu->menuAction()->isEnabled() != enabled))
            return false;
    }
    return true;
}

void TestForm1::startsClosed()
{
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Corvane(KMW7R35)V2.0"));
    QVERIFY(linkMenusEnabled(false));
    QVERIFY(child<QAction>("Communication")->isEnabled());
    QVERIFY(child<QAction>("help")->isEnabled());
    QVERIFY(!child<QMenu>("rightkey")->menuAction()->isVisible());

    QCOMPARE(child<QLineEdit>("pnow")->text(), QStringLiteral("00.0"));
    QCOMPARE(child<QLineEdit>("prset")->text(), QStringLiteral("02.0"));
    QCOMPARE(child<QLineEdit>("lqset")->text(), QStringLiteral("0000"));
    for (const char *name : {"lhour", "Label1", "lmin", "Label2", "lsed", "Label3"})
        QVERIFY2(child<QLabel>(name)->isHidden(), name);
    QCOMPARE(child<QLabel>("Label1")->text(), QStringLiteral("时"));

    const QTimer *timer1 = child<QTimer>("Timer1");
    const QTimer *timer2 = child<QTimer>("Timer2");
    QVERIFY(!timer1->isActive());
    QVERIFY(!timer2->isActive());
    QCOMPARE(timer1->interval(), 1000);
    QCOMPARE(timer2->interval(), 1500);

    const Form1::State &state = m_form->state();
    QCOMPARE(state.lq, 0);
    QCOMPARE(state.pr, 0);
    QCOMPARE(state.Set_Pump_NO, 0);
    QVERIFY(!m_form->serialControl()->portOpen());
    QCOMPARE(m_form->serialControl()->objectName(), QStringLiteral("MSComm1"));

    // (0, 10) at the top-left corner, (100, -5) at the bottom-right; y = 0 two thirds down.
    const PlotArea *plot = child<PlotArea>("Picture1");
    QCOMPARE(plot->scale(), QRectF(QPointF(0, 10), QPointF(100, -5)));
    const QSize area = plot->contentsRect().size();
    QCOMPARE(plot->toPixel(QPointF(100, -5)), QPoint(area.width(), area.height()));
    QCOMPARE(plot->toPixel(QPointF(50, 0)).y(), qRound(area.height() * 2.0 / 3.0));
    QCOMPARE(m_form->trend().prhistory(0), 0.0);
}

void TestForm1::controlsSitWhereDesigned_data()
{
    // Twips as designed, 15 to a pixel.
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("pnow") << "pnow" << -1 << QRect(8040, 600, 615, 315);
    QTest::newRow("lqset") << "lqset" << -1 << QRect(8040, 1320, 615, 315);
    QTest::newRow("key 0") << "Cmd0" << 13 << QRect(6720, 2160, 615, 375);
    QTest::newRow("key up") << "Cmd0" << 0 << QRect(8020, 3120, 615, 375);
    QTest::newRow("key down") << "Cmd0" << 1 << QRect(8680, 3120, 615, 375);
    QTest::newRow("STOP") << "Cmds" << -1 << QRect(8680, 3600, 615, 375);
    QTest::newRow("seconds") << "lsed" << -1 << QRect(2040, 0, 615, 375);
    QTest::newRow("plot") << "Picture1" << -1 << QRect(600, 4680, 9975, 2175);
}

void TestForm1::controlsSitWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QRect, twips);
    QWidget *found = nullptr;
    for (QWidget *widget : m_form->findChildren<QWidget *>(name)) {
        if (widget->property("index").toInt() == index || (index < 0 && !widget->property("index").isValid()))
            found = widget;
    }
    QVERIFY(found);
    const auto px = [](int t) { return qRound(t / 15.0); };
    QCOMPARE(found->geometry(), QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    QCOMPARE(found->parentWidget(), m_form->centralWidget());
}

void TestForm1::keypadFacesAndTabOrder()
{
    const QList<QPushButton *> zeros = m_form->findChildren<QPushButton *>(QStringLiteral("Cmd0"));
    QCOMPARE(zeros.size(), 3);
    for (const QPushButton *key : m_form->findChildren<QPushButton *>()) {
        QVERIFY(key->text().isEmpty());
        QVERIFY2(!key->icon().isNull(), qPrintable(key->objectName()));
        QCOMPARE(key->icon().pixmap(QSize(39, 21)).size(), QSize(39, 21));
    }

    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Cmd1"));
    // The first steps of the designed tab order: 1 2 3 L 4 5 6 P.
    QStringList order;
    QWidget *widget = QApplication::focusWidget();
    for (int i = 0; i < 8; ++i, widget = widget->nextInFocusChain()) {
        while (widget->focusPolicy() == Qt::NoFocus)
            widget = widget->nextInFocusChain();
        order << widget->objectName();
    }
    QCOMPARE(order, QStringList({"Cmd1", "Cmd2", "Cmd3", "Cmdl", "Cmd4", "Cmd5", "Cmd6", "Cmdp"}));
}

void TestForm1::enlargingMovesNothing()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QCOMPARE(m_form->centralWidget()->size(), QSize(727, 502));
    const QRect pnow = child<QLineEdit>("pnow")->geometry();
    const QRect plot = child<PlotArea>("Picture1")->geometry();
    m_form->resize(1000, 800);
    QTRY_COMPARE(m_form->centralWidget()->width(), 1000);
    QCOMPARE(child<QLineEdit>("pnow")->geometry(), pnow);
    QCOMPARE(child<PlotArea>("Picture1")->geometry(), plot);
}

void TestForm1::communicationOpensPort_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("port");
    QTest::newRow("default") << "1" << 1;
    QTest::newRow("2.5 is port 2") << "2.5" << 2;
    QTest::newRow("3.5 is port 4") << "3.5" << 4;
    QTest::newRow("blanks") << " 4 " << 4;
}

void TestForm1::communicationOpensPort()
{
    QFETCH(QString, answer);
    QFETCH(int, port);
    m_form->serialControl()->setPortMap({{port, m_pty.slavePath()}});
    m_boxes->answers << answer;
    choose("Communication");

    QCOMPARE(m_boxes->questions.size(), 1);
    QCOMPARE(m_boxes->questions[0].prompt, QStringLiteral("Input communication port"));
    QCOMPARE(m_boxes->questions[0].title, QStringLiteral("Commport"));
    QCOMPARE(m_boxes->questions[0].defaultAnswer, QStringLiteral("1"));
    QVERIFY(m_boxes->messages.isEmpty());

    SerialControl *serial = m_form->serialControl();
    QVERIFY(serial->portOpen());
    QCOMPARE(serial->commPort(), port);
    QCOMPARE(serial->settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(serial->inputLen(), 0);
    QCOMPARE(serial->rThreshold(), 9);
    QVERIFY(linkMenusEnabled(true));
    QVERIFY(child<QTimer>("Timer2")->isActive());
    QVERIFY(!child<QTimer>("Timer1")->isActive());
    // The first poll waits for a full interval.
    QCOMPARE(m_pty.readAvailable(), QByteArray());
}

void TestForm1::badAnswersKeepPanelClosed_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("messages");
    QTest::newRow("cancelled") << "" << QString() << 0;
    QTest::newRow("not a number") << "abc" << QString() << 1;
    QTest::newRow("out of range") << "40000" << QString() << 1;
    QTest::newRow("no such device") << "1" << "/dev/corvane-no-such-port" << 1;
    QTest::newRow("not a serial port") << "1" << "/dev/null" << 1;
    QTest::newRow("port 0") << "0" << QString() << 1;
}

void TestForm1::badAnswersKeepPanelClosed()
{
    QFETCH(QString, answer);
    QFETCH(QString, device);
    QFETCH(int, messages);
    if (!device.isEmpty())
        m_form->serialControl()->setPortMap({{1, device}});
    m_boxes->answers << answer;
    choose("Communication");

    QCOMPARE(m_boxes->messages.size(), messages);
    if (messages) {
        QCOMPARE(m_boxes->messages[0].title, QStringLiteral("通信"));
        if (!device.isEmpty())
            QVERIFY2(m_boxes->messages[0].prompt.contains(device), qPrintable(m_boxes->messages[0].prompt));
    }
    QVERIFY(!m_form->serialControl()->portOpen());
    QVERIFY(linkMenusEnabled(false));
    QVERIFY(!child<QTimer>("Timer2")->isActive());
}

void TestForm1::secondCommunicationSwitchesOrKeepsPort()
{
    PseudoTerminal second;
    QVERIFY(second.open());
    SerialControl *serial = m_form->serialControl();
    serial->setPortMap({{1, m_pty.slavePath()}, {2, second.slavePath()},
                        {3, QStringLiteral("/dev/corvane-no-such-port")}});
    m_boxes->answers << "1" << "3" << "2";
    choose("Communication");
    QVERIFY(serial->portOpen());

    choose("Communication"); // port 3 does not open: port 1 stays in use
    QCOMPARE(m_boxes->messages.size(), 1);
    QVERIFY(m_boxes->messages[0].prompt.contains(m_pty.slavePath()));
    QCOMPARE(serial->openDevice(), m_pty.slavePath());
    QCOMPARE(serial->commPort(), 1);
    QVERIFY(linkMenusEnabled(true));
    choose("run");
    QCOMPARE(m_pty.readExactly(9, 1000), QByteArray("Q00R0000Y"));

    choose("Communication"); // port 2 opens and takes over
    QCOMPARE(m_boxes->messages.size(), 1);
    QCOMPARE(serial->openDevice(), second.slavePath());
    choose("stop");
    QCOMPARE(second.readExactly(9, 1000), QByteArray("Q00S0000Y"));
    QCOMPARE(m_pty.readAvailable(), QByteArray());
}

void TestForm1::frameWhileClosedIsNotSent()
{
    QTest::mouseClick(child<QPushButton>("Cmdr"), Qt::LeftButton);
    QCOMPARE(m_boxes->messages.size(), 1);
    QVERIFY(m_boxes->messages[0].prompt.contains(QStringLiteral("Q00R0000Y")));
    QVERIFY(m_boxes->messages[0].prompt.contains(QStringLiteral("未发送")));
    QVERIFY(!m_form->serialControl()->portOpen());
}

void TestForm1::hangUpReturnsToClosedState()
{
    m_boxes->answers << "1";
    choose("Communication");
    QVERIFY(m_form->serialControl()->portOpen());

    m_pty.hangUp();
    QTRY_COMPARE(m_boxes->messages.size(), 1);
    QVERIFY(m_boxes->messages[0].prompt.contains(QStringLiteral("通信")));
    QVERIFY(!m_form->serialControl()->portOpen());
    QVERIFY(linkMenusEnabled(false));
    QVERIFY(!child<QTimer>("Timer2")->isActive());
    QVERIFY(m_form->readingIsStale());
    QTest::qWait(300);
    QCOMPARE(m_boxes->messages.size(), 1);

    // 通信 opens the line again once it is back.
    QVERIFY(m_pty.open());
    m_form->serialControl()->setPortMap({{1, m_pty.slavePath()}});
    m_boxes->answers << "1";
    choose("Communication");
    QVERIFY(m_form->serialControl()->portOpen());
    QVERIFY(linkMenusEnabled(true));
    QVERIFY(child<QTimer>("Timer2")->isActive());
}

void TestForm1::realDialogsOpenThePort()
{
    // Through the real input and message boxes, answered as an operator would.
    Form1 form;
    form.serialControl()->setPortMap({{1, m_pty.slavePath()}, {9, QStringLiteral("/dev/corvane-no-such-port")}});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QString shownPrompt;
    const auto answerInput = [&](const QString &answer) {
        QTimer::singleShot(50, this, [&, answer] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Commport"));
            QCOMPARE(dialog->textValue(), QStringLiteral("1"));
            dialog->setTextValue(answer);
            dialog->accept();
        });
    };

    answerInput(QStringLiteral("9"));
    QTimer::singleShot(300, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->buttons().size(), 1);
        shownPrompt = box->text();
        box->accept();
    });
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    QVERIFY(shownPrompt.contains(QStringLiteral("/dev/corvane-no-such-port")));
    QVERIFY(!form.serialControl()->portOpen());

    answerInput(QStringLiteral("1"));
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    QVERIFY(form.serialControl()->portOpen());

    // Pulling the line while open: one real box, and the panel goes on running, closed.
    // The box runs its own event loop, so it is answered from a timer, as an operator would.
    QString failurePrompt;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            failurePrompt = box->text();
            box->accept();
        }
    });
    answerer.start(50);
    m_pty.hangUp();
    QTRY_VERIFY(!failurePrompt.isEmpty());
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(failurePrompt.contains(m_pty.slavePath()));
    QVERIFY(!form.serialControl()->portOpen());
    QVERIFY(!form.findChild<QMenu *>(QStringLiteral("Pump"))->isEnabled());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
