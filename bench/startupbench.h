#pragma once

#include <QList>
#include <QSize>
#include <QString>

// Start-up of a window in fresh processes: each sample starts the program, which prints its
// FirstPaintProbe line once its window is painted, and is timed from just before the start
// (fork and exec included) on the monotonic clock both processes share. The panel and the
// reference window are started in turn, so a busy spell on the machine falls on both.
namespace StartupBench {

struct Sample
{
    // Milliseconds from the start of the process to main(), to the QApplication, to the
    // window built, shown, and painted for the first time.
    double mainMs = 0;
    double appMs = 0;
    double builtMs = 0;
    double shownMs = 0;
    double paintedMs = 0;
    double cpuMs = 0; // the process's CPU time up to the first paint, every thread
    double residentMiB = 0;
    double pageFaults = 0; // minor faults up to the first paint: memory touched for the first time
    QSize client;
};

struct Series
{
    QString program;
    QList<Sample> samples;
};

struct Result
{
    Series panel;
    Series bare;
    QString error;
};

// One start of each program is made and dropped first: it pays for a cold page cache.
Result run(const QString &panelProgram, const QString &bareProgram, int samples);

// The median of one field over a series, e.g. median(series, &Sample::paintedMs).
double median(const Series &series, double Sample::*field);

} // namespace StartupBench
