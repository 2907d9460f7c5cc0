#include "records/logwriter.h"

#include "records/logqueue.h"
#include "records/readinglog.h"
#include "records/runrecord.h"
#include "threads/threadend.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <unistd.h>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

LogWriter::LogWriter(QObject *parent) : QObject(parent) {}

LogWriter::~LogWriter()
{
    close();
}

bool LogWriter::openFile(const QString &path, QString *error)
{
    close();
    QString why;
    const int fd = LogWorker::openAppending(path, &why);
    if (fd < 0) {
        setError(error, why);
        return false;
    }
    m_path = path;
    m_folder.clear();
    start(fd);
    return true;
}

bool LogWriter::openDailyFolder(const QString &folder, QString *error)
{
    close();
    const QString shown = QDir::toNativeSeparators(folder);
    QString why;
    if (QFileInfo(folder).exists() && !QFileInfo(folder).isDir())
        why = QStringLiteral("读数日志文件夹 %1 不是文件夹").arg(shown);
    else if (!QDir().mkpath(folder))
        why = QStringLiteral("无法创建读数日志文件夹 %1").arg(shown);
    else if (!QFileInfo(folder).isWritable())
        why = QStringLiteral("读数日志文件夹 %1 不可写入").arg(shown);
    if (!why.isEmpty()) {
        setError(error, why);
        return false;
    }
    m_path.clear();
    m_folder = folder;
    m_day = QDate();
    start(-1);
    return true;
}

void LogWriter::start(int fd)
{
    LogWorker::WriteFunction write = m_write;
    if (!write)
        write = [](int file, const char *data, qint64 size) {
            return qint64(::write(file, data, size_t(size)));
        };
    m_queue = std::make_shared<LogQueue>(kQueueLimit);
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("reading log"));
    // Without a parent: it lives on the writer thread and is deleted there as that thread ends.
    auto *worker = new LogWorker(m_queue, fd, m_path, m_folder, std::move(write));
    worker->moveToThread(m_thread);
    connect(m_thread, &QThread::started, worker, &LogWorker::run);
    connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
    const quint64 generation = ++m_generation;
    connect(worker, &LogWorker::failed, this, [this, generation](const QString &reason) {
        if (generation != m_generation)
            return;
        close();
        Q_EMIT stopped(reason);
    });
    m_thread->start();
}

void LogWriter::close()
{
    beginClose();
    waitClosed();
}

void LogWriter::beginClose()
{
    if (!m_thread || m_closing)
        return;
    m_closing = true;
    ++m_generation;
    m_queue->close();
    m_thread->quit();
    m_closeDeadline = QDeadlineTimer(kCloseWaitMs);
}

void LogWriter::waitClosed()
{
    if (!m_thread)
        return;
    beginClose();
    // The disk does not answer: the queue is forgotten, and the thread ends when its write
    // returns.
    if (!ThreadEnd::waitOrLeave(m_thread, m_closeDeadline))
        m_queue->discard();
    m_thread = nullptr;
    m_closing = false;
    m_queue.reset();
}

void LogWriter::reading(const QDateTime &time, const QString &value)
{
    if (m_queue)
        push(time, ReadingLog::readingLine(time, value));
}

void LogWriter::event(const QDateTime &time, const QString &key, const QString &text)
{
    if (m_queue)
        push(time, ReadingLog::eventLine(time, key, text));
}

void LogWriter::push(const QDateTime &time, QByteArray text)
{
    QDate day;
    if (!m_folder.isEmpty()) {
        day = time.toLocalTime().date();
        if (day != m_day) {
            m_day = day;
            m_path = LogWorker::dailyPath(m_folder, day);
        }
    }
    m_queue->push({time, day, std::move(text)});
}

QString LogWriter::filesFolder() const
{
    if (!isOpen())
        return QString();
    return m_folder.isEmpty() ? QFileInfo(m_path).absolutePath() : m_folder;
}

QString LogWriter::destinationText() const
{
    if (!isOpen())
        return tr("没有读数日志");
    return m_folder.isEmpty() ? tr("读数日志 %1").arg(QDir::toNativeSeparators(m_path))
                              : tr("读数日志文件夹 %1").arg(QDir::toNativeSeparators(m_folder));
}

void LogWriter::follow(const RunRecord *record)
{
    // A log that is not open takes nothing.
    connect(record, &RunRecord::readingAdded, this, [this](const RunRecord::Reading &reading) {
        this->reading(reading.time, reading.text);
    });
    connect(record, &RunRecord::eventAdded, this, [this](const RunRecord::Event &event) {
        this->event(event.time, event.key, event.text);
    });
}
