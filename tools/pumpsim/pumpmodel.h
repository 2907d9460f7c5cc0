#pragma once

#include <QRandomGenerator>

#include <optional>

// A constant-flow pump with a pressure sensor, without any I/O or clock: the caller advances
// time with step(), and the pump's own clock is the sum of those steps. The pressure follows
// flow * back pressure through a first-order lag while running and decays towards zero when
// stopped; the reading adds seeded uniform noise and is kept within what the "00.0" field can
// carry. A reading above the protection limit stops the pump, as the real one protects its
// seals, and it stays stopped until run() is called again. Faults set with setFaults() come
// over it at their time on its clock.
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

    // Times are seconds on the pump's clock; an unset fault never comes. Every member has its
    // initializer, so that a designated initializer may name only the fault it sets.
    struct Faults
    {
        // From then on, while running, the pressure climbs at kBlockedClimbMPaPerS towards
        // blockedMPa, or kBlockedMarginMPa above the protection limit so that the limit trips.
        std::optional<double> blockedAtS{};
        std::optional<double> blockedMPa{};
        // From then on, while running, the pressure falls away towards zero through the lag.
        // It wins over a blocked outlet: the liquid leaves before the blockage.
        std::optional<double> leakAtS{};
        // The pump stops as on stop(), then or the first time it runs after then; once.
        std::optional<double> stallAtS{};
        // No replies from then on, for silentForS or for ever. It is the simulator's to obey.
        std::optional<double> silentAtS{};
        std::optional<double> silentForS{};
    };

    static constexpr double kMaxFlowMlPerMin = 9999.0;
    static constexpr double kMaxPressureMPa = 99.9;
    // Constant flow into a dead end: a steady rise the operator can watch, not a jump.
    static constexpr double kBlockedClimbMPaPerS = 0.2;
    static constexpr double kBlockedMarginMPa = 0.5;

    explicit PumpModel(const Parameters &parameters);

    // Settings are kept at the pump's resolution (1 ml/min, 0.1 MPa); false, and nothing
    // changed, for a value the pump cannot hold.
    bool setFlowSetpoint(double mlPerMin);
    double flowSetpoint() const { return m_flowMlPerMin; }
    bool setProtectionLimit(double mpa);
    double protectionLimit() const { return m_limitMPa; }
    void setFaults(const Faults &faults);

    void run();
    void stop();
    bool isRunning() const { return m_running; }
    // The last stop came from the protection limit rather than from stop().
    bool hasTripped() const { return m_tripped; }
    // The last stop was the stall.
    bool hasStalled() const { return m_stalled; }

    // Advances the pump by dtSeconds and takes a new reading.
    void step(double dtSeconds);
    double clock() const { return m_clockS; }

    bool isBlocked() const { return m_faults.blockedAtS && m_clockS >= *m_faults.blockedAtS; }
    bool isLeaking() const { return m_faults.leakAtS && m_clockS >= *m_faults.leakAtS; }
    bool isSilent() const;
    // Where a blocked outlet takes the pressure.
    double blockedPressure() const;

    double pressure() const { return m_pressureMPa; } // noise-free
    double reading() const { return m_readingMPa; }   // what the sensor reports, 0..99.9

private:
    void advance(double dtSeconds);
    void stallIfDue();
    double nextFaultAfter(double clockS) const;

    Parameters m_parameters;
    Faults m_faults;
    QRandomGenerator m_random;
    double m_clockS = 0.0;
    double m_flowMlPerMin = 500.0;
    double m_limitMPa = 2.0;
    bool m_running = false;
    bool m_tripped = false;
    bool m_stalled = false;
    bool m_stallPending = false;
    double m_pressureMPa = 0.0;
    double m_readingMPa = 0.0;
};
