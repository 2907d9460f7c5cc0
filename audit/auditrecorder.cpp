#include "audit/auditrecorder.h"

#include "alarms/alarmmonitor.h"
#include "audit/auditlog.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"
#include "telemetry/mqttsettings.h"

#include <QFileInfo>

#include <utility>

AuditRecorder::AuditRecorder(AuditLog *log, PumpSession *session, const RunRecord *record,
                             AlarmMonitor *alarms, QObject *parent)
    : QObject(parent), m_log(log)
{
    connect(session, &PumpSession::frameSent, this, [this](const PumpSession::SentFrame &frame) {
        m_log->append(m_rules.frameSent(frame.frame, frame.source));
    });
    connect(session, &PumpSession::frameRefused, this,
            [this](const QString &frame, const QString &source, const QString &why) {
                m_log->append(CommandRecords::frameRefused(frame, source, why));
            });
    connect(session, &PumpSession::settingReplied, this,
            [this](char letter, const QString &value) { m_rules.settingReplied(letter, value); });
    connect(record, &RunRecord::eventAdded, this, [this](const RunRecord::Event &event) {
        if (std::optional<AuditRecord> audited = m_rules.event(event.key, event.text))
            m_log->append(std::move(*audited));
    });
    connect(alarms, &AlarmMonitor::settingsChanged, this,
            [this](const AlarmSettings &before, const AlarmSettings &after) {
                for (AuditRecord &field : CommandRecords::alarmSettingsChanged(before, after))
                    m_log->append(std::move(field));
            });
    // The reason already says the trail cannot be written; nothing is lost meanwhile.
    connect(log, &AuditLog::failed, this, [this](const QString &reason) {
        Q_EMIT stateText(reason + QStringLiteral("，记录保留在内存中"));
    });
    connect(log, &AuditLog::resumed, this, [this] { Q_EMIT stateText(QString()); });
    // Said where the operator looks and where the log keeps it: records may have gone with the
    // file that was moved or deleted, which only a person can look into.
    connect(log, &AuditLog::reopened, this, [this, session](const QString &text) {
        session->logEvent("audit-reopened", text);
        Q_EMIT stateText(text);
    });
}

void AuditRecorder::setOperator(const std::optional<QString> &name, const QString &source)
{
    if (name == m_operator)
        return;
    // The declaration is the new operator's own: it carries the name it declares.
    const std::optional<QString> before = std::exchange(m_operator, name);
    m_log->setOperator(name);
    m_log->append(
        {.source = source,
         .what = QStringLiteral("operator"),
         .before = before,
         .after = name,
         .text = name ? QStringLiteral("操作员：%1").arg(*name) : QStringLiteral("无操作员")});
}

QString AuditRecorder::formerInstanceName(const QString &mqttId, const QString &portDevice)
{
    if (!mqttId.isEmpty())
        return mqttId;
    // /dev/ttyUSB0 → ttyUSB0, as the MQTT id names the device: never "..", never a "/"; and
    // "panel" when nothing of it is left, or no port was named.
    return MqttSettings::idFrom(QFileInfo(portDevice).fileName());
}
