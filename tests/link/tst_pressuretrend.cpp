#include "pressuretrend.h"

#include <QTest>

// QTest has no printer for QLineF; a failed comparison should still show both lines.
char *toString(const QLineF &line)
{
    return QTest::toString(QStringLiteral("(%1, %2)-(%3, %4)")
                               .arg(line.x1())
                               .arg(line.y1())
                               .arg(line.x2())
                               .arg(line.y2()));
}

namespace {

QString sampleText(int sample)
{
    return QString::number(0.5 + sample * 0.01, 'f', 2);
}

// Runs one whole sweep of samples 0..99 whose values are 0.5 + sample / 100.
void fillSweep(PressureTrend &trend)
{
    for (int sample = 0; sample < PressureTrend::kSamplesPerSweep; ++sample)
        trend.addSample(sampleText(sample));
}

} // namespace

class TestPressureTrend : public QObject
{
    Q_OBJECT

private slots:
    void firstSample();
    void nonNumberKeepsSlot_data();
    void nonNumberKeepsSlot();
    void sweepEndsOnHundredthSample();
    void nextSweepStartsAtAnchor();
    void slotsKeepValuesAcrossSweeps();
    void axisLines();
};

void TestPressureTrend::firstSample()
{
    PressureTrend trend;
    const PressureTrend::Step step = trend.addSample(QStringLiteral("01.5"));
    QCOMPARE(step.segment, QLineF(-1, 0, 0, 1.5));
    QVERIFY(!step.sweepEnded);
    QCOMPARE(trend.prhistory(0), 1.5);
    QCOMPARE(trend.itime(), 1);

    const PressureTrend::Step second = trend.addSample(QStringLiteral("00.7"));
    QCOMPARE(second.segment, QLineF(0, 1.5, 1, 0.7));
    QCOMPARE(trend.itime(), 2);
}

void TestPressureTrend::nonNumberKeepsSlot_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("exponent") << "1e3";
}

void TestPressureTrend::nonNumberKeepsSlot()
{
    QFETCH(QString, text);

    PressureTrend trend;
    trend.addSample(QStringLiteral("1.2"));
    const PressureTrend::Step step = trend.addSample(text);
    QCOMPARE(step.segment, QLineF(0, 1.2, 1, 0));
    QCOMPARE(trend.prhistory(1), 0.0);
    QCOMPARE(trend.itime(), 2);

    // In a later sweep the slot keeps the previous sweep's value.
    for (int sample = 2; sample < PressureTrend::kSamplesPerSweep; ++sample)
        trend.addSample(sampleText(sample));
    trend.addSample(QStringLiteral("0.9"));
    const PressureTrend::Step later = trend.addSample(text);
    QCOMPARE(later.segment, QLineF(0, 0.9, 1, 0));
    QCOMPARE(trend.itime(), 2);

    trend.setPrhistory(1, 1.7);
    for (int sample = 2; sample < PressureTrend::kSamplesPerSweep; ++sample)
        trend.addSample(sampleText(sample));
    trend.addSample(QStringLiteral("0.9"));
    QCOMPARE(trend.addSample(text).segment, QLineF(0, 0.9, 1, 1.7));
    QCOMPARE(trend.prhistory(1), 1.7);
}

void TestPressureTrend::sweepEndsOnHundredthSample()
{
    PressureTrend trend;
    for (int sample = 0; sample < PressureTrend::kSamplesPerSweep - 1; ++sample) {
        QVERIFY2(!trend.addSample(sampleText(sample)).sweepEnded, qPrintable(sampleText(sample)));
        QCOMPARE(trend.itime(), sample + 1);
    }
    const PressureTrend::Step last = trend.addSample(sampleText(99));
    QVERIFY(last.sweepEnded);
    QCOMPARE(last.segment, QLineF(98, 1.48, 99, 1.49));
    QCOMPARE(trend.itime(), 0);
}

void TestPressureTrend::nextSweepStartsAtAnchor()
{
    PressureTrend trend;
    fillSweep(trend);
    // Slot 99 holds 1.49, but the new sweep's first segment starts at slot -1.
    const PressureTrend::Step step = trend.addSample(QStringLiteral("2"));
    QCOMPARE(step.segment, QLineF(-1, 0, 0, 2));
    QVERIFY(!step.sweepEnded);
    QCOMPARE(trend.itime(), 1);
    QCOMPARE(trend.prhistory(PressureTrend::kFirstSlot), 0.0);
}

void TestPressureTrend::slotsKeepValuesAcrossSweeps()
{
    PressureTrend trend;
    fillSweep(trend);
    for (int sample = 0; sample < 10; ++sample)
        trend.addSample(QStringLiteral("1.9"));
    QCOMPARE(trend.prhistory(9), 1.9);
    QCOMPARE(trend.prhistory(10), 0.6);
    QCOMPARE(trend.prhistory(99), 1.49);
    // The next segment runs from this sweep's value to the value left from the last sweep.
    QCOMPARE(trend.addSample(QStringLiteral("x")).segment, QLineF(9, 1.9, 10, 0.6));
}

void TestPressureTrend::axisLines()
{
    const std::array<QLineF, 4> &lines = PressureTrend::axisLines();
    QCOMPARE(lines[0], QLineF(0, 0, 100, 0));
    QCOMPARE(lines[1], QLineF(0, 2.5, 1.5, 2.5));
    QCOMPARE(lines[2], QLineF(0, 5, 1.5, 5));
    QCOMPARE(lines[3], QLineF(0, 7.5, 1.5, 7.5));
}

QTEST_GUILESS_MAIN(TestPressureTrend)
#include "tst_pressuretrend.moc"
