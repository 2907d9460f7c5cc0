#include "platform/serialcontrol.h"

#include "link/portlockholder.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <qplatformdefs.h>

#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

SerialControl::SerialControl(QObject *parent) : QObject(parent) {}

QString SerialControl::deviceForPort(int port) const
{
    if (const auto it = m_portMap.constFind(port); it != m_portMap.constEnd())
        return it.value();
    if (port < 1)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

bool SerialControl::portOpen() const
{
    return m_port && m_port->isOpen();
}

QString SerialControl::openDevice() const
{
    return portOpen() ? m_device : QString();
}

bool SerialControl::setPortOpen(bool open)
{
    if (!open) {
        m_port.reset();
        m_device.clear();
        m_canonicalDevice.clear();
        ++m_generation;
        return true;
    }

    const QString device = deviceForPort(m_commPort);
    if (device.isEmpty()) {
        m_openFailure = OpenFailure::NoSuchPort;
        m_errorString = tr("端口 %1 不存在：端口号从 1 开始").arg(m_commPort);
        return false;
    }
    return this->open(device, tr("端口 %1（%2）").arg(m_commPort).arg(device));
}

bool SerialControl::openPort(int number)
{
    // The number asked for stays only if its port opens.
    const int previous = m_commPort;
    m_commPort = number;
    if (setPortOpen(true))
        return true;
    m_commPort = previous;
    return false;
}

bool SerialControl::openPath(const QString &device)
{
    return open(device, tr("端口 %1").arg(device));
}

bool SerialControl::open(const QString &device, const QString &portText)
{
    const auto fail = [&](OpenFailure failure, const QString &reason) {
        m_openFailure = failure;
        m_errorString = tr("无法打开%1：%2").arg(portText, reason);
        return false;
    };
    // One device, one lock, whatever name it was given.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (canonical.isEmpty())
        return fail(OpenFailure::NotFound, tr("设备不存在"));
    // Reopening the port that is already open keeps it; only the settings are applied again.
    if (portOpen() && m_canonicalDevice == canonical) {
        m_device = device;
        m_portText = portText;
        m_openFailure = OpenFailure::None;
        return applySettings(m_port.get());
    }
    QT_STATBUF status{};
    if (QT_STAT(QFile::encodeName(canonical).constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return fail(OpenFailure::NotSerial, tr("不是串口设备"));

    auto port = std::make_unique<QSerialPort>(canonical);
    if (!port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port->error();
        if (error == QSerialPort::DeviceNotFoundError)
            return fail(OpenFailure::NotFound, tr("设备不存在（%1）").arg(port->errorString()));
        if (error != QSerialPort::PermissionError)
            return fail(OpenFailure::Other, port->errorString());
        // The same error stands for a port held by another program and for missing rights;
        // only a device we may read and write is held.
        if (::access(QFile::encodeName(canonical).constData(), R_OK | W_OK) == 0)
            return fail(OpenFailure::InUse, inUseText(canonical));
        return fail(OpenFailure::NoPermission,
                    tr("没有访问权限（%1）：请把用户加入 dialout 组（sudo usermod -aG dialout "
                       "$USER），重新登录后再试")
                        .arg(port->errorString()));
    }
    // The lock file is by name and the exclusive mode does not stop root: the flock does.
    if (::flock(int(port->handle()), LOCK_EX | LOCK_NB) != 0)
        return fail(OpenFailure::InUse, inUseText(canonical));
    if (!applySettings(port.get())) {
        m_openFailure = OpenFailure::Other;
        return false;
    }
    // The new port works; only now give up the old one.
    m_port = std::move(port);
    m_device = device;
    m_portText = portText;
    m_canonicalDevice = canonical;
    m_openFailure = OpenFailure::None;
    ++m_generation;
    connect(m_port.get(), &QSerialPort::readyRead, this, &SerialControl::onReadyRead);
    connect(m_port.get(), &QSerialPort::errorOccurred, this, &SerialControl::onErrorOccurred);
    return true;
}

bool SerialControl::setSettings(const QString &settings)
{
    LineSettings line;
    if (!parseSettings(settings, &line)) {
        m_errorString = tr("串口参数“%1”无效").arg(settings);
        return false;
    }
    m_settings = settings;
    m_line = line;
    return !portOpen() || applySettings(m_port.get());
}

bool SerialControl::parseSettings(const QString &text, LineSettings *out)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return false;

    bool ok = false;
    out->baudRate = parts[0].trimmed().toInt(&ok);
    if (!ok || out->baudRate <= 0)
        return false;

    const QString parity = parts[1].trimmed().toLower();
    if (parity == u"n")
        out->parity = QSerialPort::NoParity;
    else if (parity == u"e")
        out->parity = QSerialPort::EvenParity;
    else if (parity == u"o")
        out->parity = QSerialPort::OddParity;
    else if (parity == u"m")
        out->parity = QSerialPort::MarkParity;
    else if (parity == u"s")
        out->parity = QSerialPort::SpaceParity;
    else
        return false;

    const int dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return false;
    out->dataBits = QSerialPort::DataBits(dataBits);

    const QString stop = parts[3].trimmed();
    if (stop == u"1")
        out->stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5")
        out->stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2")
        out->stopBits = QSerialPort::TwoStop;
    else
        return false;
    return true;
}

bool SerialControl::applySettings(QSerialPort *port)
{
    const bool ok = port->setBaudRate(m_line.baudRate) && port->setParity(m_line.parity) &&
                    port->setDataBits(m_line.dataBits) && port->setStopBits(m_line.stopBits) &&
                    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok)
        m_errorString =
            tr("端口 %1 不接受参数“%2”：%3").arg(port->portName(), m_settings, port->errorString());
    return ok;
}

bool SerialControl::setOutput(const QByteArray &bytes)
{
    if (!portOpen()) {
        ++m_framesRefusedWhileClosed;
        m_errorString = tr("通信端口未打开");
        return false;
    }
    if (m_port->write(bytes) != bytes.size()) {
        m_errorString = m_port->errorString();
        return false;
    }
    // Hand the bytes to the system now rather than at the next turn of the event loop, so a
    // frame is on its way before the next event is handled (or the program ends).
    m_port->flush();
    return true;
}

QByteArray SerialControl::input()
{
    if (!portOpen())
        return {};
    return m_inputLen > 0 ? m_port->read(m_inputLen) : m_port->readAll();
}

void SerialControl::onReadyRead()
{
    if (m_rThreshold > 0 && portOpen() && m_port->bytesAvailable() >= m_rThreshold) {
        m_commEvent = kEventReceive;
        Q_EMIT OnComm();
    }
}

QString SerialControl::inUseText(const QString &canonical)
{
    // The lock file names the holder; a holder that keeps none (or holds only the flock) is
    // named by nobody.
    const std::optional<PortLockHolder> holder = PortLockHolder::of(canonical);
    if (!holder)
        return tr("设备正被其他程序使用（%1）").arg(canonical);
    if (holder->program.isEmpty())
        return tr("设备 %1 正被进程 %2 使用").arg(canonical).arg(holder->pid);
    return tr("设备 %1 正被程序 %2（进程 %3）使用")
        .arg(canonical, holder->program)
        .arg(holder->pid);
}

QString SerialControl::failureText(QSerialPort::SerialPortError error, const QString &systemText)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
        // What a pulled cable or a hung-up line looks like; the system's own text at that point
        // is left over from an earlier call and would mislead.
        return tr("线路已断开（连线被拔出或对方已挂断）");
    case QSerialPort::WriteError:
        return tr("写入失败：%1").arg(systemText);
    default:
        return systemText;
    }
}

void SerialControl::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // Only these mean the line itself is gone. The others answer a call that has already
    // reported its own failure (a refused setting, an operation on a closed port).
    const bool lineFailed = error == QSerialPort::ResourceError ||
                            error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
                            error == QSerialPort::UnknownError;
    if (!lineFailed || !portOpen())
        return;
    // A read that found nothing (another reader took the bytes, a spurious wake-up) is reported
    // as a read error too; only a descriptor that shows a hang-up or an error is a lost line.
    // A resource error is the system saying the device is gone, and Qt has stopped reading.
    if ((error == QSerialPort::ReadError || error == QSerialPort::UnknownError) &&
        !lineIsGone(*m_port)) {
        m_port->clearError();
        return;
    }
    const QString reason = tr("%1：%2").arg(m_portText, failureText(error, m_port->errorString()));
    m_errorString = reason;
    // Close before telling anyone: a hung-up line keeps reporting read errors for as long as
    // the port stays open. The port object itself goes later, outside its own signal.
    QSerialPort *failedPort = m_port.release();
    failedPort->close();
    failedPort->disconnect(this);
    failedPort->deleteLater();
    m_device.clear();
    m_canonicalDevice.clear();
    // Told from the event loop, not from inside the port's own signal: whoever listens may
    // well open a modal box. By then another port may have been opened; the report belongs
    // to the failed one and must not close its successor.
    QMetaObject::invokeMethod(
        this,
        [this, reason, generation = m_generation] {
            if (generation == m_generation)
                Q_EMIT failed(reason);
        },
        Qt::QueuedConnection);
}

bool SerialControl::lineIsGone(const QSerialPort &port)
{
    pollfd descriptor{int(port.handle()), POLLIN, 0};
    if (::poll(&descriptor, 1, 0) < 0)
        return true;
    return (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
