#pragma once

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Writes exports and saves on a thread of its own, one after another in the order given, so
// that a disk or a network share that does not answer never holds up the window, the poll or
// the reception. A job is a function run on that thread, which writes from what it was given
// (a snapshot, never the panel's own objects) and returns empty once its file is in place, or
// why not; its answer comes back on the window's thread, unless the object it was given for is
// gone by then. close() (and the destructor) lets the jobs given end in order: an export looks
// at cancelled() and gives up, leaving its target as it was, a save completes. It waits at most
// kCloseWaitMs; a thread held up past that is left to end by itself.
class ExportWriter : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCloseWaitMs = 2000;
    // Of the writer's thread (Linux's niceness, per thread).
    static constexpr int kNice = 10;

    using Job = std::function<QString(const std::atomic_bool &cancelled)>;
    using Done = std::function<void(const QString &failure)>;

    explicit ExportWriter(QObject *parent = nullptr);
    ~ExportWriter() override;

    // done is called with the job's answer while context lives. Ignored once closing.
    void submit(Job job, QObject *context, Done done);
    // Jobs given and not yet answered.
    int pending() const { return int(m_done.size()); }

    // beginClose() then waitClosed().
    void close();
    // The two halves of close(), so that the program's threads end together.
    void beginClose();
    void waitClosed();

Q_SIGNALS:
    void pendingChanged(int pending);

private:
    struct Waiting
    {
        QPointer<QObject> context;
        Done done;
    };

    void answered(quint64 id, const QString &failure);

    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr; // lives on m_thread
    std::shared_ptr<std::atomic_bool> m_cancelled;
    QHash<quint64, Waiting> m_done;
    quint64 m_lastId = 0;
    bool m_closing = false;
    QDeadlineTimer m_closeDeadline;
};
