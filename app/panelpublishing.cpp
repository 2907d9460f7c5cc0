#include "app/panelpublishing.h"

#include "alarms/alarmmonitor.h"
#include "platform/publisher.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"

#include <cmath>

PanelPublishing::PanelPublishing(const MqttSettings &settings, RunRecord *record,
                                 AlarmMonitor *alarms, PumpSession *session, QObject *parent)
    : QObject(parent), m_publisher(new Publisher(settings, this)), m_alarms(alarms),
      m_session(session)
{
    using Status = MqttPublisher::Status;
    connect(m_publisher, &Publisher::statusChanged, this,
            [this](Status status, const QString &detail) {
                Q_EMIT statusText(tr("监控：%1").arg(detail));
                // An event line for each change, not for each attempt of the same kind.
                if (int(status) == std::exchange(m_lastStatus, int(status)) ||
                    status == Status::Connecting)
                    return;
                m_session->logEvent(status == Status::Connected ? "mqtt-connected"
                                    : status == Status::Away    ? "mqtt-lost"
                                                                : "mqtt-refused",
                                    detail);
            });
    connect(record, &RunRecord::readingAdded, this, [this](const RunRecord::Reading &r) {
        m_publisher->reading(r.time, r.text, r.value.value_or(std::nan("")));
    });
    connect(record, &RunRecord::eventAdded, this, [this](const RunRecord::Event &event) {
        m_publisher->event(event.time, event.key, event.text);
        stateChanged();
    });
    const auto alarm = [this](AlarmMonitor::Kind kind, const char *action, const QString &text) {
        m_publisher->alarm(QDateTime::currentDateTime(), AlarmMonitor::id(kind),
                           QString::fromLatin1(action), text);
    };
    connect(alarms, &AlarmMonitor::raised, this,
            [alarm](const AlarmMonitor::Alarm &a) { alarm(a.kind, "raised", a.value); });
    connect(alarms, &AlarmMonitor::cleared, this,
            [alarm](const AlarmMonitor::Clearing &c) { alarm(c.kind, "cleared", QString()); });
    connect(alarms, &AlarmMonitor::stopWanted, this, [alarm](const AlarmMonitor::Alarm &a) {
        alarm(a.kind, "acted", QStringLiteral("stop"));
    });
    connect(alarms, &AlarmMonitor::acknowledged, this,
            [alarm](const QList<AlarmMonitor::Alarm> &alarms) {
                for (const AlarmMonitor::Alarm &a : alarms)
                    alarm(a.kind, "acknowledged", QString());
            });
}

void PanelPublishing::start()
{
    m_publisher->start();
    stateChanged();
}

void PanelPublishing::stateChanged()
{
    m_publisher->state(PanelStateBuilder::build(*m_session, m_alarms->latched(),
                                                m_window ? m_window() : PanelStateBuilder::Window{}));
}
