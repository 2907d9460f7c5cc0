#include "platform/mqttidclaim.h"

#include "telemetry/mqttidrule.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

MqttIdClaim::MqttIdClaim(const QString &folder) : m_folder(folder)
{
    if (!m_folder.isEmpty())
        return;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    m_folder = runtime.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
                                 : QDir(runtime).filePath(QStringLiteral("corvane-panel"));
}

MqttIdClaim::~MqttIdClaim()
{
    // The file stays: removing it could let one panel lock the removed file and the next a
    // new one of the same name.
    if (m_fd >= 0)
        ::close(m_fd);
}

QString MqttIdClaim::claim(const QString &hostName, const QString &portOneDevice)
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (QDir().mkpath(m_folder)) {
        for (int instance = 1; instance <= kMostInstances; ++instance) {
            const QString id = MqttIdRule::id(hostName, portOneDevice, instance);
            const QByteArray path =
                QFile::encodeName(QDir(m_folder).filePath(QStringLiteral("mqtt-%1.lock").arg(id)));
            const int fd =
                ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0)
                break;
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                m_fd = fd;
                return id;
            }
            const int why = errno;
            ::close(fd);
            if (why != EWOULDBLOCK)
                break;
        }
    }
    return MqttIdRule::id(hostName, portOneDevice, 1);
}
