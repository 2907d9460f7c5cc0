#include "audit/auditworker.h"

#include "audit/audithash.h"
#include "audit/auditline.h"
#include "audit/auditqueue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCannotWrite = QStringLiteral("审计记录无法写入：");

QString whyFailed(int code)
{
    if (code == ENOSPC)
        return QStringLiteral("磁盘已满");
    if (code == EDQUOT)
        return QStringLiteral("磁盘配额已用完");
    if (code == ELOOP)
        return QStringLiteral("是符号链接");
    return qt_error_string(code);
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("文件夹");
    if (S_ISFIFO(mode))
        return QStringLiteral("命名管道");
    if (S_ISLNK(mode))
        return QStringLiteral("符号链接");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("设备");
    if (S_ISSOCK(mode))
        return QStringLiteral("套接字");
    return QStringLiteral("特殊文件");
}

struct Tail
{
    bool found = false; // a whole record
    qint64 seq = 0;
    QByteArray hash;
    bool endsWithLine = true;
};

// The last whole record of a file: a crash may have cut the lines after it short.
bool readTail(int fd, qint64 size, Tail *tail)
{
    for (qint64 chunk = 64 * 1024;; chunk *= 4) {
        const qint64 start = std::max<qint64>(0, size - chunk);
        QByteArray bytes(size - start, Qt::Uninitialized);
        for (qint64 done = 0; done < bytes.size();) {
            const ssize_t read =
                ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(start + done));
            if (read < 0 && errno == EINTR)
                continue;
            if (read <= 0)
                return false;
            done += read;
        }
        tail->endsWithLine = bytes.isEmpty() || bytes.endsWith('\n');
        qsizetype end = bytes.size() - (tail->endsWithLine && !bytes.isEmpty() ? 1 : 0);
        for (;;) {
            const qsizetype begin = end > 0 ? bytes.lastIndexOf('\n', end - 1) + 1 : 0;
            // The first line read may have begun before the bytes read.
            if (begin == 0 && start > 0)
                break;
            if (const auto fields =
                    AuditLine::read(QByteArrayView(bytes).sliced(begin, end - begin))) {
                tail->found = true;
                tail->seq = fields->seq;
                tail->hash = fields->hash.toByteArray();
                return true;
            }
            if (begin == 0)
                return true;
            end = begin - 1;
        }
    }
}

} // namespace

AuditWorker::AuditWorker(std::shared_ptr<AuditQueue> queue, const QString &folder,
                         WriteFunction write, std::chrono::milliseconds retryInterval)
    : m_queue(std::move(queue)), m_folder(folder), m_write(std::move(write)),
      m_retryInterval(retryInterval)
{
}

AuditWorker::~AuditWorker()
{
    closeFile();
}

QString AuditWorker::dailyName(QDate day)
{
    return day.toString(Qt::ISODate) + QStringLiteral(".jsonl");
}

void AuditWorker::run()
{
    for (bool open = true; open;) {
        const bool waiting = !m_pending.isEmpty() || !m_line.isEmpty();
        QDeadlineTimer wake = QDeadlineTimer::Forever;
        if (m_failing && waiting)
            wake = m_retryDue;
        if (m_dirty && m_syncDue < wake)
            wake = m_syncDue;
        open = m_queue->take(&m_pending, wake);
        // While failing, new records wait for the next try rather than each make one.
        if (!m_failing || m_retryDue.hasExpired() || !open)
            writePending();
        const bool idle = m_pending.isEmpty() && m_line.isEmpty();
        if (m_dirty && (idle || m_syncDue.hasExpired() || !open))
            sync();
    }
    closeFile();
}

void AuditWorker::writePending()
{
    while (!m_line.isEmpty() || !m_pending.isEmpty()) {
        if (m_line.isEmpty() && !prepareLine())
            return;
        if (!writeLine())
            return;
    }
}

bool AuditWorker::prepareLine()
{
    if (!m_chainKnown && !findChainEnd())
        return false;
    const AuditRecord &next = m_pending.first();
    // A clock set back stays in the newest file.
    QDate day = next.time.toLocalTime().date();
    if (m_day.isValid() && day < m_day)
        day = m_day;
    if (m_fd >= 0 && day == m_day && !followPath())
        return false;
    if ((m_fd < 0 || day != m_day) && !openDay(day))
        return false;
    AuditRecord record = m_fileHasRecord ? m_pending.takeFirst() : fileStart(next);
    record.seq = m_seq + 1;
    QByteArray hash;
    m_line = AuditLine::format(record, m_hash, &hash);
    m_lineWhat = record.what;
    // Ends the line a crash cut short, so that this record is a line of its own.
    if (m_needsLineEnd)
        m_line.prepend('\n');
    m_needsLineEnd = false;
    m_written = 0;
    m_seq = record.seq;
    m_hash = hash;
    m_chainFile = m_fileName;
    m_fileHasRecord = true;
    return true;
}

bool AuditWorker::followPath()
{
    // One stat a record: a file moved, deleted or replaced since the last one is never written
    // again, so that no record goes where nobody will find it.
    const QString path = pathOf(m_fileName);
    struct stat atPath;
    const bool found = ::lstat(QFile::encodeName(path).constData(), &atPath) == 0;
    if (found && atPath.st_dev == m_device && atPath.st_ino == m_inode)
        return true;
    struct stat held;
    const bool deleted = ::fstat(m_fd, &held) == 0 && held.st_nlink == 0;
    const QString what = found ? QStringLiteral("审计记录文件 %1 已被另一个文件取代")
                         : deleted ? QStringLiteral("审计记录文件 %1 已被删除")
                                   : QStringLiteral("审计记录文件 %1 已被移走");
    m_reopened = what.arg(QDir::toNativeSeparators(path));
    const QDate day = m_day;
    closeFile();
    return openDay(day);
}

bool AuditWorker::findChainEnd()
{
    const QString shown = QDir::toNativeSeparators(m_folder);
    const QFileInfo folder(m_folder);
    if (folder.isSymLink())
        return fail(kCannotWrite + QStringLiteral("%1 是符号链接，不予使用").arg(shown));
    if (folder.exists() && !folder.isDir())
        return fail(kCannotWrite + QStringLiteral("%1 不是文件夹").arg(shown));
    if (!QDir().mkpath(m_folder))
        return fail(kCannotWrite + QStringLiteral("无法创建文件夹 %1").arg(shown));
    static const QRegularExpression dayName(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}\\.jsonl$"));
    const QStringList names =
        QDir(m_folder)
            .entryList({QStringLiteral("*.jsonl")}, QDir::AllEntries | QDir::System | QDir::Hidden,
                       QDir::Name | QDir::Reversed)
            .filter(dayName);
    m_seq = 0;
    m_hash = AuditHash::none();
    m_chainFile.clear();
    m_newestName.clear();
    for (const QString &name : names) {
        const QString path = pathOf(name);
        // Not blocking on a FIFO, not following a link.
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return fail(kCannotWrite + QStringLiteral("无法读取 %1：%2")
                                           .arg(QDir::toNativeSeparators(path), whyFailed(errno)));
        struct stat info;
        Tail tail;
        bool read = ::fstat(fd, &info) == 0;
        const bool regular = read && S_ISREG(info.st_mode);
        read = regular && readTail(fd, info.st_size, &tail);
        const int code = errno;
        ::close(fd);
        if (!regular)
            return fail(kCannotWrite +
                        QStringLiteral("%1 不是普通文件，而是%2")
                            .arg(QDir::toNativeSeparators(path), kindOf(info.st_mode)));
        if (!read)
            return fail(kCannotWrite + QStringLiteral("无法读取 %1：%2")
                                           .arg(QDir::toNativeSeparators(path), whyFailed(code)));
        if (m_newestName.isEmpty()) {
            m_newestName = name;
            m_newestHasRecord = tail.found;
            m_newestNeedsLineEnd = !tail.endsWithLine;
            m_day = QDate::fromString(name.first(10), Qt::ISODate);
        }
        if (tail.found) {
            m_seq = tail.seq;
            m_hash = tail.hash;
            m_chainFile = name;
            break;
        }
    }
    if (names.isEmpty())
        findFormerChainEnd();
    m_chainKnown = true;
    return true;
}

void AuditWorker::findFormerChainEnd()
{
    if (m_formerFolder.isEmpty())
        return;
    static const QRegularExpression dayName(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}\\.jsonl$"));
    const QDir former(m_formerFolder);
    const QStringList names =
        former.entryList({QStringLiteral("*.jsonl")}, QDir::Files, QDir::Name | QDir::Reversed)
            .filter(dayName);
    // Only read: a former day that cannot be read leaves the chain to begin anew, as it would
    // have without it, rather than keep the trail from being written.
    for (const QString &name : names) {
        const int fd = ::open(QFile::encodeName(former.filePath(name)).constData(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return;
        struct stat info;
        Tail tail;
        const bool read =
            ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && readTail(fd, info.st_size, &tail);
        ::close(fd);
        if (!read)
            return;
        if (tail.found) {
            m_seq = tail.seq;
            m_hash = tail.hash;
            m_chainFile = QFileInfo(m_formerFolder).fileName() + u'/' + name;
            return;
        }
    }
}

bool AuditWorker::openDay(QDate day)
{
    closeFile();
    const QString name = dailyName(day);
    const QString path = pathOf(name);
    const QString shown = QDir::toNativeSeparators(path);
    // The folder too may have been replaced since the start.
    if (QFileInfo(m_folder).isSymLink())
        return fail(
            kCannotWrite +
            QStringLiteral("%1 是符号链接，不予使用").arg(QDir::toNativeSeparators(m_folder)));
    // O_NONBLOCK: a FIFO at the path fails to open instead of waiting for a reader.
    const int fd = ::open(
        QFile::encodeName(path).constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    const int code = errno;
    struct stat info;
    if (fd < 0 && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
        !S_ISREG(info.st_mode))
        return fail(kCannotWrite +
                    QStringLiteral("%1 不是普通文件，而是%2").arg(shown, kindOf(info.st_mode)));
    if (fd < 0)
        return fail(kCannotWrite + QStringLiteral("无法打开 %1：%2").arg(shown, whyFailed(code)));
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(kCannotWrite +
                    QStringLiteral("%1 不是普通文件，而是%2").arg(shown, kindOf(info.st_mode)));
    }
    // Who commanded what is for its owner alone: a file others may read is made so, or refused.
    if ((info.st_mode & 0077) != 0 && ::fchmod(fd, 0600) != 0) {
        const int chmodCode = errno;
        ::close(fd);
        return fail(
            kCannotWrite +
            QStringLiteral("%1 的权限宽于 0600，且无法收紧：%2").arg(shown, whyFailed(chmodCode)));
    }
    m_fd = fd;
    m_device = info.st_dev;
    m_inode = info.st_ino;
    m_day = day;
    m_fileName = name;
    if (name == m_newestName) {
        m_fileHasRecord = m_newestHasRecord;
        m_needsLineEnd = m_newestNeedsLineEnd;
    } else {
        m_fileHasRecord = false;
        m_needsLineEnd = info.st_size > 0;
    }
    m_newestName.clear();
    return true;
}

bool AuditWorker::writeLine()
{
    while (m_written < m_line.size()) {
        const qint64 written =
            m_write(m_fd, m_line.constData() + m_written, m_line.size() - m_written);
        if (written > 0) {
            m_written += written;
            continue;
        }
        const int code = written < 0 ? errno : EIO;
        if (written < 0 && code == EINTR)
            continue;
        // What was written stays; the next try writes the rest of the line after it.
        return fail(kCannotWrite +
                    QStringLiteral("写入 %1 失败：%2")
                        .arg(QDir::toNativeSeparators(pathOf(m_fileName)), whyFailed(code)));
    }
    m_line.clear();
    m_written = 0;
    Q_EMIT written(m_seq, m_hash, m_lineWhat);
    if (!m_reopened.isEmpty()) {
        Q_EMIT reopened(QStringLiteral("%1，已在原处新建文件并接续记录链（序号 %2 起）")
                            .arg(m_reopened)
                            .arg(m_seq));
        m_reopened.clear();
    }
    if (!m_dirty) {
        m_dirty = true;
        m_syncDue = QDeadlineTimer(kSyncDelay);
    }
    succeeded();
    return true;
}

AuditRecord AuditWorker::fileStart(const AuditRecord &next) const
{
    AuditRecord record = next;
    record.source = QStringLiteral("audit");
    record.what = QStringLiteral("file-start");
    record.beforeFrom = AuditRecord::BeforeFrom::Unknown;
    record.after = m_fileName;
    if (m_chainFile.isEmpty()) {
        record.before = std::nullopt;
        record.text = QStringLiteral("审计记录由此开始");
    } else {
        record.before = QStringLiteral("%1:%2").arg(m_chainFile).arg(m_seq);
        record.text = QStringLiteral("接续 %1（至序号 %2，散列 %3）")
                          .arg(m_chainFile)
                          .arg(m_seq)
                          .arg(QString::fromLatin1(m_hash));
    }
    return record;
}

void AuditWorker::sync()
{
    if (m_fd >= 0 && ::fdatasync(m_fd) != 0) {
        const int code = errno;
        fail(kCannotWrite +
             QStringLiteral("%1 未能存入磁盘：%2")
                 .arg(QDir::toNativeSeparators(pathOf(m_fileName)), whyFailed(code)));
        m_syncDue = m_retryDue;
        return;
    }
    m_dirty = false;
    // A line that still cannot be written keeps the failure.
    if (m_line.isEmpty() && m_pending.isEmpty())
        succeeded();
}

bool AuditWorker::fail(const QString &reason)
{
    if (!m_failing || reason != m_reason)
        Q_EMIT failed(reason);
    m_failing = true;
    m_reason = reason;
    m_retryDue = QDeadlineTimer(m_retryInterval);
    return false;
}

void AuditWorker::succeeded()
{
    if (!m_failing)
        return;
    m_failing = false;
    m_reason.clear();
    Q_EMIT resumed();
}

void AuditWorker::closeFile()
{
    if (m_fd < 0)
        return;
    if (m_dirty)
        sync();
    ::close(m_fd);
    m_fd = -1;
    m_dirty = false;
}

QString AuditWorker::pathOf(const QString &name) const
{
    return QDir(m_folder).filePath(name);
}
