#pragma once

#include <QList>
#include <QString>

#include <optional>

class RunHistory;

// The figures of a run report for a time range, from the run's readings and events: what was
// set when the range began and each change within it, the pressure's figures, and each alarm
// with what it did and when the operator acknowledged it. Settings and alarms are read from
// the event lines as the panel writes them (a frame sent, an alarm raised, its action, its
// acknowledgement, a program's start and end). A program's ramp, which sends its setting every
// second, is one change.
struct RunReport
{
    struct Setting
    {
        enum class Kind { Flow, Pressure, Pump };
        qint64 ms = 0;
        Kind kind = Kind::Flow;
        double value = 0; // ml/min, MPa, or the pump number
        QString source;   // what sent it (a key, a menu item); empty for a pump number
        // A program's ramp, its frames taken as one change: the value before its first frame
        // (none when nothing was sent before) and the seconds from its step's start to its
        // last frame; a plain change has seconds < 0.
        std::optional<double> from;
        qint64 seconds = -1;
        bool ramp() const { return seconds >= 0; }
    };
    // A run or stop frame sent.
    struct Command
    {
        qint64 ms = 0;
        bool run = false;
        QString source;
    };
    // A pump program that ran in the range, as its start and end say.
    struct ProgramRun
    {
        qint64 startMs = 0;
        std::optional<qint64> endMs;
        QString name;
        QString file;   // as started, or 未保存
        QString sha256; // of the file when it started; empty when unknown
        QString ended;  // why it ended
    };
    struct Alarm
    {
        enum class Action { Warned, StopSent, StopOwed };
        qint64 ms = 0;
        QString name;
        std::optional<double> pressure; // MPa, for an alarm raised by a reading
        QString value;                  // as recorded, for the others (a time)
        Action action = Action::Warned;
        std::optional<qint64> acknowledgedMs; // also after the range
    };

    qint64 fromMs = 0;
    qint64 toMs = 0;
    std::optional<qint64> startMs; // the timed run's start and end in the range, if any
    std::optional<qint64> endMs;
    QString setTime;                    // the set time in force at the end of the range
    std::optional<Setting> flowAtStart; // the last of each sent before the range
    std::optional<Setting> pressureAtStart;
    std::optional<Setting> pumpAtStart;
    QList<Setting> changes;     // settings sent within the range, a new pump number among them
    QList<Command> commands;    // run and stop frames sent within the range
    QList<ProgramRun> programs; // started before its end and not ended before its start
    QList<Alarm> alarms;        // alarms raised within the range
    qint32 readings = 0;        // replies in the range
    qint32 numbers = 0;         // of them, numbers
    qint32 gaps = 0;            // replies that were no number, and outages of the line
    double minimum = 0;         // of the numbers; meaningful while numbers > 0
    double maximum = 0;
    double mean = 0;
    QString last;                    // the last reply as received
    std::optional<double> lastValue; // and as a number, when it was one

    static RunReport compute(const RunHistory &record, qint64 fromMs, qint64 toMs);
    // The last timed run from its start to its end, pauses included (to its last reading if
    // it has not ended); else everything kept. Empty record: nothing.
    static std::optional<std::pair<qint64, qint64>> defaultRange(const RunHistory &record);
};
