#include "tools/pty/pseudoterminal.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kReadChunkBytes = 4096;

QString systemError(const QString &what)
{
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// Milliseconds left for poll(); 0 once the deadline has passed.
int pollTimeoutMs(const QDeadlineTimer &deadline)
{
    return int(qMax<qint64>(0, deadline.remainingTime()));
}

} // namespace

PseudoTerminal::PseudoTerminal() = default;

PseudoTerminal::~PseudoTerminal()
{
    closeFds();
    removeSymlinks();
}

bool PseudoTerminal::open(QString *error)
{
    const auto fail = [&](const QString &what) {
        setError(systemError(what));
        closeFds();
        if (error)
            *error = m_errorString;
        return false;
    };

    if (isOpen()) {
        m_errorString = QStringLiteral("pseudo-terminal is already open");
        if (error)
            *error = m_errorString;
        return false;
    }

    m_masterFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_masterFd < 0)
        return fail(QStringLiteral("posix_openpt"));
    if (::fcntl(m_masterFd, F_SETFD, FD_CLOEXEC) < 0)
        return fail(QStringLiteral("fcntl(FD_CLOEXEC)"));
    if (::grantpt(m_masterFd) < 0)
        return fail(QStringLiteral("grantpt"));
    if (::unlockpt(m_masterFd) < 0)
        return fail(QStringLiteral("unlockpt"));

    char name[128];
    if (::ptsname_r(m_masterFd, name, sizeof name) != 0)
        return fail(QStringLiteral("ptsname"));
    m_slavePath = QString::fromLocal8Bit(name);

    m_slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveFd < 0)
        return fail(QStringLiteral("open ") + m_slavePath);

    // Raw from the start: a fresh pty echoes and maps CR/LF, which would bounce the panel's
    // frames straight back at it or mangle them before it gets round to configuring the port.
    termios tio{};
    if (::tcgetattr(m_slaveFd, &tio) < 0)
        return fail(QStringLiteral("tcgetattr"));
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(m_slaveFd, TCSANOW, &tio) < 0)
        return fail(QStringLiteral("tcsetattr"));

    m_errorString.clear();
    return true;
}

bool PseudoTerminal::writeAll(const QByteArray &bytes, int timeoutMs)
{
    if (!isOpen()) {
        m_errorString = QStringLiteral("write on a closed pseudo-terminal");
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    const char *data = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(m_masterFd, data, left);
        if (written > 0) {
            data += written;
            left -= size_t(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            setError(systemError(QStringLiteral("write")));
            return false;
        }
        // The slave's input queue is full: nobody has read it for a while.
        pollfd pfd{m_masterFd, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, pollTimeoutMs(deadline));
        if (ready < 0 && errno != EINTR) {
            setError(systemError(QStringLiteral("poll")));
            return false;
        }
        if (ready == 0) {
            m_errorString = QStringLiteral("write timed out with %1 of %2 bytes unsent")
                                .arg(left)
                                .arg(bytes.size());
            return false;
        }
    }
    return true;
}

QByteArray PseudoTerminal::readAvailable()
{
    QByteArray result;
    if (!isOpen())
        return result;
    char buffer[kReadChunkBytes];
    while (true) {
        const ssize_t got = ::read(m_masterFd, buffer, sizeof buffer);
        if (got > 0) {
            result.append(buffer, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            setError(systemError(QStringLiteral("read")));
        break;
    }
    return result;
}

QByteArray PseudoTerminal::readExactly(int count, int timeoutMs)
{
    QByteArray result;
    if (!isOpen() || count <= 0)
        return result;
    const QDeadlineTimer deadline(timeoutMs);
    char buffer[kReadChunkBytes];
    while (result.size() < count) {
        const size_t wanted = qMin(sizeof buffer, size_t(count - result.size()));
        const ssize_t got = ::read(m_masterFd, buffer, wanted);
        if (got > 0) {
            result.append(buffer, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            setError(systemError(QStringLiteral("read")));
            break;
        }
        if (deadline.hasExpired())
            break;
        pollfd pfd{m_masterFd, POLLIN, 0};
        if (::poll(&pfd, 1, pollTimeoutMs(deadline)) < 0 && errno != EINTR) {
            setError(systemError(QStringLiteral("poll")));
            break;
        }
    }
    return result;
}

bool PseudoTerminal::slaveSettings(termios *out) const
{
    return out && m_slaveFd >= 0 && ::tcgetattr(m_slaveFd, out) == 0;
}

bool PseudoTerminal::makeSymlink(const QString &path, QString *error)
{
    const auto fail = [&](const QString &message) {
        m_errorString = message;
        if (error)
            *error = message;
        return false;
    };

    if (!isOpen())
        return fail(QStringLiteral("cannot link %1: pseudo-terminal is not open").arg(path));

    const QByteArray linkPath = QFile::encodeName(path);
    struct stat st
    {
    };
    if (::lstat(linkPath.constData(), &st) == 0 && !S_ISLNK(st.st_mode))
        return fail(QStringLiteral("cannot link %1: it exists and is not a symlink").arg(path));

    // Build the link beside the target and rename it into place, so a program that opens
    // path meanwhile finds either the old link or the new one, never nothing.
    const QByteArray tempPath = linkPath + ".tmp" + QByteArray::number(::getpid());
    ::unlink(tempPath.constData());
    if (::symlink(QFile::encodeName(m_slavePath).constData(), tempPath.constData()) < 0)
        return fail(systemError(QStringLiteral("cannot link %1").arg(path)));
    if (::rename(tempPath.constData(), linkPath.constData()) < 0) {
        const QString message = systemError(QStringLiteral("cannot link %1").arg(path));
        ::unlink(tempPath.constData());
        return fail(message);
    }
    if (!m_symlinks.contains(path))
        m_symlinks.append(path);
    return true;
}

void PseudoTerminal::hangUp()
{
    closeFds();
}

void PseudoTerminal::setError(const QString &what)
{
    m_errorString = what;
}

void PseudoTerminal::closeFds()
{
    // The held slave goes first; closing the master then leaves no open slave descriptor of
    // ours, and the panel's descriptor is hung up by the kernel.
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    if (m_masterFd >= 0)
        ::close(m_masterFd);
    m_slaveFd = -1;
    m_masterFd = -1;
}

void PseudoTerminal::removeSymlinks()
{
    // Only links that still point at our slave: another simulator may have taken a path over.
    const QByteArray target = QFile::encodeName(m_slavePath);
    for (const QString &path : std::as_const(m_symlinks)) {
        const QByteArray linkPath = QFile::encodeName(path);
        char buffer[256];
        const ssize_t length = ::readlink(linkPath.constData(), buffer, sizeof buffer);
        if (length >= 0 && QByteArray(buffer, length) == target)
            ::unlink(linkPath.constData());
    }
    m_symlinks.clear();
}
