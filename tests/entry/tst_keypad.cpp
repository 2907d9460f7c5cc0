#include "entry/keypad.h"

#include <QTest>

namespace {

const QString kFlowError = QString::fromUtf8(Keypad::kFlowErrorPrompt);
const QString kPressureError = QString::fromUtf8(Keypad::kPressureErrorPrompt);

// "L0500" as the keys L, 0, 5, 0, 0.
QStringList keys(const QString &presses)
{
    QStringList list;
    for (QChar c : presses)
        list << QString(c);
    return list;
}

} // namespace

class TestKeypad : public QObject
{
    Q_OBJECT

private slots:
    void sequence_data();
    void sequence();
    void pressureBoxAsTyped();
};

void TestKeypad::sequence_data()
{
    // A step is a key (L, P or a digit), or "lqset=..." / "prset=..." for text that the
    // operator typed into a box or that a pump reply put there.
    QTest::addColumn<int>("pump");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("lqset");
    QTest::addColumn<QString>("prset");
    QTest::addColumn<int>("lq");
    QTest::addColumn<int>("pr");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QString>("setliqstr");

    const QStringList none;

    QTest::newRow("flow") << 0 << keys("L0500") << "0500" << QString() << 0 << 0
                          << QStringList{"Q00L0500Y"} << none << "00L0500Y";
    QTest::newRow("flow to pump 3") << 3 << keys("L0500") << "0500" << QString() << 0 << 0
                                    << QStringList{"Q03L0500Y"} << none << "03L0500Y";
    QTest::newRow("flow to pump 12") << 12 << keys("L0100") << "0100" << QString() << 0 << 0
                                     << QStringList{"Q12L0100Y"} << none << "12L0100Y";
    QTest::newRow("flow at limit") << 0 << keys("L1000") << "1000" << QString() << 0 << 0
                                   << QStringList{"Q00L1000Y"} << none << "00L1000Y";
    QTest::newRow("flow zero") << 0 << keys("L0000") << "0000" << QString() << 0 << 0
                               << QStringList{"Q00L0000Y"} << none << "00L0000Y";
    QTest::newRow("flow above limit") << 0 << keys("L1001") << "1001" << QString() << 0 << 0 << none
                                      << QStringList{kFlowError} << QString();
    QTest::newRow("pressure") << 0 << keys("P015") << QString() << "01.5" << 0 << 0
                              << QStringList{"Q00P01.5Y"} << none << "00P01.5Y";
    QTest::newRow("pressure at limit") << 0 << keys("P020") << QString() << "02.0" << 0 << 0
                                       << QStringList{"Q00P02.0Y"} << none << "00P02.0Y";
    QTest::newRow("pressure zero") << 0 << keys("P000") << QString() << "00.0" << 0 << 0
                                   << QStringList{"Q00P00.0Y"} << none << "00P00.0Y";
    QTest::newRow("pressure just above limit") << 0 << keys("P021") << QString() << "02.1" << 0 << 0
                                               << none << QStringList{kPressureError} << QString();
    QTest::newRow("pressure far above limit") << 0 << keys("P999") << QString() << "99.9" << 0 << 0
                                              << none << QStringList{kPressureError} << QString();

    QTest::newRow("digits while idle")
        << 0 << QStringList{"lqset=0300", "prset=01.5", "5", "7"} << "0300"
        << "01.5" << 0 << 0 << none << none << QString();
    QTest::newRow("start keys during flow entry")
        << 0 << QStringList{"prset=01.5", "L", "0", "5", "L", "P", "0", "0"} << "0500"
        << "01.5" << 0 << 0 << QStringList{"Q00L0500Y"} << none << "00L0500Y";
    QTest::newRow("start keys during pressure entry")
        << 0 << QStringList{"lqset=0300", "P", "0", "P", "L", "1", "L", "5"} << "0300"
        << "01.5" << 0 << 0 << QStringList{"Q00P01.5Y"} << none << "00P01.5Y";
    QTest::newRow("flow entry in progress")
        << 0 << keys("L05") << "05" << QString() << 1 << 0 << none << none << QString();
    QTest::newRow("pressure entry in progress")
        << 0 << keys("P01") << QString() << "01." << 0 << 1 << none << none << QString();
    QTest::newRow("digits after sent flow") << 0 << keys("L050079") << "0500" << QString() << 0 << 0
                                            << QStringList{"Q00L0500Y"} << none << "00L0500Y";
    QTest::newRow("digits after refused flow") << 0 << keys("L10019") << "1001" << QString() << 0
                                               << 0 << none << QStringList{kFlowError} << QString();
    QTest::newRow("digits after refused pressure")
        << 0 << keys("P0217") << QString() << "02.1" << 0 << 0 << none
        << QStringList{kPressureError} << QString();
    QTest::newRow("pressure body replaces flow body")
        << 0 << keys("L0500P015") << "0500"
        << "01.5" << 0 << 0 << QStringList{"Q00L0500Y", "Q00P01.5Y"} << none << "00P01.5Y";
    QTest::newRow("refused entry keeps last body")
        << 0 << keys("L0500L1001") << "1001" << QString() << 0 << 0 << QStringList{"Q00L0500Y"}
        << QStringList{kFlowError} << "00L0500Y";

    QTest::newRow("flow reply during entry then digits")
        << 0 << QStringList{"L", "lqset=0300", "5", "6"} << "03005" << QString() << 0 << 0 << none
        << QStringList{kFlowError} << QString();
    QTest::newRow("pressure reply during entry")
        << 0 << QStringList{"P", "prset=01.0", "5"} << QString() << "01.05" << 0 << 0 << none
        << QStringList{kPressureError} << QString();
    QTest::newRow("flow box not a number")
        << 0 << QStringList{"L", "lqset=1a", "0", "0"} << "1a00" << QString() << 0 << 0 << none
        << QStringList{kFlowError} << QString();
    QTest::newRow("pressure box not a number")
        << 0 << QStringList{"P", "prset=1a", "5", "6"} << QString() << "1a56" << 0 << 0 << none
        << QStringList{kPressureError} << QString();
    QTest::newRow("negative flow typed by hand")
        << 0 << QStringList{"L", "lqset=-1", "0", "0"} << "-100" << QString() << 0 << 0 << none
        << QStringList{kFlowError} << QString();
    QTest::newRow("small negative flow typed by hand")
        << 0 << QStringList{"L", "lqset=-0.", "4"} << "-0.4" << QString() << 0 << 0 << none
        << QStringList{kFlowError} << QString();
    QTest::newRow("pump number too wide for the frame")
        << 100 << keys("L0500") << "0500" << QString() << 0 << 0 << none << QStringList{kFlowError}
        << QString();
}

void TestKeypad::sequence()
{
    QFETCH(int, pump);
    QFETCH(QStringList, steps);
    QFETCH(QString, lqset);
    QFETCH(QString, prset);
    QFETCH(int, lq);
    QFETCH(int, pr);
    QFETCH(QStringList, frames);
    QFETCH(QStringList, errors);
    QFETCH(QString, setliqstr);

    Keypad keypad;
    keypad.setPumpNumber(qint16(pump));
    Keypad::Boxes boxes;
    QStringList sent;
    QStringList shown;
    for (const QString &step : steps) {
        if (step.startsWith(u"lqset=")) {
            boxes.lqset = step.mid(6);
            continue;
        }
        if (step.startsWith(u"prset=")) {
            boxes.prset = step.mid(6);
            continue;
        }
        const QChar key = step.at(0);
        const Keypad::Outcome outcome = key == u'L'   ? keypad.pressL(boxes)
                                        : key == u'P' ? keypad.pressP(boxes)
                                                      : keypad.pressDigit(key.digitValue(), boxes);
        QVERIFY2(outcome.frame.isEmpty() || outcome.errorPrompt.isEmpty(),
                 "a key sends a frame or asks for the error box, never both");
        QVERIFY(keypad.lq() == 0 || keypad.pr() == 0);
        boxes = outcome.boxes;
        if (!outcome.frame.isEmpty())
            sent << outcome.frame;
        if (!outcome.errorPrompt.isEmpty())
            shown << outcome.errorPrompt;
    }
    QCOMPARE(boxes.lqset, lqset);
    QCOMPARE(boxes.prset, prset);
    QCOMPARE(keypad.lq(), qint16(lq));
    QCOMPARE(keypad.pr(), qint16(pr));
    QCOMPARE(sent, frames);
    QCOMPARE(shown, errors);
    QCOMPARE(keypad.setliqstr(), setliqstr);
}

void TestKeypad::pressureBoxAsTyped()
{
    // The operator watches the box fill in: the "." comes with the second digit.
    Keypad keypad;
    Keypad::Boxes boxes{"0300", "02.0"};
    boxes = keypad.pressP(boxes).boxes;
    QCOMPARE(boxes.prset, QString());
    boxes = keypad.pressDigit(0, boxes).boxes;
    QCOMPARE(boxes.prset, QStringLiteral("0"));
    boxes = keypad.pressDigit(1, boxes).boxes;
    QCOMPARE(boxes.prset, QStringLiteral("01."));
    const Keypad::Outcome last = keypad.pressDigit(5, boxes);
    QCOMPARE(last.boxes.prset, QStringLiteral("01.5"));
    QCOMPARE(last.boxes.lqset, QStringLiteral("0300"));
    QCOMPARE(last.frame, QStringLiteral("Q00P01.5Y"));
}

QTEST_GUILESS_MAIN(TestKeypad)
#include "tst_keypad.moc"
