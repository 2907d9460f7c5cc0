#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Who may command the pump from afar, and when. A client takes the lease with a lock
// identifier and a timeout of 1 to 600 s; every command that changes the pump must carry that
// identifier, and only such calls renew the lease (watching does not). The lease runs on a
// clock that never goes back, handed in, and ends by itself when the timeout passes without a
// renewing call: the pump is left as it is, and takeEnded() hands the ended lease over once,
// for the status area and the event line.
//
// The operator at the panel always wins: a stop there blocks every remote command that would
// run the pump until the operator allows remote control again, whoever holds the lease; the
// operator may also take the lease back, and starting a timed run or a program at the panel
// ends it. More than kMaxCallsPerSecond calls within a second from one client are refused,
// whatever they ask.
class RemoteArbiter
{
public:
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;

    static constexpr int kMinTimeoutSeconds = 1;
    static constexpr int kMaxTimeoutSeconds = 600;
    static constexpr int kMaxCallsPerSecond = 20;
    // Longer identifiers are refused rather than kept and shown.
    static constexpr int kMaxIdentifierLength = 256;

    // What a call asks: only to watch; to change the pump; to change it so that it runs.
    enum class Kind { Watch, Change, Start };

    enum class Verdict {
        Allowed,
        TooManyCalls,
        NotLocked,       // a command that changes the pump, and no lease is held
        WrongIdentifier, // a lease is held under another identifier, or the call carries none
        OperatorStopped, // the operator stopped the pump at the panel since
        AlreadyLocked,
        BadTimeout,
        BadIdentifier,
    };

    struct Lease
    {
        QString identifier;
        QString client;
        int timeoutSeconds = 0;
        qint64 expiresAtMs = 0;
    };

    explicit RemoteArbiter(Clock clock);

    // Every call of a client goes through one of these three first.
    Verdict admit(const QString &client, const QString &lockIdentifier, Kind kind);
    Verdict lock(const QString &client, const QString &identifier, int timeoutSeconds);
    Verdict unlock(const QString &client, const QString &identifier);

    // Any stop at the panel. True when remote starts were allowed until now.
    bool operatorStopped();
    // remoteAllow: remote starts are allowed again. True when they were blocked.
    bool allowRemote();
    bool remoteStartsBlocked() const { return m_blocked; }
    // 收回控制, or a timed run or program started at the panel: the lease ends now, if one is held.
    std::optional<Lease> endLease();

    // The lease held now, if its time has not run out.
    std::optional<Lease> lease() const;
    // Whole seconds left of the lease, rounded up; 0 without one.
    int secondsLeft() const;
    // A lease that ran out since the last call, handed over once.
    std::optional<Lease> takeEnded();

    // For a client, in the panel's words.
    static QString refusalText(Verdict verdict);

private:
    bool tooMany(const QString &client);
    void expire();

    Clock m_clock;
    std::optional<Lease> m_lease;
    std::optional<Lease> m_ended;
    bool m_blocked = false;
    QHash<QString, QList<qint64>> m_calls; // each client's admitted calls of the last second
};
