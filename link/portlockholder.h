#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <optional>

// Who holds a serial port, as its lock file says. A program that opens a port writes its
// process id and its name into a lock file named after the device (QSerialPort as QLockFile
// does: the id, the name and the host on lines of their own; minicom and the UUCP tools: the
// id and the name on one line). A lock file whose process has ended holds nothing: it is left
// over from a program that was killed.
struct PortLockHolder
{
    qint64 pid = 0;
    QString program; // empty when the lock file gives the id alone

    // The live holder a lock file's text names; none for text that names no process, or one
    // that isAlive says has ended.
    static std::optional<PortLockHolder> fromText(const QByteArray &text,
                                                  const std::function<bool(qint64)> &isAlive);
    // The lock files that may name the holder of a device (its canonical path), in the
    // folders where QSerialPort and the UUCP tools keep them.
    static QStringList lockFilePaths(const QString &canonicalDevice);
    // The live holder named by the first of those lock files that names one.
    static std::optional<PortLockHolder> of(const QString &canonicalDevice);
    // Whether a process with this id exists, ours or another user's.
    static bool isAlive(qint64 pid);
};
