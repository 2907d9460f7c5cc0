#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// What the panel publishes as its retained state: the link, the last frame sent other than the
// poll, the pump number, the timed run and the alarms raised. The running clock alone is no
// change of state.
struct PanelState
{
    QString link = QStringLiteral("closed"); // open, lost or closed
    QString device;
    QString lastFrame;
    QString lastFrameSource;
    QDateTime lastFrameTime;
    int pumpNumber = 0;
    // The last run or stop frame sent ("run", "stop"; empty: none since the panel started).
    QString commanded;
    QDateTime commandedTime;
    QString runSetTime;                       // as set, e.g. "10 分"; empty before one is set
    double runSetSeconds = 0;                 // the same in seconds; 0 before one is set
    QDateTime runStartedAt;                   // invalid while no timed run counts or is paused
    QString runMode = QStringLiteral("idle"); // idle, counting or paused
    bool pendingStop = false;
    QStringList alarms; // raised and not yet acknowledged
    // The last flow (L) and protection-limit (P) frames sent: value, pump address and time;
    // an empty frame before one went out.
    QString flowFrame;
    QDateTime flowTime;
    QString limitFrame;
    QDateTime limitTime;
    // The pump program: its name (empty while none has run), step and state (idle, running,
    // paused, ending or ended).
    QString programName;
    QString programStep;
    QString programStepPath; // as the file has it: "steps[2].ramp"
    QString programState = QStringLiteral("idle");
    // Pump care: each counter under a key that names its unit (volumeMl, runHours, ...), the
    // limits set and the counters due; empty before an adapter was opened.
    QJsonObject care;
    // Remote control: whether it serves, who holds the lease and for how long; empty while off.
    QJsonObject remote;
    // Since when the panel knows what it sent: setpoints before it are unknown.
    QDateTime startedAt;
    // Events the run record no longer keeps (the oldest go past its bound).
    quint64 eventsDropped = 0;

    // The JSON object, with the readings dropped while the broker was away.
    QByteArray toJson(quint64 readingsDropped) const;
    friend bool operator==(const PanelState &, const PanelState &) = default;
};
