#pragma once

#include <QString>

// What the operator set for the four alarms. Each is off until set; each either warns only or
// also stops the pump.
struct AlarmSettings
{
    struct Pressure
    {
        bool on = false;
        double limit = 0; // MPa
        bool stop = false;
        friend bool operator==(const Pressure &, const Pressure &) = default;
    };
    struct Duration
    {
        bool on = false;
        int seconds = 0;
        bool stop = false;
        friend bool operator==(const Duration &, const Duration &) = default;
    };

    static constexpr double kLowestLimit = 0.0;
    static constexpr double kHighestLimit = 2.0;
    // Of a limit in MPa, as the dialog's field takes it.
    static constexpr int kLimitDecimals = 2;
    static constexpr int kShortestSeconds = 3;
    static constexpr int kLongestSeconds = 24 * 60 * 60;
    // A pressure condition ends only this far back inside its limit, so that a reading
    // trembling at the limit does not raise and clear it over and over.
    static constexpr double kHysteresis = 0.05;

    Pressure high;    // the pressure climbs: a blocked column
    Pressure low;     // the pressure falls away while the pump runs: a leak, air, a stall
    Duration silence; // no reading while the port is open
    Duration link;    // the line stays lost

    // Empty when the settings may be used; else why not, naming the field.
    QString problem() const;

    bool anyOn() const { return high.on || low.on || silence.on || link.on; }
    friend bool operator==(const AlarmSettings &, const AlarmSettings &) = default;
};
