#pragma once

#include "remote/remotearbiter.h"

#include <QObject>
#include <QString>

class QTimer;
class RemotePump;

// The panel's side of remote control, on the panel's thread: every call of a client comes
// here as a request, is checked (calls a second, the lease, the values the panel would
// refuse, the operator's stop) and, when it passes, goes to the pump; the reply says what
// happened in terms a server can map to its errors. The operator's acts at the panel come
// here too. Each lease taken, given up, run out or taken back, and each refusal, is told as
// an event line; the status row follows the lease.
class RemoteDesk : public QObject
{
    Q_OBJECT

public:
    enum class Command {
        SetFlow,
        SetLimit,
        Run,
        Stop,
        SetRunTime,
        StartTimedRun,
        PauseTimedRun,
        ContinueTimedRun,
        EndTimedRun,
        AcknowledgeAlarms,
    };

    // Who calls: the peer's address, the lock identifier its call carried (empty: none) and
    // its certificate's subject, if it showed one.
    struct Caller
    {
        QString peer;
        QString lockIdentifier;
        QString certificate;
    };

    struct Request
    {
        Command command;
        Caller caller;
        int address = 0;
        double value = 0; // flow, limit or run time
    };

    struct Reply
    {
        enum class Kind { Done, Invalid, Refused, TooManyCalls, LockRefused };
        Kind kind = Kind::Done;
        RemoteArbiter::Verdict verdict = RemoteArbiter::Verdict::Allowed;
        QString parameter; // Invalid: which
        QString message;
        bool owed = false; // a stop held for the lost link
    };

    RemoteDesk(RemotePump *pump, RemoteArbiter::Clock clock, QObject *parent = nullptr);

    Reply handle(const Request &request);
    Reply lock(const Caller &caller, const QString &identifier, qint64 timeoutSeconds);
    Reply unlock(const Caller &caller, const QString &identifier);
    // A call that only reads: counted, never refused but for too many calls.
    Reply watch(const Caller &caller);

    // The operator at the panel.
    void operatorStopped();
    void allowRemote();
    // 收回控制: the lease ends, told as taken back. False when none was held.
    bool takeBack();
    // A timed run or a program started at the panel.
    void panelStartedRun();
    // The lease's clock moved on: a lease that ran out is told.
    void tick();

    bool isLocked() const { return m_arbiter.lease().has_value(); }
    std::optional<RemoteArbiter::Lease> lease() const { return m_arbiter.lease(); }
    bool remoteStartsBlocked() const { return m_arbiter.remoteStartsBlocked(); }
    // The status row; empty when there is nothing to say.
    QString statusText() const;
    // What frames and records of a caller name as their source.
    static QString sourceOf(const Caller &caller);
    static QString commandName(Command command);

Q_SIGNALS:
    void event(const char *key, const QString &text);
    void statusChanged();
    void lockedChanged(bool locked);

private:
    Reply refuse(const Caller &caller, const QString &what, RemoteArbiter::Verdict verdict);
    Reply invalid(const Caller &caller, const QString &call, const QString &parameter,
                  const QString &message);
    void leaseEnded(const RemoteArbiter::Lease &lease, const char *key, const QString &why);
    void changed();

    RemotePump *m_pump;
    RemoteArbiter m_arbiter;
    QTimer *m_ticker;
    QString m_notice;   // a lease that ended, until the next one
    QString m_flooding; // the client whose calls are refused for their rate, told once
    bool m_locked = false;
};
