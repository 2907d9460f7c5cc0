#pragma once

#include <QRandomGenerator>

// A constant-flow pump with a pressure sensor, without any I/O or clock: the caller advances
// time with step(). The pressure follows flow * back pressure through a first-order lag while
// running and decays towards zero when stopped; the reading adds seeded uniform noise and is
// kept within what the "00.0" field can carry. A reading above the protection limit stops the
// pump, as the real one protects its seals, and it stays stopped until run() is called again.
class PumpModel
{
public:
    struct Parameters
    {
        double backPressureMPaPerMlMin = 0.002;
        double timeConstantS = 3.0;
        double noiseMPa = 0.01;
        quint32 seed = 1;
    };

    static constexpr double kMaxFlowMlPerMin = 9999.0;
    static constexpr double kMaxPressureMPa = 99.9;

    explicit PumpModel(const Parameters &parameters);

    // Settings are kept at the pump's resolution (1 ml/min, 0.1 MPa); false, and nothing
    // changed, for a value the pump cannot hold.
    bool setFlowSetpoint(double mlPerMin);
    double flowSetpoint() const { return m_flowMlPerMin; }
    bool setProtectionLimit(double mpa);
    double protectionLimit() const { return m_limitMPa; }

    void run();
    void stop();
    bool isRunning() const { return m_running; }
    // The last stop came from the protection limit rather than from stop().
    bool hasTripped() const { return m_tripped; }

    // Advances the pump by dtSeconds and takes a new reading.
    void step(double dtSeconds);

    double pressure() const { return m_pressureMPa; } // noise-free
    double reading() const { return m_readingMPa; }   // what the sensor reports, 0..99.9

private:
    Parameters m_parameters;
    QRandomGenerator m_random;
    double m_flowMlPerMin = 500.0;
    double m_limitMPa = 2.0;
    bool m_running = false;
    bool m_tripped = false;
    double m_pressureMPa = 0.0;
    double m_readingMPa = 0.0;
};
