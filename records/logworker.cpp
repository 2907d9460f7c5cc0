#include "records/logworker.h"

#include "records/readinglog.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString whyWriteFailed(int code)
{
    if (code == ENOSPC)
        return QStringLiteral("磁盘已满");
    if (code == EDQUOT)
        return QStringLiteral("磁盘配额已用完");
    return qt_error_string(code);
}

} // namespace

LogWorker::LogWorker(std::shared_ptr<LogQueue> queue, int fd, const QString &path,
                     const QString &folder, WriteFunction write)
    : m_queue(std::move(queue)), m_fd(fd), m_path(path), m_folder(folder), m_write(std::move(write))
{
    identify();
}

LogWorker::~LogWorker()
{
    closeFile();
}

QString LogWorker::refusal(const QString &path)
{
    // stat, not open: opening a FIFO for writing waits until someone reads it.
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    QString kind = QStringLiteral("特殊文件");
    if (S_ISDIR(info.st_mode))
        kind = QStringLiteral("文件夹");
    else if (S_ISFIFO(info.st_mode))
        kind = QStringLiteral("命名管道");
    else if (S_ISCHR(info.st_mode))
        kind = QStringLiteral("终端或字符设备");
    else if (S_ISBLK(info.st_mode))
        kind = QStringLiteral("块设备");
    else if (S_ISSOCK(info.st_mode))
        kind = QStringLiteral("套接字");
    return QStringLiteral("读数日志 %1 不是普通文件，而是%2")
        .arg(QDir::toNativeSeparators(path), kind);
}

int LogWorker::openAppending(const QString &path, QString *error)
{
    QString refused = refusal(path);
    if (refused.isEmpty()) {
        // O_NONBLOCK: should a FIFO take the file's place after the check, opening it fails
        // instead of waiting for a reader.
        const int fd =
            ::open(QFile::encodeName(path).constData(),
                   O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
        if (fd < 0) {
            *error = QStringLiteral("无法打开读数日志 %1：%2")
                         .arg(QDir::toNativeSeparators(path), qt_error_string(errno));
            return -1;
        }
        struct stat info;
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
            return fd;
        ::close(fd);
        refused = refusal(path);
    }
    *error = !refused.isEmpty()
                 ? refused
                 : QStringLiteral("读数日志 %1 不是普通文件").arg(QDir::toNativeSeparators(path));
    return -1;
}

QString LogWorker::dailyPath(const QString &folder, QDate day)
{
    return QDir(folder).filePath(day.toString(Qt::ISODate) + QStringLiteral(".log"));
}

void LogWorker::run()
{
    LogQueue::Batch batch;
    while (m_queue->take(&batch)) {
        if (batch.dropped > 0) {
            LogQueue::Line report = batch.firstDropped;
            report.text =
                ReadingLog::eventLine(report.time, QStringLiteral("log-dropped"),
                                      QStringLiteral("因磁盘过慢丢失 %1 行").arg(batch.dropped));
            batch.lines.append(report);
        }
        if (!followPath(batch.lines.first()) || !writeLines(batch.lines))
            return;
    }
    closeFile();
}

bool LogWorker::writeLines(const QList<LogQueue::Line> &lines)
{
    qsizetype begin = 0;
    while (begin < lines.size()) {
        const QDate day = lines[begin].day;
        qsizetype end = begin + 1;
        qsizetype size = lines[begin].text.size();
        for (; end < lines.size() && lines[end].day == day; ++end)
            size += lines[end].text.size();
        QByteArray bytes;
        bytes.reserve(size);
        for (qsizetype i = begin; i < end; ++i)
            bytes += lines[i].text;
        if ((!m_folder.isEmpty() && !useDay(day)) || !writeAll(bytes))
            return false;
        begin = end;
    }
    return true;
}

bool LogWorker::followPath(const LogQueue::Line &first)
{
    // A batch that begins another day opens that day's file anyway.
    if (m_fd < 0 || (!m_folder.isEmpty() && first.day != m_day))
        return true;
    // One stat a batch, not a line. A batch written while the file is being moved still goes
    // to the moved file, which is why the README asks logrotate to delay compressing it.
    struct stat atPath;
    const bool found = ::stat(QFile::encodeName(m_path).constData(), &atPath) == 0;
    if (found && atPath.st_dev == m_device && atPath.st_ino == m_inode)
        return true;
    struct stat held;
    const bool deleted = ::fstat(m_fd, &held) == 0 && held.st_nlink == 0;
    const QString shown = QDir::toNativeSeparators(m_path);
    const QString what = found ? QStringLiteral("读数日志 %1 已被另一个文件取代，改写入该文件")
                         : deleted ? QStringLiteral("读数日志 %1 已被删除，已新建文件")
                                   : QStringLiteral("读数日志 %1 已被移走，已新建文件");
    closeFile();
    QString error;
    if (!openPath(&error)) {
        fail(error);
        return false;
    }
    return writeAll(
        ReadingLog::eventLine(first.time, QStringLiteral("log-reopened"), what.arg(shown)));
}

bool LogWorker::useDay(QDate day)
{
    if (m_fd >= 0 && day == m_day)
        return true;
    closeFile();
    m_day = day;
    m_path = dailyPath(m_folder, day);
    QString error;
    if (openPath(&error))
        return true;
    fail(error);
    return false;
}

bool LogWorker::openPath(QString *error)
{
    m_fd = openAppending(m_path, error);
    identify();
    return m_fd >= 0;
}

void LogWorker::identify()
{
    struct stat info = {};
    if (m_fd >= 0)
        ::fstat(m_fd, &info);
    m_device = info.st_dev;
    m_inode = info.st_ino;
}

bool LogWorker::writeAll(const QByteArray &bytes)
{
    // With O_APPEND every write goes to the end, which is also where the last whole line ends.
    const off_t start = ::lseek(m_fd, 0, SEEK_END);
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = m_write(m_fd, bytes.constData() + done, bytes.size() - done);
        const int code = written < 0 ? errno : EIO;
        if (written > 0) {
            done += written;
            continue;
        }
        if (written < 0 && code == EINTR)
            continue;
        // No half line may stay at the end for the next program, or the next run, to append to.
        const qint64 whole = done > 0 ? bytes.lastIndexOf('\n', done - 1) + 1 : 0;
        QString reason = QStringLiteral("写入读数日志 %1 失败：%2")
                             .arg(QDir::toNativeSeparators(m_path), whyWriteFailed(code));
        if (start < 0 || ::ftruncate(m_fd, start + whole) != 0)
            reason += QStringLiteral("（末尾可能留有半行）");
        fail(reason);
        return false;
    }
    return true;
}

void LogWorker::fail(const QString &reason)
{
    closeFile();
    m_queue->discard();
    Q_EMIT failed(reason);
}

void LogWorker::closeFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
