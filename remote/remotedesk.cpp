#include "remote/remotedesk.h"

#include "remote/remotepump.h"

#include <QTimer>

#include <cmath>

namespace {

using Verdict = RemoteArbiter::Verdict;
using Kind = RemoteArbiter::Kind;

constexpr int kMaxAddress = 99;
constexpr int kMaxFlowMlPerMin = 1000;
constexpr double kMaxLimitMPa = 2.0;

Kind kindOf(RemoteDesk::Command command)
{
    switch (command) {
    case RemoteDesk::Command::Run:
    case RemoteDesk::Command::StartTimedRun:
    case RemoteDesk::Command::ContinueTimedRun:
        return Kind::Start;
    default:
        return Kind::Change;
    }
}

bool whole(double value)
{
    return std::isfinite(value) && value == std::floor(value);
}

} // namespace

RemoteDesk::RemoteDesk(RemotePump *pump, RemoteArbiter::Clock clock, QObject *parent)
    : QObject(parent), m_pump(pump), m_arbiter(std::move(clock)), m_ticker(new QTimer(this))
{
    m_ticker->setInterval(std::chrono::seconds(1));
    connect(m_ticker, &QTimer::timeout, this, &RemoteDesk::tick);
}

QString RemoteDesk::sourceOf(const Caller &caller)
{
    QString source = QStringLiteral("远程 %1@%2").arg(caller.lockIdentifier, caller.peer);
    if (!caller.certificate.isEmpty())
        source += QStringLiteral("（%1）").arg(caller.certificate);
    return source;
}

QString RemoteDesk::commandName(Command command)
{
    static const char *const names[] = {
        "SetFlow",     "SetLimit",         "Run",           "Stop",
        "SetRunTime",  "StartTimedRun",    "PauseTimedRun", "ContinueTimedRun",
        "EndTimedRun", "AcknowledgeAlarms"};
    return QString::fromLatin1(names[int(command)]);
}

RemoteDesk::Reply RemoteDesk::refuse(const Caller &caller, const QString &what, Verdict verdict)
{
    Reply reply;
    reply.verdict = verdict;
    reply.message = RemoteArbiter::refusalText(verdict);
    if (verdict == Verdict::TooManyCalls) {
        reply.kind = Reply::Kind::TooManyCalls;
        // A flood is told once, not once a call.
        if (m_flooding == caller.peer)
            return reply;
        m_flooding = caller.peer;
    } else if (verdict == Verdict::OperatorStopped) {
        reply.kind = Reply::Kind::Refused;
    } else {
        reply.kind = Reply::Kind::LockRefused;
    }
    Q_EMIT event("remote-refused",
                 QStringLiteral("%1 来自 %2：%3").arg(what, sourceOf(caller), reply.message));
    return reply;
}

RemoteDesk::Reply RemoteDesk::invalid(const Caller &caller, const QString &call,
                                      const QString &parameter, const QString &message)
{
    Q_EMIT event(
        "remote-refused",
        QStringLiteral("%1 来自 %2：%3 %4").arg(call, sourceOf(caller), parameter, message));
    Reply reply;
    reply.kind = Reply::Kind::Invalid;
    reply.parameter = parameter;
    reply.message = message;
    return reply;
}

RemoteDesk::Reply RemoteDesk::handle(const Request &request)
{
    const Caller &caller = request.caller;
    const QString name = commandName(request.command);
    const Verdict verdict =
        m_arbiter.admit(caller.peer, caller.lockIdentifier, kindOf(request.command));
    if (verdict != Verdict::Allowed)
        return refuse(caller, name, verdict);
    if (m_flooding == caller.peer)
        m_flooding.clear();
    changed(); // the lease was renewed

    const QString source = sourceOf(caller);
    RemotePump::Outcome outcome;
    switch (request.command) {
    case Command::SetFlow:
    case Command::SetLimit: {
        const bool flow = request.command == Command::SetFlow;
        if (request.address < 0 || request.address > kMaxAddress)
            return invalid(caller, commandName(request.command), QStringLiteral("PumpAddress"),
                           QStringLiteral("must be a whole number from 0 to %1").arg(kMaxAddress));
        if (flow &&
            !(whole(request.value) && request.value >= 0 && request.value <= kMaxFlowMlPerMin))
            return invalid(caller, commandName(request.command), QStringLiteral("Flow"),
                           QStringLiteral("must be a whole number of ml/min from 0 to %1")
                               .arg(kMaxFlowMlPerMin));
        const double tenths = request.value * 10;
        if (!flow && !(request.value >= 0 && request.value <= kMaxLimitMPa &&
                       std::abs(tenths - std::round(tenths)) < 1e-6))
            return invalid(caller, commandName(request.command), QStringLiteral("Limit"),
                           QStringLiteral("must be from 0.0 to %1 MPa in tenths")
                               .arg(kMaxLimitMPa, 0, 'f', 1));
        outcome = flow ? m_pump->setFlow(request.address, int(request.value), source)
                       : m_pump->setLimit(request.address, request.value, source);
        break;
    }
    case Command::Run:
        outcome = m_pump->run(source);
        break;
    case Command::Stop:
        outcome = m_pump->stop(source);
        break;
    case Command::SetRunTime:
        outcome = m_pump->setRunTime(QString::number(request.value), source);
        if (!outcome.refusal.isEmpty())
            return invalid(caller, commandName(request.command), QStringLiteral("RunTime"),
                           outcome.refusal);
        break;
    case Command::StartTimedRun:
        outcome = m_pump->startTimedRun(source);
        break;
    case Command::PauseTimedRun:
        outcome = m_pump->pauseTimedRun(source);
        break;
    case Command::ContinueTimedRun:
        outcome = m_pump->continueTimedRun(source);
        break;
    case Command::EndTimedRun:
        outcome = m_pump->endTimedRun(source);
        break;
    case Command::AcknowledgeAlarms:
        outcome = m_pump->acknowledgeAlarms(source);
        break;
    }
    Reply reply;
    reply.owed = outcome.owed;
    if (!outcome.refusal.isEmpty()) {
        reply.kind = Reply::Kind::Refused;
        reply.message = outcome.refusal;
        Q_EMIT event("remote-refused",
                     QStringLiteral("%1 来自 %2：%3").arg(name, source, outcome.refusal));
    }
    return reply;
}

RemoteDesk::Reply RemoteDesk::lock(const Caller &caller, const QString &identifier,
                                   qint64 timeoutSeconds)
{
    const int timeout =
        int(std::clamp<qint64>(timeoutSeconds, -1, RemoteArbiter::kMaxTimeoutSeconds + 1));
    const Verdict verdict = m_arbiter.lock(caller.peer, identifier, timeout);
    Caller holder = caller;
    holder.lockIdentifier = identifier.left(RemoteArbiter::kMaxIdentifierLength);
    if (verdict == Verdict::BadTimeout || verdict == Verdict::BadIdentifier) {
        Reply reply = invalid(holder, QStringLiteral("LockServer"),
                              verdict == Verdict::BadTimeout ? QStringLiteral("Timeout")
                                                             : QStringLiteral("LockIdentifier"),
                              RemoteArbiter::refusalText(verdict));
        reply.verdict = verdict;
        return reply;
    }
    if (verdict != Verdict::Allowed)
        return refuse(holder, QStringLiteral("LockServer"), verdict);
    m_notice.clear();
    m_ticker->start();
    Q_EMIT event("remote-lock",
                 QStringLiteral("%1 取得控制，超时 %2 秒").arg(sourceOf(holder)).arg(timeout));
    changed();
    return {};
}

RemoteDesk::Reply RemoteDesk::unlock(const Caller &caller, const QString &identifier)
{
    Caller holder = caller;
    holder.lockIdentifier = identifier.left(RemoteArbiter::kMaxIdentifierLength);
    const Verdict verdict = m_arbiter.unlock(caller.peer, identifier);
    if (verdict != Verdict::Allowed)
        return refuse(holder, QStringLiteral("UnlockServer"), verdict);
    Q_EMIT event("remote-unlock", QStringLiteral("%1 交回控制").arg(sourceOf(holder)));
    changed();
    return {};
}

RemoteDesk::Reply RemoteDesk::watch(const Caller &caller)
{
    const Verdict verdict = m_arbiter.admit(caller.peer, QString(), Kind::Watch);
    return verdict == Verdict::Allowed ? Reply{} : refuse(caller, QStringLiteral("Get"), verdict);
}

void RemoteDesk::operatorStopped()
{
    if (m_arbiter.operatorStopped())
        changed();
}

void RemoteDesk::allowRemote()
{
    if (m_arbiter.allowRemote())
        changed();
}

void RemoteDesk::leaseEnded(const RemoteArbiter::Lease &lease, const char *key, const QString &why)
{
    const QString text = QStringLiteral("远程控制：%1 %2").arg(lease.identifier, why);
    Q_EMIT event(key, QStringLiteral("%1@%2 %3").arg(lease.identifier, lease.client, why));
    m_notice = text;
    changed();
}

bool RemoteDesk::takeBack()
{
    const std::optional<RemoteArbiter::Lease> lease = m_arbiter.endLease();
    if (lease)
        leaseEnded(*lease, "remote-taken-back", QStringLiteral("的控制已由操作员收回"));
    return lease.has_value();
}

void RemoteDesk::panelStartedRun()
{
    if (const std::optional<RemoteArbiter::Lease> lease = m_arbiter.endLease())
        leaseEnded(*lease, "remote-taken-back", QStringLiteral("的控制已结束：面板上开始了运行"));
}

void RemoteDesk::tick()
{
    if (const std::optional<RemoteArbiter::Lease> lease = m_arbiter.takeEnded()) {
        // Nothing is sent: only the operator knows whether the pump should still run.
        leaseEnded(*lease, "remote-lease-ended", QStringLiteral("的租约已到期，泵保持原状"));
        return;
    }
    changed();
}

void RemoteDesk::changed()
{
    const bool locked = isLocked();
    if (!locked)
        m_ticker->stop();
    if (locked != m_locked) {
        m_locked = locked;
        Q_EMIT lockedChanged(locked);
    }
    Q_EMIT statusChanged();
}

QString RemoteDesk::statusText() const
{
    QStringList parts;
    if (const std::optional<RemoteArbiter::Lease> lease = m_arbiter.lease())
        parts << QStringLiteral("远程控制：%1 持有，剩余 %2 秒")
                     .arg(lease->identifier)
                     .arg(m_arbiter.secondsLeft());
    else if (!m_notice.isEmpty())
        parts << m_notice;
    if (m_arbiter.remoteStartsBlocked())
        parts << (parts.isEmpty() ? QStringLiteral("远程控制：") : QString()) +
                     QStringLiteral("操作员已在面板上停止了泵，远程启动须经允许");
    return parts.join(QStringLiteral("；"));
}
