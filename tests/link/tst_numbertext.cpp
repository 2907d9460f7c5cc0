#include "link/numbertext.h"

#include <QLocale>
#include <QTest>

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void toDouble_data();
    void toDouble();
    void toDoubleIgnoresDefaultLocale();
    void toInt16_data();
    void toInt16();
};

void TestNumberText::toDouble_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("blanks around") << " 1.5 " << true << 1.5;
    QTest::newRow("tab and newline") << "\t2.25\n" << true << 2.25;
    QTest::newRow("minus") << "-2" << true << -2.0;
    QTest::newRow("plus, trailing point") << "+3." << true << 3.0;
    QTest::newRow("leading point") << ".5" << true << 0.5;
    QTest::newRow("minus, leading point") << "-.5" << true << -0.5;
    QTest::newRow("leading zeros") << "00.0" << true << 0.0;
    QTest::newRow("pump reply value") << "01.5" << true << 1.5;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blank") << " " << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("trailing letter") << "1.5a" << false << 0.0;
    QTest::newRow("exponent") << "1e3" << false << 0.0;
    QTest::newRow("comma") << "1,5" << false << 0.0;
    QTest::newRow("grouping") << "1,000" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("double sign") << "--1" << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("point only") << "." << false << 0.0;
    QTest::newRow("blank after sign") << "- 1" << false << 0.0;
    QTest::newRow("blank inside") << "1 5" << false << 0.0;
    QTest::newRow("hex") << "0x10" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("full-width digit") << QString::fromUtf8("\uff11") << false << 0.0;
}

void TestNumberText::toDouble()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const std::optional<double> result = NumberText::toDouble(text);
    QCOMPARE(result.has_value(), ok);
    if (ok)
        QCOMPARE(*result, value);
}

void TestNumberText::toDoubleIgnoresDefaultLocale()
{
    QLocale::setDefault(QLocale(QLocale::German));
    const std::optional<double> point = NumberText::toDouble(QStringLiteral("1.5"));
    QVERIFY(point);
    QCOMPARE(*point, 1.5);
    QVERIFY(!NumberText::toDouble(QStringLiteral("1,5")));
}

void TestNumberText::toInt16_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("2.5 to even") << "2.5" << true << 2;
    QTest::newRow("3.5 to even") << "3.5" << true << 4;
    QTest::newRow("-2.5 to even") << "-2.5" << true << -2;
    QTest::newRow("-3.5 to even") << "-3.5" << true << -4;
    QTest::newRow("0.5 to even") << "0.5" << true << 0;
    QTest::newRow("2.51 nearest") << "2.51" << true << 3;
    QTest::newRow("padded") << "0100" << true << 100;
    QTest::newRow("max") << "32767" << true << 32767;
    QTest::newRow("max + 0.4") << "32767.4" << true << 32767;
    QTest::newRow("max + 0.5 rounds out") << "32767.5" << false << 0;
    QTest::newRow("max + 1") << "32768" << false << 0;
    QTest::newRow("min") << "-32768" << true << -32768;
    QTest::newRow("min - 0.5 to even") << "-32768.5" << true << -32768;
    QTest::newRow("min - 0.6") << "-32768.6" << false << 0;
    QTest::newRow("40000") << "40000" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
}

void TestNumberText::toInt16()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    const std::optional<qint16> result = NumberText::toInt16(text);
    QCOMPARE(result.has_value(), ok);
    if (ok)
        QCOMPARE(int(*result), value);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
