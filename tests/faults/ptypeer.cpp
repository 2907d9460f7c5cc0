#include "tests/faults/ptypeer.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <unistd.h>

QByteArray PtyPeer::readingValue(qint64 n)
{
    return QByteArray::number(n % 10000).rightJustified(kValueChars, '0');
}

QByteArray PtyPeer::readingFrame(const QByteArray &value)
{
    return "Q00N" + value + "Y";
}

PtyPeer::PtyPeer(QObject *parent) : QObject(parent), m_writer(new QTimer(this))
{
    m_writer->setTimerType(Qt::PreciseTimer);
    m_writer->setInterval(0);
    connect(m_writer, &QTimer::timeout, this, &PtyPeer::writeSome);
}

PtyPeer::~PtyPeer()
{
    hangUp();
}

bool PtyPeer::open()
{
    hangUp();
    if (!m_pty.open())
        return false;
    m_notifier = new QSocketNotifier(m_pty.masterFd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyPeer::onReadable);
    return true;
}

void PtyPeer::hangUp()
{
    // The notifier lets go of the descriptor before it is closed.
    delete m_notifier;
    m_notifier = nullptr;
    m_writer->stop();
    m_pty.hangUp();
}

void PtyPeer::setPacing(int chunkBytes, int pauseMs)
{
    m_chunkBytes = chunkBytes;
    m_writer->setInterval(pauseMs);
}

void PtyPeer::send(const QByteArray &bytes, const QByteArrayList &readings)
{
    if (idle()) {
        m_out.clear();
        m_outPos = 0;
    }
    m_out += bytes;
    for (const QByteArray &value : readings)
        m_sent += value;
    if (!m_writer->isActive())
        m_writer->start();
}

QStringList PtyPeer::sentReadings() const
{
    QStringList readings;
    for (qsizetype i = 0; i < m_sent.size(); i += kValueChars)
        readings << QString::fromLatin1(m_sent.mid(i, kValueChars));
    return readings;
}

void PtyPeer::onReadable()
{
    const qint64 pollsBefore = pollsReceived();
    m_bytesIn += m_pty.readAvailable().size();
    QByteArray replies;
    QByteArrayList readings;
    for (qint64 poll = pollsBefore; poll < pollsReceived() && m_answersLeft > 0; ++poll) {
        const QByteArray value = readingValue(m_nextReading++);
        replies += readingFrame(value);
        readings << value;
        --m_answersLeft;
    }
    if (replies.isEmpty())
        return;
    send(replies, readings);
    // Unpaced answers go out at once rather than on the next turn of the loop.
    if (m_writer->interval() == 0)
        writeSome();
}

void PtyPeer::writeSome()
{
    const qsizetype count = qMin<qsizetype>(m_chunkBytes, m_out.size() - m_outPos);
    const ssize_t written =
        count > 0 ? ::write(m_pty.masterFd(), m_out.constData() + m_outPos, size_t(count)) : 0;
    // A full line discipline (EAGAIN) just means the panel has not read yet: try next turn.
    if (written > 0)
        m_outPos += written;
    else if (written < 0 && errno != EAGAIN && errno != EINTR)
        m_writer->stop(); // the rest stays queued, so the test sees it was never sent
    if (idle()) {
        m_writer->stop();
        m_out.clear();
        m_out.squeeze();
        m_outPos = 0;
    }
}
