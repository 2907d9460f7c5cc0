#include "files/boundedread.h"

#include "files/atomicfile.h"

#include <QFile>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString lateText(int deadlineMs)
{
    return QStringLiteral("%1 秒内未能读完，已放弃").arg(deadlineMs / 1000.0);
}

QString openReason(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有读取权限");
    case ENXIO:
        return QStringLiteral("它不是普通文件");
    default:
        return AtomicFile::reasonFor(error);
    }
}

} // namespace

BoundedRead::Result BoundedRead::read(const QString &path, qint64 limit)
{
    // One byte more than the limit tells a file over it without holding more of it.
    Result result = readPiece(path, 0, limit + 1);
    if (result.bytes && result.bytes->size() > limit) {
        result.bytes.reset();
        result.problem = limit >= 1024 * 1024
                             ? QStringLiteral("文件大于 %1 MiB").arg(limit / (1024 * 1024))
                             : QStringLiteral("文件大于 %1 KiB").arg(limit / 1024);
    }
    return result;
}

BoundedRead::Result BoundedRead::readPiece(const QString &path, qint64 offset, qint64 most)
{
    // O_NONBLOCK: a FIFO without a writer would hold the open for ever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Result result;
        result.missing = errno == ENOENT;
        if (!result.missing)
            result.problem = openReason(errno);
        return result;
    }
    Result result;
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        result.problem = openReason(errno);
    } else if (!S_ISREG(info.st_mode)) {
        result.problem = S_ISDIR(info.st_mode) ? QStringLiteral("它是一个文件夹")
                                               : QStringLiteral("它不是普通文件");
    } else {
        // Sized by the file as it was at the open; a file growing meanwhile is read on.
        QByteArray bytes(qBound<qint64>(0, info.st_size - offset, most), Qt::Uninitialized);
        qint64 got = 0;
        for (;;) {
            if (got == bytes.size()) {
                if (bytes.size() >= most)
                    break;
                bytes.resize(qMin<qint64>(most, bytes.size() * 2 + 4096));
            }
            const ssize_t n =
                ::pread(fd, bytes.data() + got, size_t(bytes.size() - got), off_t(offset + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result.problem = openReason(errno);
                break;
            }
            if (n == 0)
                break;
            got += n;
        }
        if (result.problem.isEmpty()) {
            bytes.truncate(got);
            result.bytes = std::move(bytes);
        }
    }
    ::close(fd);
    return result;
}

namespace {

struct Shared
{
    std::mutex mutex;
    std::condition_variable done;
    std::optional<BoundedRead::Result> result;
};

} // namespace

BoundedRead::Result BoundedRead::within(const QString &path, qint64 limit, int deadlineMs)
{
    return waitFor([path, limit] { return read(path, limit); }, deadlineMs);
}

BoundedRead::Result BoundedRead::pieceWithin(const QString &path, qint64 offset, qint64 most,
                                             int deadlineMs)
{
    return waitFor([path, offset, most] { return readPiece(path, offset, most); }, deadlineMs);
}

BoundedRead::Result BoundedRead::waitFor(std::function<Result()> reading, int deadlineMs)
{
    auto shared = std::make_shared<Shared>();
    std::thread([shared, reading = std::move(reading)] {
        Result result = reading();
        const std::lock_guard lock(shared->mutex);
        shared->result = std::move(result);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    if (shared->done.wait_for(lock, std::chrono::milliseconds(deadlineMs),
                              [&] { return shared->result.has_value(); }))
        return *shared->result;
    Result late;
    late.problem = lateText(deadlineMs);
    return late;
}

namespace {

class Reply;

// Between a reply and the thread that reads for it: cleared as the reply goes, under the lock
// the reading thread takes to post its answer.
struct Link
{
    std::mutex mutex;
    Reply *reply = nullptr;
};

// Lives on the asker's thread, a child of its context: the answer, or the deadline, whichever
// comes first, is told once.
class Reply : public QObject
{
public:
    Reply(QObject *context, BoundedRead::Done done, int deadlineMs)
        : QObject(context), m_link(std::make_shared<Link>()), m_done(std::move(done)),
          m_deadlineMs(deadlineMs)
    {
        m_link->reply = this;
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            BoundedRead::Result late;
            late.problem = lateText(m_deadlineMs);
            answer(late);
        });
        m_timer.start(deadlineMs);
    }
    ~Reply() override
    {
        const std::lock_guard lock(m_link->mutex);
        m_link->reply = nullptr;
    }

    std::shared_ptr<Link> link() const { return m_link; }

    void answer(const BoundedRead::Result &result)
    {
        if (!m_done)
            return;
        m_timer.stop();
        const BoundedRead::Done done = std::move(m_done);
        m_done = nullptr;
        deleteLater();
        done(result);
    }

private:
    std::shared_ptr<Link> m_link;
    BoundedRead::Done m_done;
    int m_deadlineMs;
    QTimer m_timer;
};

} // namespace

void BoundedRead::later(const QString &path, qint64 limit, QObject *context, Done done,
                        int deadlineMs)
{
    // A queued call to a reply that is deleted before it runs is dropped with it.
    auto *reply = new Reply(context, std::move(done), deadlineMs);
    std::thread([link = reply->link(), path, limit] {
        const Result result = read(path, limit);
        const std::lock_guard lock(link->mutex);
        if (Reply *alive = link->reply)
            QMetaObject::invokeMethod(
                alive, [alive, result] { alive->answer(result); }, Qt::QueuedConnection);
    }).detach();
}
