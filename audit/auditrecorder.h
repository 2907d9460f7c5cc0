#pragma once

#include "audit/commandrecords.h"

#include <QObject>
#include <QString>

#include <optional>

class AlarmMonitor;
class AuditLog;
class PumpSession;
class RunRecord;

// Puts into the audit trail, as they happen on the window's thread, the commands and events
// CommandRecords keeps: the session's frames and setting replies, the run record's event
// lines and the alarm monitor's changes of settings. It says, for the status area, when the
// trail cannot be written and when it can again, and, there and as an audit-reopened event
// line, when the day's file was moved, deleted or replaced and a new one begun.
class AuditRecorder : public QObject
{
    Q_OBJECT

public:
    AuditRecorder(AuditLog *log, PumpSession *session, const RunRecord *record,
                  AlarmMonitor *alarms, QObject *parent = nullptr);

    // The operator from now on (nothing: none), a record of the change by source.
    void setOperator(const std::optional<QString> &name, const QString &source);
    std::optional<QString> operatorName() const { return m_operator; }

    // The folder a panel's trail was kept in before each panel had one chain of its own: its
    // MQTT id when it published, else the device of port 1 as one path component, else
    // "panel". A trail found there goes on under the panel's own instance.
    static QString formerInstanceName(const QString &mqttId, const QString &portDevice);

Q_SIGNALS:
    // The audit row of the status area; empty when there is nothing to say.
    void stateText(const QString &text);

private:
    AuditLog *m_log;
    CommandRecords m_rules;
    std::optional<QString> m_operator;
};
