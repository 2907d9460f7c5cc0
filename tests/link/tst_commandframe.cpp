#include "link/commandframe.h"

#include <QLocale>
#include <QTest>

#include <limits>

class TestCommandFrame : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void addressField_data();
    void addressField();
    void flowField_data();
    void flowField();
    void pressureField_data();
    void pressureField();
    void nonFiniteValueGivesEmptyText();
    void decimalPointIgnoresDefaultLocale();
    void makeFrame();
    void isWellFormedFrame_data();
    void isWellFormedFrame();
};

void TestCommandFrame::addressField_data()
{
    QTest::addColumn<int>("pump");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0") << 0 << "00";
    QTest::newRow("7") << 7 << "07";
    QTest::newRow("12") << 12 << "12";
    QTest::newRow("99") << 99 << "99";
    QTest::newRow("100 is wider") << 100 << "100";
}

void TestCommandFrame::addressField()
{
    QFETCH(int, pump);
    QFETCH(QString, expected);
    QCOMPARE(::addressField(pump), expected);
}

void TestCommandFrame::flowField_data()
{
    QTest::addColumn<double>("flow");
    QTest::addColumn<QString>("expected");
    QTest::newRow("5") << 5.0 << "0005";
    QTest::newRow("250") << 250.0 << "0250";
    QTest::newRow("1000") << 1000.0 << "1000";
    QTest::newRow("0") << 0.0 << "0000";
    QTest::newRow("12.5 half up") << 12.5 << "0013";
    QTest::newRow("12.7") << 12.7 << "0013";
    QTest::newRow("12.49") << 12.49 << "0012";
    QTest::newRow("999.6 carries") << 999.6 << "1000";
    QTest::newRow("0.4") << 0.4 << "0000";
    QTest::newRow("0.5") << 0.5 << "0001";
    QTest::newRow("-0.4 no minus on zero") << -0.4 << "0000";
    QTest::newRow("-12.5 away from zero") << -12.5 << "-0013";
    QTest::newRow("-5 wider") << -5.0 << "-0005";
    QTest::newRow("12345 wider") << 12345.0 << "12345";
    QTest::newRow("9999.5 carries wider") << 9999.5 << "10000";
}

void TestCommandFrame::flowField()
{
    QFETCH(double, flow);
    QFETCH(QString, expected);
    QCOMPARE(::flowField(flow), expected);
}

void TestCommandFrame::pressureField_data()
{
    QTest::addColumn<double>("pressure");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0") << 0.0 << "00.0";
    QTest::newRow("0.5") << 0.5 << "00.5";
    QTest::newRow("1.5") << 1.5 << "01.5";
    QTest::newRow("2") << 2.0 << "02.0";
    QTest::newRow("1.96 carries") << 1.96 << "02.0";
    QTest::newRow("1.94") << 1.94 << "01.9";
    // Halves as typed, although their binary values sit just below the half.
    QTest::newRow("0.25") << 0.25 << "00.3";
    QTest::newRow("0.15") << 0.15 << "00.2";
    QTest::newRow("1.05") << 1.05 << "01.1";
    QTest::newRow("0.35") << 0.35 << "00.4";
    QTest::newRow("0.05") << 0.05 << "00.1";
    QTest::newRow("0.049") << 0.049 << "00.0";
    QTest::newRow("0.0004") << 0.0004 << "00.0";
    QTest::newRow("-0.04 no minus on zero") << -0.04 << "00.0";
    QTest::newRow("-0.05 away from zero") << -0.05 << "-00.1";
    QTest::newRow("99.96 carries wider") << 99.96 << "100.0";
    QTest::newRow("123.4 wider") << 123.4 << "123.4";
}

void TestCommandFrame::pressureField()
{
    QFETCH(double, pressure);
    QFETCH(QString, expected);
    QCOMPARE(::pressureField(pressure), expected);
}

void TestCommandFrame::nonFiniteValueGivesEmptyText()
{
    QVERIFY(formatDecimalMask(std::numeric_limits<double>::quiet_NaN(), 4, 0).isEmpty());
    QVERIFY(formatDecimalMask(std::numeric_limits<double>::infinity(), 2, 1).isEmpty());
    QVERIFY(formatDecimalMask(-std::numeric_limits<double>::infinity(), 2, 1).isEmpty());
}

void TestCommandFrame::decimalPointIgnoresDefaultLocale()
{
    QLocale::setDefault(QLocale(QLocale::German));
    QCOMPARE(::pressureField(1.5), QStringLiteral("01.5"));
    QCOMPARE(formatDecimalMask(12345.25, 4, 2), QStringLiteral("12345.25"));
    QCOMPARE(::flowField(1000), QStringLiteral("1000"));
}

void TestCommandFrame::makeFrame()
{
    const QString frame =
        MakeFrame(QStringLiteral("03"), QStringLiteral("L"), QStringLiteral("0100"));
    QCOMPARE(frame, QStringLiteral("Q03L0100Y"));
    QCOMPARE(frame.mid(1), QStringLiteral("03L0100Y"));
    QCOMPARE(MakeFrame(::addressField(1), QStringLiteral("P"), ::pressureField(1.5)),
             QStringLiteral("Q01P01.5Y"));
}

void TestCommandFrame::isWellFormedFrame_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("expected");
    QTest::newRow("flow setting") << "Q03L0100Y" << true;
    QTest::newRow("pressure setting") << "Q00P01.5Y" << true;
    QTest::newRow("8 chars") << "Q03L010Y" << false;
    QTest::newRow("10 chars") << "Q03L01000Y" << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("lowercase q") << "q03L0100Y" << false;
    QTest::newRow("lowercase y") << "Q03L0100y" << false;
    QTest::newRow("Y first, Q last") << "Y03L0100Q" << false;
    QTest::newRow("CR inside") << "Q03L\r100Y" << false;
    QTest::newRow("LF inside") << "Q03L01\n0Y" << false;
    QTest::newRow("DEL inside") << "Q03L01\x7f"
                                   "0Y"
                                << false;
    QTest::newRow("non-ASCII") << QString::fromUtf8("Q03L01é0Y") << false;
    QTest::newRow("negative flow") << MakeFrame(::addressField(3), "L", ::flowField(-5)) << false;
    QTest::newRow("flow 12345") << MakeFrame(::addressField(3), "L", ::flowField(12345)) << false;
    QTest::newRow("pressure 123.4")
        << MakeFrame(::addressField(3), "P", ::pressureField(123.4)) << false;
    QTest::newRow("address 100") << MakeFrame(::addressField(100), "L", ::flowField(5)) << false;
}

void TestCommandFrame::isWellFormedFrame()
{
    QFETCH(QString, frame);
    QFETCH(bool, expected);
    QCOMPARE(::isWellFormedFrame(frame), expected);
}

QTEST_GUILESS_MAIN(TestCommandFrame)
#include "tst_commandframe.moc"
