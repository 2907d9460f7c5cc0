#include "app/panelpublishing.h"

#include "alarms/alarmmonitor.h"
#include "platform/publisher.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"

#include <cmath>

namespace {

MqttSettings withSession(MqttSettings settings, const RunRecord *record)
{
    settings.session = record->sessionId();
    return settings;
}

} // namespace

PanelPublishing::PanelPublishing(const MqttSettings &settings, RunRecord *record,
                                 AlarmMonitor *alarms, PumpSession *session, QObject *parent)
    : QObject(parent), m_publisher(new Publisher(withSession(settings, record), this)),
      m_record(record), m_alarms(alarms), m_session(session),
      m_startedAt(QDateTime::currentDateTime())
{
    if (settings.authReadableByOthers)
        m_warning = tr("；其他用户可读取密码文件 %1，请执行 chmod 600").arg(settings.authFile);
    using Status = MqttPublisher::Status;
    connect(m_publisher, &Publisher::statusChanged, this,
            [this](Status status, const QString &detail) {
                Q_EMIT statusText(tr("监控：%1").arg(detail) + m_warning);
                // An event line for each change, not for each attempt of the same kind.
                if (int(status) == std::exchange(m_lastStatus, int(status)) ||
                    status == Status::Connecting)
                    return;
                m_session->logEvent(status == Status::Connected ? "mqtt-connected"
                                    : status == Status::Away || status == Status::IdTaken
                                        ? "mqtt-lost"
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
    // Whether the pump was last told to run or to stop, as the frame went out, whoever sent it.
    connect(session, &PumpSession::frameSent, this, [this](const PumpSession::SentFrame &sent) {
        if (sent.frame.size() == 9 && (sent.frame.at(3) == u'R' || sent.frame.at(3) == u'S')) {
            m_commanded = sent;
            // The frame's event line has published the state already, without it.
            stateChanged();
        }
    });
    const auto now = [] { return QDateTime::currentDateTime(); };
    connect(alarms, &AlarmMonitor::raised, this, [this](const AlarmMonitor::Alarm &a) {
        m_publisher->alarm(m_alarmBook.raised(a, m_alarms->settings()));
    });
    connect(session, &PumpSession::alarmActed, this,
            [this, now](AlarmMonitor::Kind kind, bool stopSent) {
                m_publisher->alarm(m_alarmBook.acted(kind, stopSent, now()));
            });
    connect(session, &PumpSession::pendingStopSettled, this, [this, now](auto, bool sent) {
        for (const TelemetryMessages::Alarm &a : m_alarmBook.stopSettled(sent, now()))
            m_publisher->alarm(a);
    });
    connect(alarms, &AlarmMonitor::cleared, this, [this, now](const AlarmMonitor::Clearing &c) {
        m_publisher->alarm(m_alarmBook.cleared(c, now()));
    });
    connect(alarms, &AlarmMonitor::acknowledged, this,
            [this, now](const QList<AlarmMonitor::Alarm> &alarms) {
                for (const TelemetryMessages::Alarm &a : m_alarmBook.acknowledged(alarms, now()))
                    m_publisher->alarm(a);
            });
}

void PanelPublishing::start()
{
    m_publisher->start();
    stateChanged();
}

void PanelPublishing::stateChanged()
{
    PanelState state =
        PanelStateBuilder::build(*m_session, m_alarms->latched(),
                                 m_window ? m_window() : PanelStateBuilder::Window{}, m_commanded);
    state.eventsDropped = m_record->eventsDropped();
    state.startedAt = m_startedAt;
    m_publisher->state(state);
}
