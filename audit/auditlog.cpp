#include "audit/auditlog.h"

#include "audit/auditqueue.h"
#include "threads/threadend.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

AuditLog::AuditLog(QObject *parent) : QObject(parent)
{
    m_sinceStart.start();
}

AuditLog::~AuditLog()
{
    close();
}

QString AuditLog::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/corvane/corvane-panel/audit");
}

QString AuditLog::loginName()
{
    // The account, not $USER, which the user may set to anything.
    if (const passwd *entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(::geteuid());
}

void AuditLog::open(const QString &folder, const QString &instance, const QString &session,
                    const QString &user, const QString &startText, const QString &former)
{
    close();
    m_session = session;
    m_user = user;
    AuditWorker::WriteFunction write = m_write;
    if (!write)
        write = [](int file, const char *data, qint64 size) {
            return qint64(::write(file, data, size_t(size)));
        };
    m_queue = std::make_shared<AuditQueue>();
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("audit trail"));
    // Without a parent: it lives on the writer thread and is deleted there as that thread ends.
    auto *worker = new AuditWorker(m_queue, QDir(folder).filePath(instance), std::move(write),
                                   m_retryInterval);
    if (!former.isEmpty() && former != instance)
        worker->continueFrom(QDir(folder).filePath(former));
    worker->moveToThread(m_thread);
    connect(m_thread, &QThread::started, worker, &AuditWorker::run);
    connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
    // What a writer closed before says may still be on its way: only the current one is told.
    const quint64 generation = ++m_generation;
    connect(worker, &AuditWorker::failed, this, [this, generation](const QString &reason) {
        if (generation == m_generation)
            Q_EMIT failed(reason);
    });
    connect(worker, &AuditWorker::resumed, this, [this, generation] {
        if (generation == m_generation)
            Q_EMIT resumed();
    });
    connect(worker, &AuditWorker::reopened, this, [this, generation](const QString &text) {
        if (generation == m_generation)
            Q_EMIT reopened(text);
    });
    // The head follows a closing writer to its last record, but never one of an earlier open.
    const quint64 opening = ++m_openings;
    connect(worker, &AuditWorker::written, this,
            [this, opening](qint64 seq, const QByteArray &hash, const QString &what) {
                if (opening != m_openings)
                    return;
                m_head = {seq, hash};
                Q_EMIT written(what);
            });
    m_thread->start();
    append({.source = QStringLiteral("panel"),
            .what = QStringLiteral("session-start"),
            .text = startText});
}

void AuditLog::append(AuditRecord record)
{
    if (!m_queue)
        return;
    if (m_clock) {
        const Stamp stamp = m_clock();
        record.time = stamp.time;
        record.monoMs = stamp.monoMs;
    } else {
        record.time = QDateTime::currentDateTimeUtc();
        record.monoMs = m_sinceStart.elapsed();
    }
    record.seq = 0;
    record.session = m_session;
    record.user = m_user;
    record.operatorName = m_operator;
    m_queue->push(std::move(record));
}

void AuditLog::close()
{
    beginClose();
    waitClosed();
}

void AuditLog::beginClose()
{
    if (!m_thread || m_closing)
        return;
    m_closing = true;
    ++m_generation;
    m_queue->close();
    m_thread->quit();
    m_closeDeadline = QDeadlineTimer(kCloseWaitMs);
}

void AuditLog::waitClosed()
{
    if (!m_thread)
        return;
    beginClose();
    // The disk does not answer: the thread ends when its write returns.
    ThreadEnd::waitOrLeave(m_thread, m_closeDeadline);
    // What the writer said of its last records is still on its way to this thread, whose
    // event loop may have ended: taken now, so that head() is the last record written.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_thread = nullptr;
    m_closing = false;
    m_queue.reset();
}
