#include "platform/terminationsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The pipe's write end for the handler; -1 while no instance listens.
volatile std::sig_atomic_t g_writeFd = -1;

// Only async-signal-safe calls here: the real work waits for the event loop. A full pipe
// already holds a wake-up, so a byte that does not fit loses nothing.
void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_writeFd, &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readFd = fds[0];
    m_writeFd = fds[1];
    g_writeFd = m_writeFd;
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onReadable);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (::sigaction(kSignals[i], nullptr, &m_previous[i]) != 0 ||
            m_previous[i].sa_handler == SIG_IGN)
            continue;
        m_installed[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (m_installed[i])
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    if (m_notifier)
        m_notifier->setEnabled(false);
    g_writeFd = -1;
    for (const int fd : {m_readFd, m_writeFd}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void TerminationSignals::onReadable()
{
    unsigned char signalNumbers[16];
    ssize_t count = 0;
    while ((count = ::read(m_readFd, signalNumbers, sizeof signalNumbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            Q_EMIT terminationRequested(signalNumbers[i]);
    }
}
