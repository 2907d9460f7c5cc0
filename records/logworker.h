#pragma once

#include "records/logqueue.h"

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <sys/types.h>

// Writes the reading log on the writer thread that LogWriter moves it to. run() takes all the
// queue holds and hands it to the system at once, one write per file, so that a crash loses only
// what is still queued; the lines go to one file, or with a folder to the file of each line's
// day, opened when that day's first line comes. Before each batch it checks that the path still
// leads to the file it holds: a file moved away (as logrotate does), deleted or replaced is left
// and the path opened anew, refused as at the start when it is no regular file, and the new file
// begins with a "log-reopened" event line. A write that fails cuts the file back to its last
// whole line. Any failure discards the queue, emits failed() once and ends run().
class LogWorker : public QObject
{
    Q_OBJECT

public:
    // write(2) by default; tests make it stall or fail.
    using WriteFunction = std::function<qint64(int fd, const char *data, qint64 size)>;

    // fd: the log file, open for appending and taken over; or -1 and a folder of daily files.
    explicit LogWorker(std::shared_ptr<LogQueue> queue, int fd, const QString &path,
                       const QString &folder, WriteFunction write);
    ~LogWorker() override;

    // Empty when path may be the log: a regular file, or nothing yet. Otherwise why not, for the
    // operator (a folder, a FIFO, a terminal, ...). A FIFO is never opened.
    static QString refusal(const QString &path);
    // The file descriptor of path opened for appending (created if missing), or -1 with *error
    // when it is refused (refusal()) or cannot be opened.
    static int openAppending(const QString &path, QString *error);
    static QString dailyPath(const QString &folder, QDate day);

    // Returns once the queue is closed and written out, or after a failure.
    void run();

Q_SIGNALS:
    void failed(const QString &reason);

private:
    bool writeLines(const QList<LogQueue::Line> &lines);
    bool followPath(const LogQueue::Line &first);
    bool useDay(QDate day);
    bool openPath(QString *error);
    void identify();
    bool writeAll(const QByteArray &bytes);
    void fail(const QString &reason);
    void closeFile();

    std::shared_ptr<LogQueue> m_queue;
    int m_fd;
    dev_t m_device = 0; // of the file m_fd holds
    ino_t m_inode = 0;
    QString m_path;
    QString m_folder;
    QDate m_day;
    WriteFunction m_write;
};
