#include "link/pressuretrend.h"

#include <QTest>

#include <cmath>

// QTest has no printer for QLineF; a failed comparison should still show both lines.
char *toString(const QLineF &line)
{
    return QTest::toString(QStringLiteral("(%1, %2)-(%3, %4)")
                               .arg(line.x1())
                               .arg(line.y1())
                               .arg(line.x2())
                               .arg(line.y2()));
}

char *toString(const std::optional<QLineF> &segment)
{
    return segment ? toString(*segment) : qstrdup("no segment");
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
    void nonNumberIsGap_data();
    void nonNumberIsGap();
    void readingBeyondPlotDrawnAtEdge_data();
    void readingBeyondPlotDrawnAtEdge();
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

    // After an outage the first reading stands alone; the sample number still advances, and
    // the one after it joins it again.
    trend.breakLine();
    QVERIFY(!trend.addSample(QStringLiteral("00.9")).segment);
    QCOMPARE(trend.itime(), 3);
    QCOMPARE(trend.addSample(QStringLiteral("01.0")).segment, QLineF(2, 0.9, 3, 1.0));
}

void TestPressureTrend::nonNumberIsGap_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("exponent") << "1e3";
}

void TestPressureTrend::nonNumberIsGap()
{
    QFETCH(QString, text);

    // After a whole sweep every slot holds an old reading, which a gap must not bring back.
    PressureTrend trend;
    fillSweep(trend);
    QVERIFY(!trend.addSample(text).segment);
    QVERIFY(std::isnan(trend.prhistory(0)));
    trend.addSample(QStringLiteral("1.2"));
    QVERIFY(!trend.addSample(text).segment);
    QVERIFY(std::isnan(trend.prhistory(2)));
    QCOMPARE(trend.itime(), 3);

    // The next reading starts a fresh segment: nothing is drawn to it, only from it.
    QVERIFY(!trend.addSample(QStringLiteral("0.9")).segment);
    QCOMPARE(trend.addSample(QStringLiteral("1.0")).segment, QLineF(3, 0.9, 4, 1.0));
}

void TestPressureTrend::readingBeyondPlotDrawnAtEdge_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("reading");
    QTest::addColumn<double>("drawnAt");
    QTest::newRow("above the top") << "05.0" << 5.0 << 2.0;
    QTest::newRow("far above") << "9999" << 9999.0 << 2.0;
    QTest::newRow("on the top edge") << "02.0" << 2.0 << 2.0;
    QTest::newRow("below the bottom") << "-1.5" << -1.5 << -1.0;
    QTest::newRow("far below") << "-999" << -999.0 << -1.0;
}

void TestPressureTrend::readingBeyondPlotDrawnAtEdge()
{
    QFETCH(QString, text);
    QFETCH(double, reading);
    QFETCH(double, drawnAt);

    PressureTrend trend;
    trend.addSample(QStringLiteral("1.0"));
    QCOMPARE(trend.addSample(text).segment, QLineF(0, 1.0, 1, drawnAt));
    QCOMPARE(trend.prhistory(1), reading);
    QCOMPARE(trend.addSample(QStringLiteral("0.5")).segment, QLineF(1, drawnAt, 2, 0.5));
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
    // A gap replaces the value left from the last sweep.
    QVERIFY(!trend.addSample(QStringLiteral("x")).segment);
    QVERIFY(std::isnan(trend.prhistory(10)));
}

void TestPressureTrend::axisLines()
{
    const std::array<QLineF, 4> &lines = PressureTrend::axisLines();
    QCOMPARE(lines[0], QLineF(0, 0, 100, 0));
    QCOMPARE(lines[1], QLineF(0, 0.5, 1.5, 0.5));
    QCOMPARE(lines[2], QLineF(0, 1, 1.5, 1));
    QCOMPARE(lines[3], QLineF(0, 1.5, 1.5, 1.5));
}

QTEST_GUILESS_MAIN(TestPressureTrend)
#include "tst_pressuretrend.moc"
