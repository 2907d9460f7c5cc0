#include "link/commandframe.h"
#include "tools/pumpsim/pumpmodel.h"

#include <QTest>

#include <cmath>

namespace {

PumpModel::Parameters quietPump()
{
    PumpModel::Parameters parameters;
    parameters.noiseMPa = 0.0;
    return parameters;
}

void runFor(PumpModel &model, double seconds)
{
    constexpr double kTickS = 0.1;
    for (int i = 0; i < int(std::lround(seconds / kTickS)); ++i)
        model.step(kTickS);
}

// What the pump does at a time on its clock; a NaN pressure is not looked at.
struct Probe
{
    double atS, pressure;
    bool running, silent = false;
};
} // namespace

Q_DECLARE_METATYPE(PumpModel::Faults)
Q_DECLARE_METATYPE(QList<Probe>)

class TestPumpModel : public QObject
{
    Q_OBJECT

private slots:
    void lagFollowsTimeConstant();
    void limitStopsPumpUntilRunAgain();
    void readingsFitPressureField_data();
    void readingsFitPressureField();
    void faultsComeAtTheirTime_data();
    void faultsComeAtTheirTime();
};

void TestPumpModel::lagFollowsTimeConstant()
{
    // 500 ml/min at 0.002 MPa per ml/min heads for 1.0 MPa with a 3 s time constant.
    PumpModel ticked(quietPump());
    ticked.run();
    runFor(ticked, 3.0);
    QCOMPARE_LT(std::abs(ticked.reading() - (1.0 - std::exp(-1.0))), 0.01);

    // One coarse step lands where thirty fine ones did.
    PumpModel coarse(quietPump());
    coarse.run();
    coarse.step(3.0);
    QCOMPARE_LT(std::abs(coarse.pressure() - ticked.pressure()), 1e-9);

    runFor(ticked, 30.0);
    ticked.stop();
    runFor(ticked, 3.0);
    QCOMPARE_LT(std::abs(ticked.reading() - std::exp(-1.0)), 0.01);
}

void TestPumpModel::limitStopsPumpUntilRunAgain()
{
    PumpModel model(quietPump());
    QVERIFY(model.setFlowSetpoint(1000)); // heads for 2.0 MPa
    QVERIFY(model.setProtectionLimit(1.5));
    model.run();
    double peak = 0.0;
    for (int i = 0; i < 300 && model.isRunning(); ++i) {
        model.step(0.1);
        peak = std::max(peak, model.reading());
    }
    QVERIFY(model.hasTripped());
    QCOMPARE_GT(peak, 1.5);
    QCOMPARE_LT(peak, 1.6);

    runFor(model, 30.0);
    QVERIFY(!model.isRunning());
    QCOMPARE_LT(model.reading(), 0.01);

    model.run();
    model.step(0.1);
    QVERIFY(model.isRunning());
    QVERIFY(!model.hasTripped());
}

void TestPumpModel::readingsFitPressureField_data()
{
    QTest::addColumn<double>("flow");
    QTest::addColumn<double>("backPressure");
    QTest::addColumn<double>("noise");

    QTest::newRow("stopped in heavy noise") << 0.0 << 0.002 << 5.0;
    QTest::newRow("far beyond the field") << 9999.0 << 1.0 << 0.5;
}

void TestPumpModel::readingsFitPressureField()
{
    QFETCH(double, flow);
    QFETCH(double, backPressure);
    QFETCH(double, noise);

    PumpModel model({backPressure, 0.5, noise, 7});
    QVERIFY(model.setFlowSetpoint(flow));
    model.run();
    for (int i = 0; i < 500; ++i) {
        model.step(0.1);
        const QString frame = MakeFrame("00", "N", pressureField(model.reading()));
        QVERIFY2(model.reading() >= 0.0 && isWellFormedFrame(frame), qPrintable(frame));
    }
}

void TestPumpModel::faultsComeAtTheirTime_data()
{
    QTest::addColumn<PumpModel::Faults>("faults");
    QTest::addColumn<QList<Probe>>("probes");
    // A 1 s lag: 1 - e^-t MPa from the start; blocked, 0.2 MPa/s from 0.99 to 2.0 at 10.03 s.
    const double at5 = 1.0 - std::exp(-5.0), at6 = at5 * std::exp(-1.0), nan = qQNaN();
    QTest::newRow("blocked") << PumpModel::Faults{.blockedAtS = 5.0}
                             << QList<Probe>{{6.0, at5 + 0.2, true}, {11.0, nan, false}};
    QTest::newRow("leak") << PumpModel::Faults{.leakAtS = 5.0}
                          << QList<Probe>{{6.0, at6, true}, {9.0, at5 * std::exp(-4.0), true}};
    QTest::newRow("stall") << PumpModel::Faults{.stallAtS = 5.0}
                           << QList<Probe>{{4.5, nan, true}, {6.0, at6, false}};
    QTest::newRow("silent for 2 s")
        << PumpModel::Faults{.silentAtS = 5.0, .silentForS = 2.0}
        << QList<Probe>{{4.5, nan, true}, {5.5, nan, true, true}, {7.5, nan, true}};
}

void TestPumpModel::faultsComeAtTheirTime()
{
    QFETCH(PumpModel::Faults, faults);
    QFETCH(QList<Probe>, probes);
    // Ticked finely, and in one step from probe to probe: a fault begins at its time either way.
    for (const bool coarse : {false, true}) {
        PumpModel model({0.002, 1.0, 0.0, 1});
        model.setFaults(faults);
        model.run();
        for (const Probe &probe : probes) {
            coarse ? model.step(probe.atS - model.clock())
                   : runFor(model, probe.atS - model.clock());
            const QByteArray at = QByteArray::number(probe.atS) + (coarse ? " s, coarse" : " s");
            QVERIFY2(model.isRunning() == probe.running && model.isSilent() == probe.silent, at);
            QVERIFY2(qIsNaN(probe.pressure) || std::abs(model.pressure() - probe.pressure) < 1e-6,
                     at + ": " + QByteArray::number(model.pressure()));
        }
    }
}

QTEST_APPLESS_MAIN(TestPumpModel)
#include "tst_pumpmodel.moc"
