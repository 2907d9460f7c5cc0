#include "app/form1.h"
#include "tests/support/panelport.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QLineEdit *textBox(const Form1 &form, const char *name)
{
    return form.findChild<QLineEdit *>(QLatin1String(name));
}

// The key with the given name; for Cmd0 the one with the given index (13: 0, 0: ▲, 1: ▼).
QPushButton *key(const Form1 &form, const QString &name, int index = 13)
{
    for (QPushButton *button : form.findChildren<QPushButton *>(name)) {
        if (name != u"Cmd0" || button->property("index").toInt() == index)
            return button;
    }
    return nullptr;
}

// Presses keys by their faces: "L", "P" or a digit; "^" and "v" are ▲ and ▼.
void press(const Form1 &form, const QString &faces)
{
    for (QChar face : faces) {
        QPushButton *button = face == u'^'   ? key(form, QStringLiteral("Cmd0"), 0)
                              : face == u'v' ? key(form, QStringLiteral("Cmd0"), 1)
                              : face == u'0' ? key(form, QStringLiteral("Cmd0"))
                              : face == u'L' ? key(form, QStringLiteral("Cmdl"))
                              : face == u'P' ? key(form, QStringLiteral("Cmdp"))
                                             : key(form, QStringLiteral("Cmd") + face);
        QVERIFY2(button, qPrintable(face));
        QTest::mouseClick(button, Qt::LeftButton);
    }
}

} // namespace

// The keypad and the setpoint dialogs as the operator works them: keys clicked, answers given,
// and what reaches the line.
class TestSetpointWiring : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void keypadFramesOnTheLine_data();
    void keypadFramesOnTheLine();
    void pressureBoxShowsEntryAsTyped();
    void settingReplyDuringEntryLeavesBox();
    void dialogFramesOnTheLine_data();
    void dialogFramesOnTheLine();
    void dialogsThroughRealBoxes();

private:
    void openPort(Form1 &form, ScriptedBoxes &boxes);

    PseudoTerminal m_pty;
};

void TestSetpointWiring::init()
{
    m_pty.hangUp();
    QVERIFY(m_pty.open());
}

void TestSetpointWiring::openPort(Form1 &form, ScriptedBoxes &boxes)
{
    // No poll may come between the frames under test.
    form.setPollInterval(std::chrono::hours(1));
    QVERIFY(openPanelPort(form, boxes, m_pty));
}

void TestSetpointWiring::keypadFramesOnTheLine_data()
{
    QTest::addColumn<QString>("pumpNumber");
    QTest::addColumn<QString>("faces");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("error");

    QTest::newRow("flow") << "0"
                          << "L0500" << QByteArray("Q00L0500Y") << "";
    QTest::newRow("▲ and ▼ type 0") << "3"
                                    << "L^5v0" << QByteArray("Q03L0500Y") << "";
    QTest::newRow("pump 12") << "12"
                             << "L0100" << QByteArray("Q12L0100Y") << "";
    QTest::newRow("pressure") << "0"
                              << "P015" << QByteArray("Q00P01.5Y") << "";
    QTest::newRow("flow above limit") << "0"
                                      << "L1001" << QByteArray() << "流量设定错误";
    QTest::newRow("pressure above limit") << "0"
                                          << "P021" << QByteArray() << "压力设定错误";
    QTest::newRow("start keys ignored during entry") << "0"
                                                     << "L05PL00" << QByteArray("Q00L0500Y") << "";
    QTest::newRow("digits after entry change nothing") << "0"
                                                       << "L10009" << QByteArray("Q00L1000Y") << "";
}

void TestSetpointWiring::keypadFramesOnTheLine()
{
    QFETCH(QString, pumpNumber);
    QFETCH(QString, faces);
    QFETCH(QByteArray, line);
    QFETCH(QString, error);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    openPort(form, boxes);
    boxes.answers << pumpNumber;
    form.findChild<QAction *>(QStringLiteral("Pump_NO"))->trigger();

    press(form, faces);
    QCOMPARE(m_pty.readExactly(9, line.isEmpty() ? 100 : 2000), line);
    // Sent by the entry, not by the key that ended it.
    if (!line.isEmpty())
        QCOMPARE(form.session()->lastFrame().source,
                 QStringLiteral("键盘 %1 %2")
                     .arg(QString::fromLatin1(line.mid(3, 1)), QString::fromLatin1(line.mid(4, 4))));
    QCOMPARE(boxes.messages.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty()) {
        QCOMPARE(boxes.messages[0].prompt, error);
        QCOMPARE(boxes.messages[0].title, QStringLiteral("设定错误"));
    }
}

void TestSetpointWiring::pressureBoxShowsEntryAsTyped()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QLineEdit *prset = textBox(form, "prset");
    QStringList shown;
    for (QChar face : QStringLiteral("P015")) {
        press(form, face);
        shown << prset->text();
    }
    QCOMPARE(shown, (QStringList{"", "0", "01.", "01.5"}));
    // Sent while the port is closed: the entry has ended and the operator is told.
    QCOMPARE(form.keypad().pr(), qint16(0));
    QCOMPARE(boxes.messages.size(), 1);
    QVERIFY(boxes.messages[0].prompt.contains(QStringLiteral("Q00P01.5Y")));
}

void TestSetpointWiring::settingReplyDuringEntryLeavesBox()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    openPort(form, boxes);

    press(form, QStringLiteral("L05"));
    QVERIFY(m_pty.writeAll("Q00L0999YQ00P01.0Y"));
    // The pressure reply is shown; the flow reply must not break the flow entry.
    QTRY_COMPARE(textBox(form, "prset")->text(), QStringLiteral("01.0"));
    QCOMPARE(textBox(form, "lqset")->text(), QStringLiteral("05"));
    press(form, QStringLiteral("00"));
    QCOMPARE(m_pty.readExactly(9, 2000), QByteArray("Q00L0500Y"));
}

void TestSetpointWiring::dialogFramesOnTheLine_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("error");

    QTest::newRow("flow rounds up") << "liquid"
                                    << "999.6" << QByteArray("Q00L1000Y") << "";
    QTest::newRow("flow half away") << "liquid"
                                    << "12.5" << QByteArray("Q00L0013Y") << "";
    QTest::newRow("pressure") << "pressure"
                              << "0.25" << QByteArray("Q00P00.3Y") << "";
    QTest::newRow("flow above limit") << "liquid"
                                      << "1000.4" << QByteArray() << "流量设定错误!";
    QTest::newRow("pressure above limit") << "pressure"
                                          << "2.01" << QByteArray() << "压力设定错误!";
    QTest::newRow("negative flow") << "liquid"
                                   << "-5" << QByteArray() << "流量设定错误!";
    QTest::newRow("cancelled") << "liquid"
                               << "" << QByteArray() << "";
    QTest::newRow("not a number") << "pressure"
                                  << "abc" << QByteArray() << "";
}

void TestSetpointWiring::dialogFramesOnTheLine()
{
    QFETCH(QString, item);
    QFETCH(QString, answer);
    QFETCH(QByteArray, line);
    QFETCH(QString, error);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    openPort(form, boxes);
    // Dialog frames are addressed to 00 whatever pump number the keypad uses.
    boxes.answers << QStringLiteral("5") << answer;
    form.findChild<QAction *>(QStringLiteral("Pump_NO"))->trigger();
    const QString lqset = textBox(form, "lqset")->text();
    form.findChild<QAction *>(item)->trigger();

    QCOMPARE(m_pty.readExactly(9, line.isEmpty() ? 100 : 2000), line);
    QCOMPARE(boxes.messages.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty())
        QCOMPARE(boxes.messages[0].title, QStringLiteral("错误"));
    QCOMPARE(textBox(form, "lqset")->text(), lqset);
}

void TestSetpointWiring::dialogsThroughRealBoxes()
{
    Form1 form;
    form.setPollInterval(std::chrono::hours(1));
    form.serialControl()->setPortMap({{1, m_pty.slavePath()}});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QStringList answers{"1", "1000.4", "1.5"};
    QStringList seen;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QInputDialog *>(modal)) {
            seen << dialog->windowTitle() + u'|' + dialog->labelText() + u'|' + dialog->textValue();
            dialog->setTextValue(answers.takeFirst());
            dialog->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            seen << box->windowTitle() + u'|' + box->text();
            box->accept();
        }
    });
    answerer.start(20);

    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    QVERIFY(form.serialControl()->portOpen());
    form.findChild<QAction *>(QStringLiteral("liquid"))->trigger();
    form.findChild<QAction *>(QStringLiteral("pressure"))->trigger();
    QCOMPARE(m_pty.readExactly(9, 2000), QByteArray("Q00P01.5Y"));
    QCOMPARE(seen.size(), 4);
    QCOMPARE(seen[1], QStringLiteral(
                          "流量设定|请输入您需要的流量 单位 ml/min \r\n流量范围为1—1000ml/min|0"));
    QCOMPARE(seen[2], QStringLiteral("错误|流量设定错误!"));
    QCOMPARE(seen[3],
             QStringLiteral("压力设定|请输入您需要保护压 单位 MPa\r\n压力设定范围为0—2.0MPa|2"));
}

QTEST_MAIN(TestSetpointWiring)
#include "tst_setpointwiring.moc"
