#include "link/portlockholder.h"

#include <QFile>

#include <cerrno>
#include <limits>
#include <signal.h>
#include <sys/types.h>

std::optional<PortLockHolder> PortLockHolder::fromText(const QByteArray &text,
                                                       const std::function<bool(qint64)> &isAlive)
{
    // "1234\nminicom\nhost\n" or "      1234 minicom root\n": the first word is the id, the
    // next word the program, on the same line or the next.
    const QList<QByteArray> words = text.simplified().split(' ');
    bool ok = false;
    const qint64 pid = words.first().toLongLong(&ok);
    if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max() || !isAlive(pid))
        return std::nullopt;
    return PortLockHolder{pid, words.size() > 1 ? QString::fromUtf8(words[1]) : QString()};
}

QStringList PortLockHolder::lockFilePaths(const QString &canonicalDevice)
{
    // "/dev/ttyUSB0" is locked as "LCK..ttyUSB0", "/dev/pts/3" as "LCK..pts_3".
    QString name = canonicalDevice.startsWith(QLatin1String("/dev/")) ? canonicalDevice.mid(5)
                                                                      : canonicalDevice;
    name.replace(u'/', u'_');
    QStringList paths;
    for (const char *folder : {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks",
                               "/var/spool/uucp", "/tmp", "/var/tmp", "/var/lock/lockdev"})
        paths << QLatin1String(folder) + QLatin1String("/LCK..") + name;
    return paths;
}

std::optional<PortLockHolder> PortLockHolder::of(const QString &canonicalDevice)
{
    for (const QString &path : lockFilePaths(canonicalDevice)) {
        QFile file(path);
        // A lock file is a few dozen bytes; more is not a lock file.
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (auto holder = fromText(file.read(4096), &PortLockHolder::isAlive))
            return holder;
    }
    return std::nullopt;
}

bool PortLockHolder::isAlive(qint64 pid)
{
    // EPERM: the process exists but belongs to another user.
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH);
}
