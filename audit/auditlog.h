#pragma once

#include "audit/auditrecord.h"
#include "audit/auditworker.h"

#include <QByteArray>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AuditQueue;
class QThread;

// The audit trail of one panel instance, written off the window's thread: append() stamps the
// record with the time, the session, the user and the operator, queues it and returns at once;
// a writer thread (AuditWorker) chains it and writes it to <folder>/<instance>/YYYY-MM-DD.jsonl.
// Every start begins with a session-start record. Nothing is ever dropped: when the trail cannot
// be written, failed() comes at once with the reason for the operator, the records wait in
// memory and are written, in order, once it can be written again (resumed()). close() writes
// out what is queued but waits at most kCloseWaitMs.
class AuditLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCloseWaitMs = 2000;
    static constexpr std::chrono::milliseconds kRetryInterval{3000};

    struct Stamp
    {
        QDateTime time;
        qint64 monoMs = 0;
    };
    using Clock = std::function<Stamp()>;

    explicit AuditLog(QObject *parent = nullptr);
    ~AuditLog() override;

    // ~/.local/share/corvane/corvane-panel/audit
    static QString defaultFolder();
    // The name the user logged in with.
    static QString loginName();

    // Closes the trail open before. instance: one path component naming this panel; former:
    // the one its trail had before, whose chain goes on while the instance has none yet.
    void open(const QString &folder, const QString &instance, const QString &session,
              const QString &user, const QString &startText, const QString &former = QString());
    bool isOpen() const { return m_thread != nullptr; }
    // The declared operator, carried by every later record; nothing for none.
    void setOperator(const std::optional<QString> &name) { m_operator = name; }
    // The last record written whole (seq 0 before the first); as --verify-audit's --head takes it.
    struct Head
    {
        qint64 seq = 0;
        QByteArray hash;
    };
    Head head() const { return m_head; }

    // Takes source, what, before, beforeFrom, after and text; stamps the rest.
    void append(AuditRecord record);

    // beginClose() then waitClosed(), as LogWriter's; once closed, head() is the last record
    // written.
    void close();
    void beginClose();
    void waitClosed();

    // For tests; each takes effect at the next open().
    void setWriteFunction(AuditWorker::WriteFunction write) { m_write = std::move(write); }
    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setRetryInterval(std::chrono::milliseconds interval) { m_retryInterval = interval; }

Q_SIGNALS:
    void failed(const QString &reason);
    void resumed();
    // The day's file was moved, deleted or replaced, and a new one begun at its path: what
    // happened, for the status area and the event line.
    void reopened(const QString &text);
    // A record is written: head() is its seq and hash; what, its kind.
    void written(const QString &what);

private:
    std::shared_ptr<AuditQueue> m_queue;
    QThread *m_thread = nullptr;
    bool m_closing = false;
    quint64 m_generation = 0; // of the writer thread
    quint64 m_openings = 0;
    QDeadlineTimer m_closeDeadline;
    QString m_session;
    QString m_user;
    std::optional<QString> m_operator;
    QElapsedTimer m_sinceStart;
    Clock m_clock;
    AuditWorker::WriteFunction m_write;
    std::chrono::milliseconds m_retryInterval = kRetryInterval;
    Head m_head;
};
