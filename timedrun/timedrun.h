#pragma once

#include <QLocale>
#include <QString>
#include <QtGlobal>

#include <chrono>

// The counting of a timed run: the set time in minutes (timeset), the elapsed seconds (tset),
// the end condition and the clock text. It knows nothing of timers or frames: the window's
// one-second tick calls tick(), and the window enables and disables that tick, sends the run
// and stop frames and shows the clock in the order the commands require.
//
// A run of T minutes ends on the tick at which the elapsed seconds first reach T x 60, or on
// the first tick when T x 60 is below 1. The count is 64-bit, so a run of any set time that
// setTime() accepts is counted to its end; the hours simply go past 9 after 32767 s.
class TimedRun
{
public:
    static constexpr auto kTickInterval = std::chrono::milliseconds(1000);

    static constexpr char kSetTimePrompt[] = "请输入设定时间 单位 分 ";
    static constexpr char kSetTimeTitle[] = "时间设定";
    static constexpr char kSetTimeDefault[] = "0";

    struct Clock
    {
        QString hours;   // lhour: no leading zeros, no sign
        QString minutes; // lmin: 0..59
        QString seconds; // lsed: 0..59
    };

    struct Tick
    {
        Clock clock; // reading after this tick, to be shown
        bool ended;  // the set time is reached: send the stop frame and stop the tick
    };

    // stset: converts the answer with the locale's own conversion (blanks around it allowed).
    // False, and nothing changes, for text that is not a number, a value that is not finite or
    // one whose seconds the count cannot hold. No other range check. A group separator is
    // refused: "1,500" must not become 1500 minutes where it was meant as 1.5.
    bool setTime(const QString &answer, const QLocale &locale = QLocale());

    void start() { m_tset = 0; }  // ststart: the count starts again from 0
    void end() { m_timeset = 0; } // stend: the set time is cleared; tset is kept
    // Timer1's tick: the seconds counted since the last tick (at least one); when the set time
    // is reached, tset goes back to 0.
    Tick tick(qint64 seconds = 1);

    static Clock clockFor(qint64 seconds);

    double timeset() const { return m_timeset; }
    qint64 tset() const { return m_tset; }

private:
    double m_timeset = 0;
    qint64 m_tset = 0;
};
