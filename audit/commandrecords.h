#pragma once

#include "alarms/alarmsettings.h"
#include "audit/auditrecord.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// What the panel's commands and events put in the audit trail, one record each: a frame that
// went out (any but the poll), with a setpoint's value before it; the timed run's set time
// before and after; the run's, the programs', the alarms', the link's and the files' event lines;
// each field of the alarm settings that changed. The value before a flow (L) or limit (P)
// setpoint is the newer of the last one sent to that pump address and the last of that kind the
// pump replied (the reply carries no address the panel keeps: one pump answers on a line).
class CommandRecords
{
public:
    AuditRecord frameSent(const QString &frame, const QString &source);
    // Not sent: what it would have set stays as it was.
    static AuditRecord frameRefused(const QString &frame, const QString &source,
                                    const QString &why);
    void settingReplied(char letter, const QString &value);
    // Nothing for an event line the trail does not keep (a reading's link-lost, say).
    std::optional<AuditRecord> event(const QString &key, const QString &text);
    static QList<AuditRecord> alarmSettingsChanged(const AlarmSettings &before,
                                                   const AlarmSettings &after);

private:
    struct Known
    {
        QString value;
        AuditRecord::BeforeFrom from = AuditRecord::BeforeFrom::Unknown;
        quint64 order = 0;
    };

    quint64 m_order = 0;
    QHash<QString, Known> m_sent;  // by address and letter: "01L"
    QHash<QChar, Known> m_replied; // by letter
    std::optional<QString> m_runSet;
};
