#include "tests/pumpsim/panelline.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PanelLine::PanelLine(const QString &slavePath)
{
    m_fd = ::open(QFile::encodeName(slavePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B9600);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
}

PanelLine::~PanelLine()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PanelLine::send(const QByteArray &bytes)
{
    return isOpen() && ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QList<QByteArray> PanelLine::takeFrames(int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray ignored;
    while (m_frames.size() < count && !deadline.hasExpired() &&
           receive(int(deadline.remainingTime()), &ignored) != Arrival::HungUp) {
    }
    const QList<QByteArray> taken = m_frames.mid(0, count);
    m_frames.remove(0, taken.size());
    return taken;
}

QByteArray PanelLine::nextBytes(int timeoutMs)
{
    QByteArray bytes;
    receive(timeoutMs, &bytes);
    return bytes;
}

bool PanelLine::waitForHangUp(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray ignored;
    while (!deadline.hasExpired()) {
        if (receive(int(deadline.remainingTime()), &ignored) == Arrival::HungUp)
            return true;
    }
    return false;
}

PanelLine::Arrival PanelLine::receive(int timeoutMs, QByteArray *bytes)
{
    if (!isOpen())
        return Arrival::HungUp;
    pollfd pfd{m_fd, POLLIN, 0};
    if (::poll(&pfd, 1, qMax(0, timeoutMs)) <= 0)
        return Arrival::Nothing;
    char buffer[256];
    const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
    if (got > 0) {
        bytes->append(buffer, got);
        m_bytesReceived += got;
        m_frames += m_reader.feed(QByteArray(buffer, got));
        return Arrival::Bytes;
    }
    // A hung-up tty reads end-of-file or EIO; anything else is a spurious wake-up.
    return (got == 0 || errno == EIO || (pfd.revents & POLLHUP)) ? Arrival::HungUp
                                                                 : Arrival::Nothing;
}
