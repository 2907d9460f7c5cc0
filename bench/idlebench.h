#pragma once

#include <QString>

// The panel's CPU while it only polls: the panel's window in a process of its own opens port 1
// on a pseudo-terminal held here, and a peer here answers each poll with a reading at once.
// The panel process measures its own CPU time over the given seconds, from its first reading
// on, with the poll at its real interval; the peer's work is not in the figure.
namespace IdleBench {

struct Result
{
    double cpuSeconds = 0;
    double wallSeconds = 0;
    int readings = 0;      // readings the panel took during the measured time
    int pollsAnswered = 0; // over the whole life of the panel process
    QString error;
};

Result run(const QString &panelProgram, double seconds);

} // namespace IdleBench
