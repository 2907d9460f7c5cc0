#include "files/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The new file's descriptor as a device, unbuffered: each write goes to the file at once and
// its failure is seen here, never later in a flush nobody checks. After the first failure every
// write is refused, so that a producer that ignores one cannot write on past a hole.
class DescriptorDevice : public QIODevice
{
public:
    explicit DescriptorDevice(int fd) : m_fd(fd)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    int failure() const { return m_errno; }

    bool writeAll(const char *data, qint64 size)
    {
        while (size > 0 && m_errno == 0) {
            const ssize_t n = ::write(m_fd, data, size_t(size));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_errno = n < 0 ? errno : ENOSPC;
                setErrorString(AtomicFile::reasonFor(m_errno));
                break;
            }
            data += n;
            size -= n;
        }
        return m_errno == 0;
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        return writeAll(data, size) ? size : -1;
    }

private:
    int m_fd;
    int m_errno = 0;
};

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The new file beside the target, created here and nowhere else (O_EXCL), with the rights
// given (the umask applies).
int createBeside(const QString &target, mode_t mode, QString *created, int *error)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 16; ++attempt) {
        *created = info.absoluteDir().filePath(
            QStringLiteral(".%1.%2.new")
                .arg(info.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        const int fd = ::open(encoded(*created).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) {
            *error = errno;
            return fd;
        }
    }
    *error = EEXIST;
    return -1;
}

int syncFolder(const QString &folder)
{
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    // Some file systems cannot sync a folder at all; that is no failure of this save.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP)
        error = errno;
    ::close(fd);
    return error;
}

} // namespace

AtomicFile::Result AtomicFile::write(const QString &path, const QByteArray &bytes)
{
    return write(path,
                 [&bytes](QIODevice *device) { return device->write(bytes) == bytes.size(); });
}

AtomicFile::Result AtomicFile::write(const QString &path, const Producer &produce)
{
    // A symlink to a file replaces that file; anything but a file (a folder, a pipe or a
    // device, behind a symlink or not) is refused, as it would be replaced, not written.
    QString target = path;
    struct stat old
    {
    };
    const bool existed = ::stat(encoded(path).constData(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode))
        return {QStringLiteral("它不是普通文件")};
    if (existed && QFileInfo(path).isSymLink())
        target = QFileInfo(path).canonicalFilePath();

    // A file the lab made read-only stays as it is: a rename would need only the folder's rights.
    if (existed && ::access(encoded(target).constData(), W_OK) != 0)
        return {reasonFor(errno)};

    QString created;
    int error = 0;
    // Owner-only until the replaced file's rights are given it, so that what a tight file holds
    // is never readable by others on the way.
    const int fd = createBeside(target, existed ? 0600 : 0666, &created, &error);
    if (fd < 0)
        return {reasonFor(error)};
    if (existed && ::fchmod(fd, old.st_mode & 07777) != 0) {
        error = errno;
        ::close(fd);
        ::unlink(encoded(created).constData());
        return {reasonFor(error)};
    }

    DescriptorDevice device(fd);
    const bool produced = produce(&device);
    error = device.failure();
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error == 0 && !produced) {
        ::unlink(encoded(created).constData());
        return {QStringLiteral("未完成")};
    }
    if (error == 0 && ::rename(encoded(created).constData(), encoded(target).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(encoded(created).constData());
        return {reasonFor(error)};
    }
    if (const int folderError = syncFolder(QFileInfo(target).absolutePath()); folderError != 0)
        return {QStringLiteral("已替换，但文件夹未能同步到磁盘：%1").arg(reasonFor(folderError))};
    return {};
}

QString AtomicFile::reasonFor(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("磁盘已满");
    case EDQUOT:
        return QStringLiteral("磁盘配额已用完");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case ENOENT:
        return QStringLiteral("文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一项不是文件夹");
    case EISDIR:
        return QStringLiteral("它是一个文件夹");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    default:
        return QStringLiteral("系统错误 %1（%2）")
            .arg(error)
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}
