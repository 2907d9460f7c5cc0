#include "platform/linkreconnector.h"

#include "link/reconnectschedule.h"
#include "platform/portlisting.h"
#include "platform/serialcontrol.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <optional>

namespace {

constexpr qint64 kFullLookEveryMs = 5000;

} // namespace

LinkReconnector::LinkReconnector(SerialControl *port, const PortListing *listing, QObject *parent)
    : QObject(parent), m_port(port), m_listing(listing), m_retry(new QTimer(this)),
      m_settle(new QTimer(this))
{
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &LinkReconnector::attempt);
    m_settle->setSingleShot(true);
    m_settle->setInterval(ReconnectSchedule::kSettleAfterChange);
    connect(m_settle, &QTimer::timeout, this, &LinkReconnector::attempt);
}

bool LinkReconnector::remember(const QString &device)
{
    const PortIdentity before = m_identity;
    const QString canonicalBefore = m_canonicalDevice;
    m_device = device;
    m_canonicalDevice = QFileInfo(device).canonicalFilePath();
    m_identity = PortIdentity();
    std::optional<SerialPortRecord> opened;
    for (const SerialPortRecord &port : m_listing->ports()) {
        if (port.systemLocation == m_canonicalDevice)
            opened = port;
    }
    if (opened)
        m_identity = PortIdentity::of(*opened);
    if (m_canonicalDevice.isEmpty())
        return false;
    if (!before.isKnown())
        return m_canonicalDevice == canonicalBefore;
    return opened && before.matches(*opened);
}

void LinkReconnector::begin()
{
    if (m_device.isEmpty())
        return;
    m_waiting = true;
    m_why.clear();
    m_lastDevices.clear();
    m_lastVerdict = PortIdentity::Verdict::Open;
    m_sinceFullLook.invalidate();
    m_sinceLoss.start();
    watchFolders();
    m_retry->start(ReconnectSchedule::kFastRetry);
}

void LinkReconnector::cancel()
{
    m_waiting = false;
    m_retry->stop();
    m_settle->stop();
    // inotify watches on /dev are dropped while nothing is lost.
    delete m_watcher;
    m_watcher = nullptr;
}

void LinkReconnector::watchFolders()
{
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        // A change starts (or restarts) a short wait, so a burst of changes is one look.
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_settle,
                qOverload<>(&QTimer::start));
    }
    // /dev/serial/by-id comes and goes with the last adapter; what is not there now is
    // watched once it is.
    const QStringList folders{QStringLiteral("/dev"), QStringLiteral("/dev/serial"),
                              QStringLiteral("/dev/serial/by-id"),
                              QFileInfo(m_device).absolutePath()};
    QStringList toWatch;
    for (const QString &folder : folders) {
        if (QFileInfo(folder).isDir() && !m_watcher->directories().contains(folder) &&
            !toWatch.contains(folder))
            toWatch << folder;
    }
    if (!toWatch.isEmpty())
        m_watcher->addPaths(toWatch);
}

void LinkReconnector::attempt()
{
    if (!m_waiting)
        return;
    // The operator's own 通信 may have opened a port meanwhile: never a second one.
    if (m_port->portOpen()) {
        cancel();
        return;
    }
    ++m_attempts;
    watchFolders();
    const QString resolved = QFileInfo(m_device).canonicalFilePath();
    // Listing the ports costs milliseconds (udev is asked about every tty); once a second for
    // hours that would be most of the waiting's CPU. It is needed only when something may have
    // changed: /dev, or where the operator's name leads.
    const QStringList devices = deviceNames() << resolved;
    const bool unchanged = devices == m_lastDevices;
    m_lastDevices = devices;
    // udev may finish describing a device after its node appears: a full look every few
    // seconds whatever /dev says.
    PortIdentity::Found found{PortIdentity::Verdict::Absent, {}};
    if (unchanged && m_lastVerdict != PortIdentity::Verdict::Open && m_sinceFullLook.isValid() &&
        m_sinceFullLook.elapsed() < kFullLookEveryMs) {
        found.verdict = m_lastVerdict;
    } else if (!resolved.isEmpty() || m_identity.isKnown()) {
        found = m_identity.find(resolved, m_listing->ports());
        m_sinceFullLook.start();
    }
    m_lastVerdict = found.verdict;
    switch (found.verdict) {
    case PortIdentity::Verdict::Absent:
        tell(tr("等待设备恢复"));
        break;
    case PortIdentity::Verdict::NotOurs:
        tell(tr("%1 上是另一台设备，不是原来的适配器（%2），不会打开")
                 .arg(resolved, m_identity.text()));
        break;
    case PortIdentity::Verdict::Open:
        if (m_port->openPath(found.device)) {
            m_canonicalDevice = m_port->canonicalDevice();
            cancel();
            Q_EMIT reconnected(found.device);
            return;
        }
        tell(m_port->errorString());
        break;
    }
    m_retry->start(ReconnectSchedule::delayAfter(std::chrono::milliseconds(m_sinceLoss.elapsed())));
}

QStringList LinkReconnector::deviceNames()
{
    constexpr QDir::Filters kAll = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    return QDir(QStringLiteral("/dev")).entryList(kAll, QDir::Name) +
           QDir(QStringLiteral("/dev/serial/by-id")).entryList(kAll, QDir::Name);
}

void LinkReconnector::tell(const QString &why)
{
    if (why == m_why)
        return;
    m_why = why;
    Q_EMIT stillAway(why);
}
