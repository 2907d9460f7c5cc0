#pragma once

#include "alarms/alarmmonitor.h"
#include "session/pumpsession.h"
#include "telemetry/panelstate.h"

#include <QDateTime>
#include <QJsonObject>

class PumpSession;

// The state the panel publishes, put together from the pump session (the link, the device,
// the last frame, an owed stop), the alarms latched, and what the window holds of the pump
// number and the timed run.
class PanelStateBuilder
{
public:
    struct Window
    {
        int pumpNumber = 0;
        double runSetMinutes = 0; // 0 before a time is set
        QDateTime runStartedAt;   // invalid while no timed run counts or is paused
        bool runCounting = false;
        QString programName; // empty while no program has run
        QString programStep;
        QString programState = QStringLiteral("idle");
        QString programStepPath;
        QJsonObject care; // pump care's counters; empty before an adapter
        QJsonObject remote; // remote control and its lease; empty while it is off
    };

    // commanded: the last run or stop frame sent, none before one went out.
    static PanelState build(const PumpSession &session, const QList<AlarmMonitor::Alarm> &latched,
                            const Window &window, const PumpSession::SentFrame &commanded = {});
};
