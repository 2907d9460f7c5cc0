#include "records/exportwriter.h"

#include "threads/threadend.h"

#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// Lives on the writer's thread: the jobs run in its events, and their answers go back through
// its signal, which a queued connection drops once the writer is gone.
class ExportWorker : public QObject
{
    Q_OBJECT

Q_SIGNALS:
    void answered(quint64 id, const QString &failure);
};

} // namespace

ExportWriter::ExportWriter(QObject *parent)
    : QObject(parent), m_thread(new QThread(this)),
      m_cancelled(std::make_shared<std::atomic_bool>(false))
{
    m_thread->setObjectName(QStringLiteral("exports"));
    // Without a parent: it lives on the writer's thread and is deleted there as it ends.
    auto *worker = new ExportWorker;
    worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &ExportWorker::answered, this, &ExportWriter::answered, Qt::QueuedConnection);
    m_worker = worker;
    // A big export gives way to the window's thread, which must take every reading at once.
    QMetaObject::invokeMethod(
        worker, [] { ::setpriority(PRIO_PROCESS, ::gettid(), kNice); }, Qt::QueuedConnection);
    m_thread->start();
}

ExportWriter::~ExportWriter()
{
    close();
}

void ExportWriter::submit(Job job, QObject *context, Done done)
{
    if (m_closing)
        return;
    const quint64 id = ++m_lastId;
    m_done.insert(id, {context, std::move(done)});
    auto *worker = static_cast<ExportWorker *>(m_worker);
    QMetaObject::invokeMethod(
        worker,
        [worker, id, job = std::move(job), cancelled = m_cancelled] {
            Q_EMIT worker->answered(id, job(*cancelled));
        },
        Qt::QueuedConnection);
    Q_EMIT pendingChanged(pending());
}

void ExportWriter::answered(quint64 id, const QString &failure)
{
    const Waiting waiting = m_done.take(id);
    Q_EMIT pendingChanged(pending());
    if (waiting.context && waiting.done)
        waiting.done(failure);
}

void ExportWriter::close()
{
    beginClose();
    waitClosed();
}

void ExportWriter::beginClose()
{
    if (!m_thread || m_closing)
        return;
    m_closing = true;
    m_cancelled->store(true);
    // No answer is told from now on: the window may be going.
    disconnect(m_worker, nullptr, this, nullptr);
    m_done.clear();
    // After the jobs already given, so that each of them ends as it should.
    QMetaObject::invokeMethod(
        m_worker, [thread = m_thread] { thread->quit(); }, Qt::QueuedConnection);
    m_closeDeadline = QDeadlineTimer(kCloseWaitMs);
}

void ExportWriter::waitClosed()
{
    if (!m_thread)
        return;
    beginClose();
    // Held up in a write, it ends when the write returns.
    ThreadEnd::waitOrLeave(m_thread, m_closeDeadline);
    m_thread = nullptr;
    m_worker = nullptr;
}

#include "exportwriter.moc"
