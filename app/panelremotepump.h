#pragma once

#include "remote/remotepump.h"

#include <functional>

class AlarmMonitor;
class PumpSession;
class TimedRunControl;

// The pump as a remote client drives it: the panel's own session and timed run, the frames
// sent with the client as their source, so that each is an event line and an audit record
// like the operator's. Nothing here opens a box at the panel; what the panel would have
// told in one comes back as the refusal.
class PanelRemotePump : public RemotePump
{
public:
    PanelRemotePump(PumpSession *session, TimedRunControl *timedRun, AlarmMonitor *alarms)
        : m_session(session), m_timedRun(timedRun), m_alarms(alarms)
    {
    }

    // True while a remote command is being carried out: what it starts is not the panel's.
    bool acting() const { return m_acting; }

    Outcome setFlow(int address, int flowMlPerMin, const QString &source) override;
    Outcome setLimit(int address, double limitMPa, const QString &source) override;
    Outcome run(const QString &source) override;
    Outcome stop(const QString &source) override;
    Outcome setRunTime(const QString &minutes, const QString &source) override;
    Outcome startTimedRun(const QString &source) override;
    Outcome pauseTimedRun(const QString &source) override;
    Outcome continueTimedRun(const QString &source) override;
    Outcome endTimedRun(const QString &source) override;
    Outcome acknowledgeAlarms(const QString &source) override;

    // Does a source name a remote client?
    static bool isRemote(const QString &source);

private:
    Outcome sent(const QString &refusal) const { return {refusal, false}; }
    Outcome heldAsRemote(const std::function<QString()> &command);
    Outcome setpoint(bool flow, int address, double value, const QString &source);

    PumpSession *m_session;
    TimedRunControl *m_timedRun;
    AlarmMonitor *m_alarms;
    bool m_acting = false;
};
