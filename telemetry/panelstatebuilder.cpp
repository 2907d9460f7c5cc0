#include "telemetry/panelstatebuilder.h"

#include "session/pumpsession.h"

#include <QLocale>

PanelState PanelStateBuilder::build(const PumpSession &session,
                                    const QList<AlarmMonitor::Alarm> &latched, const Window &window,
                                    const PumpSession::SentFrame &commanded)
{
    PanelState state;
    switch (session.link()) {
    case PumpSession::Link::Open:
        state.link = QStringLiteral("open");
        break;
    case PumpSession::Link::Lost:
        state.link = QStringLiteral("lost");
        break;
    case PumpSession::Link::Closed:
        state.link = QStringLiteral("closed");
        break;
    }
    state.device = session.device();
    state.lastFrame = session.lastFrame().frame;
    state.lastFrameSource = session.lastFrame().source;
    state.lastFrameTime = session.lastFrame().time;
    state.flowFrame = session.lastFlowSent().frame;
    state.flowTime = session.lastFlowSent().time;
    state.limitFrame = session.lastLimitSent().frame;
    state.limitTime = session.lastLimitSent().time;
    state.pumpNumber = window.pumpNumber;
    if (commanded.frame.size() == 9 &&
        (commanded.frame.at(3) == u'R' || commanded.frame.at(3) == u'S')) {
        state.commanded =
            commanded.frame.at(3) == u'R' ? QStringLiteral("run") : QStringLiteral("stop");
        state.commandedTime = commanded.time;
    }
    if (window.runSetMinutes > 0) {
        state.runSetTime = QStringLiteral("%1 分").arg(QLocale().toString(window.runSetMinutes));
        state.runSetSeconds = window.runSetMinutes * 60;
    }
    state.runStartedAt = window.runStartedAt;
    state.runMode = window.runCounting              ? QStringLiteral("counting")
                    : window.runStartedAt.isValid() ? QStringLiteral("paused")
                                                    : QStringLiteral("idle");
    state.pendingStop = session.pendingStop().isPending();
    state.programName = window.programName;
    state.programStep = window.programStep;
    state.programStepPath = window.programStepPath;
    state.programState = window.programState;
    state.care = window.care;
    state.remote = window.remote;
    for (const AlarmMonitor::Alarm &alarm : latched)
        state.alarms << AlarmMonitor::id(alarm.kind);
    return state;
}
