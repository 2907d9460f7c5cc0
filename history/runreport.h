#pragma once

#include <QList>
#include <QString>

#include <optional>

class RunRecord;

// The figures of a run report for a time range, from the run's readings and events.
struct RunReport
{
    struct Line
    {
        qint64 ms;
        QString text;
    };

    qint64 fromMs = 0;
    qint64 toMs = 0;
    std::optional<qint64> startMs; // the timed run's start and end in the range, if any
    std::optional<qint64> endMs;
    QString setTime;       // the set time in force at the end of the range
    QList<Line> setpoints; // flow and pressure frames sent
    QList<Line> alarms;    // alarms raised
    qint32 readings = 0;   // replies in the range
    qint32 numbers = 0;    // of them, numbers
    qint32 gaps = 0;       // replies that were no number, and outages of the line
    double minimum = 0;    // of the numbers; meaningful while numbers > 0
    double maximum = 0;
    double mean = 0;
    QString last; // the last reply as received

    static RunReport compute(const RunRecord &record, qint64 fromMs, qint64 toMs);
    // The last timed run from its start to its end, pauses included (to its last reading if
    // it has not ended); else everything kept. Empty record: nothing.
    static std::optional<std::pair<qint64, qint64>> defaultRange(const RunRecord &record);
};
