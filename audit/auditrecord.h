#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// One entry of the audit trail: who did what, from where, and the value before and after.
// The caller fills in what happened (source to text); the audit log stamps the rest. Values are
// strings as the panel shows or sends them, never numbers, so that a record says exactly what
// the operator saw. Every member has an initializer, so that a caller's designated initializer
// names only what it fills in.
struct AuditRecord
{
    // Where a setpoint's earlier value was known from.
    enum class BeforeFrom { Unknown, Sent, Reply };

    QString source{}; // key, menu item, dialog, program, alarm, reconnect, command line, ...
    QString what{};   // a short kind: setpoint, run, stop, save, session-start, ...
    std::optional<QString> before{};
    BeforeFrom beforeFrom = BeforeFrom::Unknown;
    std::optional<QString> after{};
    QString text{};

    // Stamped by the audit log.
    qint64 seq = 0;
    QDateTime time{};
    qint64 monoMs = 0; // since the panel started, on the monotonic clock
    QString session{};
    QString user{};
    std::optional<QString> operatorName{};
};
