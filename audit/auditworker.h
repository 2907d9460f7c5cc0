#pragma once

#include "audit/auditrecord.h"

#include <QByteArray>
#include <QDate>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

#include <sys/types.h>

class AuditQueue;

// Writes the audit trail on the writer thread that AuditLog moves it to, one file a day in its
// instance's folder (YYYY-MM-DD.jsonl), never going back to an earlier day's file. It chains the
// records itself, in the order taken: at the start it finds the last whole record of the newest
// file and goes on from its seq and hash; the first record of a file is a file-start that names
// the file before and its last seq. Each line goes to write(2) as soon as it is taken, and to the
// disk (fdatasync) once the queue is empty, or kSyncDelay after the first unsynced line. When
// the folder or the file cannot be written, failed() tells why at once and every record stays in
// memory; the writer tries again every retry interval, finishes a line it had begun and says
// resumed(). It only ever appends: no file is cut back, rewritten or deleted.
class AuditWorker : public QObject
{
    Q_OBJECT

public:
    // write(2) by default; tests make it fail.
    using WriteFunction = std::function<qint64(int fd, const char *data, qint64 size)>;
    static constexpr std::chrono::milliseconds kSyncDelay{500};

    // folder: the instance's own, created if missing.
    AuditWorker(std::shared_ptr<AuditQueue> queue, const QString &folder, WriteFunction write,
                std::chrono::milliseconds retryInterval);
    ~AuditWorker() override;

    static QString dailyName(QDate day);
    // A folder this panel's trail was kept in under an earlier name: while the own folder
    // holds no day yet, the chain goes on from that folder's last record, and the first
    // file-start names it ("<former>/<day>.jsonl:<seq>"). Before run().
    void continueFrom(const QString &formerFolder) { m_formerFolder = formerFolder; }

    // Returns once the queue is closed and what it held has been tried once more.
    void run();

Q_SIGNALS:
    void failed(const QString &reason);
    void resumed();
    // A record's line is written whole: the chain's head is now seq and hash.
    void written(qint64 seq, const QByteArray &hash, const QString &what);
    // The day's file was moved, deleted or replaced; a new one was begun at its path.
    void reopened(const QString &text);

private:
    void writePending();
    bool prepareLine();
    bool findChainEnd();
    bool followPath();
    void findFormerChainEnd();
    bool openDay(QDate day);
    bool writeLine();
    AuditRecord fileStart(const AuditRecord &next) const;
    void sync();
    bool fail(const QString &reason);
    void succeeded();
    void closeFile();
    QString pathOf(const QString &name) const;

    std::shared_ptr<AuditQueue> m_queue;
    QString m_folder;
    QString m_formerFolder;
    WriteFunction m_write;
    std::chrono::milliseconds m_retryInterval;
    QList<AuditRecord> m_pending;

    // The chain: unknown until the folder has been read.
    bool m_chainKnown = false;
    qint64 m_seq = 0;
    QByteArray m_hash;
    QString m_chainFile; // the file of the record with m_seq

    // The newest file found at the start, until it is opened for writing.
    QString m_newestName;
    bool m_newestHasRecord = false;
    bool m_newestNeedsLineEnd = false;

    int m_fd = -1;
    dev_t m_device = 0; // of the file held
    ino_t m_inode = 0;
    QString m_reopened; // what happened to the file left, until the new one's first record
    QDate m_day;
    QString m_fileName;
    bool m_fileHasRecord = false;
    bool m_needsLineEnd = false;
    QByteArray m_line; // formatted and chained, not yet all written
    QString m_lineWhat;
    qsizetype m_written = 0;

    bool m_dirty = false; // written but not yet on the disk
    QDeadlineTimer m_syncDue;
    bool m_failing = false;
    QString m_reason;
    QDeadlineTimer m_retryDue;
};
