#include "remote/remotearbiter.h"

namespace {

constexpr qint64 kSecondMs = 1000;
// Clients (one per connection) whose calls are all older than a second are forgotten once the
// table is this large, so that many short connections cannot grow it.
constexpr int kClientsKept = 256;

} // namespace

RemoteArbiter::RemoteArbiter(Clock clock) : m_clock(std::move(clock)) {}

bool RemoteArbiter::tooMany(const QString &client)
{
    const qint64 now = m_clock();
    if (m_calls.size() >= kClientsKept) {
        for (auto it = m_calls.begin(); it != m_calls.end();) {
            if (it->isEmpty() || it->last() <= now - kSecondMs)
                it = m_calls.erase(it);
            else
                ++it;
        }
    }
    QList<qint64> &calls = m_calls[client];
    while (!calls.isEmpty() && calls.first() <= now - kSecondMs)
        calls.removeFirst();
    if (calls.size() >= kMaxCallsPerSecond)
        return true;
    calls.append(now);
    return false;
}

void RemoteArbiter::expire()
{
    if (m_lease && m_clock() >= m_lease->expiresAtMs) {
        m_ended = m_lease;
        m_lease.reset();
    }
}

RemoteArbiter::Verdict RemoteArbiter::admit(const QString &client, const QString &lockIdentifier,
                                            Kind kind)
{
    if (tooMany(client))
        return Verdict::TooManyCalls;
    if (kind == Kind::Watch)
        return Verdict::Allowed;
    expire();
    if (!m_lease)
        return Verdict::NotLocked;
    if (lockIdentifier != m_lease->identifier)
        return Verdict::WrongIdentifier;
    // A call that carries the identifier renews the lease even when it is refused below: the
    // client is there.
    m_lease->expiresAtMs = m_clock() + m_lease->timeoutSeconds * kSecondMs;
    m_lease->client = client;
    if (kind == Kind::Start && m_blocked)
        return Verdict::OperatorStopped;
    return Verdict::Allowed;
}

RemoteArbiter::Verdict RemoteArbiter::lock(const QString &client, const QString &identifier,
                                           int timeoutSeconds)
{
    if (tooMany(client))
        return Verdict::TooManyCalls;
    if (identifier.isEmpty() || identifier.size() > kMaxIdentifierLength)
        return Verdict::BadIdentifier;
    if (timeoutSeconds < kMinTimeoutSeconds || timeoutSeconds > kMaxTimeoutSeconds)
        return Verdict::BadTimeout;
    expire();
    if (m_lease)
        return Verdict::AlreadyLocked;
    m_lease = Lease{identifier, client, timeoutSeconds, m_clock() + timeoutSeconds * kSecondMs};
    return Verdict::Allowed;
}

RemoteArbiter::Verdict RemoteArbiter::unlock(const QString &client, const QString &identifier)
{
    if (tooMany(client))
        return Verdict::TooManyCalls;
    expire();
    if (!m_lease)
        return Verdict::NotLocked;
    if (identifier != m_lease->identifier)
        return Verdict::WrongIdentifier;
    m_lease.reset();
    return Verdict::Allowed;
}

bool RemoteArbiter::operatorStopped()
{
    return !std::exchange(m_blocked, true);
}

bool RemoteArbiter::allowRemote()
{
    return std::exchange(m_blocked, false);
}

std::optional<RemoteArbiter::Lease> RemoteArbiter::endLease()
{
    expire();
    return std::exchange(m_lease, std::nullopt);
}

std::optional<RemoteArbiter::Lease> RemoteArbiter::lease() const
{
    if (m_lease && m_clock() < m_lease->expiresAtMs)
        return m_lease;
    return std::nullopt;
}

int RemoteArbiter::secondsLeft() const
{
    const std::optional<Lease> held = lease();
    return held ? int((held->expiresAtMs - m_clock() + kSecondMs - 1) / kSecondMs) : 0;
}

std::optional<RemoteArbiter::Lease> RemoteArbiter::takeEnded()
{
    expire();
    return std::exchange(m_ended, std::nullopt);
}

QString RemoteArbiter::refusalText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Allowed:
        return {};
    case Verdict::TooManyCalls:
        return QStringLiteral("每秒超过 %1 次调用").arg(kMaxCallsPerSecond);
    case Verdict::NotLocked:
        return QStringLiteral("未取得锁");
    case Verdict::WrongIdentifier:
        return QStringLiteral("锁标识不符");
    case Verdict::OperatorStopped:
        return QStringLiteral("操作员已在面板上停止了泵");
    case Verdict::AlreadyLocked:
        return QStringLiteral("已被其他客户端锁定");
    case Verdict::BadTimeout:
        return QStringLiteral("超时须在 %1 到 %2 秒之间")
            .arg(kMinTimeoutSeconds)
            .arg(kMaxTimeoutSeconds);
    case Verdict::BadIdentifier:
        return QStringLiteral("锁标识须为 1 到 %1 个字符").arg(kMaxIdentifierLength);
    }
    return {};
}
