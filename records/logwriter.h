#pragma once

#include "records/logworker.h"

#include <QDate>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <memory>

class LogQueue;
class QThread;
class RunRecord;

// The reading log (--log) written off the window's thread: reading() and event() format the line
// as ReadingLog does, queue it and return; a writer thread writes the queue out. The log is one
// file, or a folder holding a file per local day (YYYY-MM-DD.log). When the disk falls behind by
// kQueueLimit lines, later lines are dropped and counted, and a "log-dropped" event line gives
// the count once the writer has caught up. A log file moved, deleted or replaced while open (by
// logrotate, say) is left for a new file at its path, which begins with a "log-reopened" event
// line; a path that then leads to no regular file stops the log. A failed write cuts the file back
// to its last whole line and stops the log: stopped() comes once, on the window's thread, and later
// lines are ignored. close() (and the destructor) writes out what is queued but waits at most
// kCloseWaitMs, so that a disk that no longer answers cannot hold up the program's exit.
class LogWriter : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype kQueueLimit = 20000;
    static constexpr int kCloseWaitMs = 2000;

    explicit LogWriter(QObject *parent = nullptr);
    ~LogWriter() override;

    // Empty when path may be the log, otherwise why not (LogWorker::refusal, which opening the
    // file checks on the writer's side too).
    static QString refusal(const QString &path) { return LogWorker::refusal(path); }

    // Each closes the log open before. False with *error (may be null) when refused or failed.
    bool openFile(const QString &path, QString *error);
    bool openDailyFolder(const QString &folder, QString *error);
    // beginClose() then waitClosed().
    void close();
    // The two halves of close(), so that the program's threads end together rather than one
    // after another: beginClose() takes no more lines, asks the writer thread to write out
    // what is queued and end, and starts the deadline; waitClosed() waits until then at most.
    void beginClose();
    void waitClosed();

    bool isOpen() const { return m_thread != nullptr; }
    // The file the latest line went to (empty in a folder until the first line).
    QString path() const { return m_path; }
    // Empty when logging to one file.
    QString folder() const { return m_folder; }
    // The folder its files are in; empty while no log is open.
    QString filesFolder() const;
    // Where the log goes, for the operator: its file or its folder, or that there is none.
    QString destinationText() const;

    // Takes every reading and every event of the record as it receives them.
    void follow(const RunRecord *record);

    void reading(const QDateTime &time, const QString &value);
    void event(const QDateTime &time, const QString &key, const QString &text);

    // For tests: how the writer thread writes; takes effect at the next open.
    void setWriteFunction(LogWorker::WriteFunction write) { m_write = std::move(write); }

Q_SIGNALS:
    void stopped(const QString &reason);

private:
    void start(int fd);
    void push(const QDateTime &time, QByteArray text);

    std::shared_ptr<LogQueue> m_queue;
    QThread *m_thread = nullptr;
    bool m_closing = false;
    QDeadlineTimer m_closeDeadline;
    quint64 m_generation = 0; // of the writer thread; a failure told by an older one is stale
    LogWorker::WriteFunction m_write;
    QString m_path;
    QString m_folder;
    QDate m_day;
};
