#pragma once

#include <QString>

// What a remote client drives: the pump through the panel's own session and timed run, so
// that a remote command goes out exactly as the operator's would (the same frames, the same
// event lines and audit records, with the client as their source). Implemented once over
// whatever composes the panel; calls come on the panel's thread.
class RemotePump
{
public:
    // What happened: nothing refused means done; a stop held for the lost link is owed.
    struct Outcome
    {
        QString refusal; // the panel's own reason, as it would tell the operator
        bool owed = false;
    };

    virtual ~RemotePump() = default;

    virtual Outcome setFlow(int address, int flowMlPerMin, const QString &source) = 0;
    virtual Outcome setLimit(int address, double limitMPa, const QString &source) = 0;
    virtual Outcome run(const QString &source) = 0;
    virtual Outcome stop(const QString &source) = 0;
    // minutes: as the operator would type it into 设定's box.
    virtual Outcome setRunTime(const QString &minutes, const QString &source) = 0;
    virtual Outcome startTimedRun(const QString &source) = 0;
    virtual Outcome pauseTimedRun(const QString &source) = 0;
    virtual Outcome continueTimedRun(const QString &source) = 0;
    virtual Outcome endTimedRun(const QString &source) = 0;
    virtual Outcome acknowledgeAlarms(const QString &source) = 0;
};
