#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <termios.h>

// One pseudo-terminal pair standing in for a serial line. This side holds the master: what
// writeAll() sends is what a program reading the slave path receives, and readAvailable()
// returns what that program wrote. The slave is opened here as well and kept open in raw
// 9600 8N1 mode, so that nothing echoes or translates before the panel opens it and the master
// never sees EIO when the panel closes and reopens its side. Everything is closed, and every
// symlink made by makeSymlink() removed, on destruction. After hangUp() open() makes a fresh
// pair, as an adapter that was unplugged comes back. Linux only; not thread-safe.
class PseudoTerminal
{
public:
    static constexpr int kDefaultWriteTimeoutMs = 1000;

    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Opens a new pair; false (with the reason in *error) if the system refuses. Calling it on
    // an open terminal fails without touching the existing pair.
    bool open(QString *error = nullptr);
    bool isOpen() const { return m_masterFd >= 0; }

    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_masterFd; }

    // Sends all of bytes to the slave's reader, in one write() when the line discipline has
    // room. Waits for room up to timeoutMs; false on timeout or error (see errorString()).
    bool writeAll(const QByteArray &bytes, int timeoutMs = kDefaultWriteTimeoutMs);

    // Everything the slave's writer has sent so far; never blocks.
    QByteArray readAvailable();

    // Waits until count bytes have arrived or timeoutMs has passed; returns what arrived, at
    // most count bytes (the rest stays unread).
    QByteArray readExactly(int count, int timeoutMs);

    // The slave's current termios: the baud rate and stop bits the panel applied when it opened
    // the port. Linux's pty driver forces CS8 and clears PARENB whatever the panel asks for, so
    // data bits and parity always read back as 8N.
    bool slaveSettings(termios *out) const;

    // Points path at the slave, replacing a symlink already there. A regular file or directory
    // at path is left alone and reported as an error.
    bool makeSymlink(const QString &path, QString *error = nullptr);

    // Closes both ends: the panel's side sees a hang-up. Symlinks stay until destruction or
    // removeSymlinks().
    void hangUp();

    // Removes now the symlinks made by makeSymlink() that still point at this slave.
    void removeSymlinks();

    QString errorString() const { return m_errorString; }

private:
    void setError(const QString &what);
    void closeFds();

    int m_masterFd = -1;
    int m_slaveFd = -1;
    QString m_slavePath;
    QStringList m_symlinks;
    QString m_errorString;
};
