#pragma once

#include "telemetry/alarmmessagebook.h"
#include "telemetry/panelstatebuilder.h"

#include <QObject>

#include <functional>

class AlarmMonitor;
class Publisher;
class PumpSession;
class RunRecord;
struct MqttSettings;

// What the panel publishes, wired to where it comes from: every reading and event of the run
// record, the alarms as they are raised, act, clear and are acknowledged, and the state again
// after every event. How the broker connection goes is a line of the status area, with a
// password file that others may read named on it too, and an event line each time it changes
// kind.
class PanelPublishing : public QObject
{
    Q_OBJECT

public:
    PanelPublishing(const MqttSettings &settings, RunRecord *record, AlarmMonitor *alarms,
                    PumpSession *session, QObject *parent = nullptr);

    // What the window holds of the state, asked each time it is published.
    void setWindowSource(std::function<PanelStateBuilder::Window()> source)
    {
        m_window = std::move(source);
    }
    void start();
    // Something of the state changed without an event.
    void stateChanged();
    Publisher *publisher() const { return m_publisher; }

Q_SIGNALS:
    void statusText(const QString &text);

private:
    Publisher *m_publisher;
    const RunRecord *m_record;
    AlarmMonitor *m_alarms;
    PumpSession *m_session;
    AlarmMessageBook m_alarmBook;
    std::function<PanelStateBuilder::Window()> m_window;
    PumpSession::SentFrame m_commanded; // the last run or stop frame sent
    QDateTime m_startedAt;
    QString m_warning;     // after every status, as long as its cause lasts
    int m_lastStatus = -1; // the last status told in an event line
};
