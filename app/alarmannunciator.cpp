#include "app/alarmannunciator.h"

#include "alarms/alarmmonitor.h"
#include "app/statusarea.h"
#include "platform/alarmbell.h"
#include "platform/desktopnotifier.h"
#include "session/pumpsession.h"

#include <QPushButton>

AlarmAnnunciator::AlarmAnnunciator(AlarmMonitor *alarms, PumpSession *session, StatusArea *area,
                                   QPushButton *acknowledge, QObject *parent)
    : QObject(parent), m_alarms(alarms), m_area(area), m_bell(new AlarmBell(this)),
      m_notifier(new DesktopNotifier(this))
{
    connect(alarms, &AlarmMonitor::raised, this, [this](const AlarmMonitor::Alarm &alarm) {
        m_banner.raised(alarm.kind);
        show();
        m_notifier->notify(
            tr("泵报警：%1").arg(AlarmMonitor::name(alarm.kind)),
            tr("%1 %2").arg(alarm.raisedAt.toString(QStringLiteral("HH:mm:ss")), alarm.value));
        // Even over a box of the operator's.
        m_bell->start();
    });
    connect(session, &PumpSession::alarmActed, this,
            [this](AlarmMonitor::Kind kind, bool stopSent) {
                m_banner.acted(kind, stopSent);
                show();
            });
    connect(session, &PumpSession::pendingStopSettled, this, [this](auto, bool sent) {
        m_banner.stopSettled(sent);
        show();
    });
    connect(alarms, &AlarmMonitor::cleared, this, [this](const AlarmMonitor::Clearing &clearing) {
        m_banner.cleared(clearing.kind);
        show();
    });
    connect(alarms, &AlarmMonitor::acknowledged, this, [this] {
        m_bell->stop();
        m_banner.acknowledged();
        show();
    });
    connect(acknowledge, &QPushButton::clicked, alarms, &AlarmMonitor::acknowledgeAll);
}

void AlarmAnnunciator::show()
{
    m_area->setAlarms(m_banner.rows(m_alarms->latched()),
                      m_banner.clearedRows(m_alarms->latched()));
}
