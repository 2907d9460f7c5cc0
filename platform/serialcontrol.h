#pragma once

#include "session/serialline.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QtGlobal>

#include <memory>

// The panel's serial control. It gives the pump link the operations it relies on, under the
// control's own names (CommPort, PortOpen, Settings, InputLen, RThreshold, Output, Input,
// CommEvent, OnComm), over a QSerialPort:
// - OnComm is raised with CommEvent 2 when characters arrive and at least RThreshold of them
//   wait (RThreshold 0: never).
// - Port number N is a device of the operating system: by default /dev/ttyS{N-1} (COMN on
//   Windows); setPortMap() points any number at any device, such as a pseudo-terminal.
// - Asking to open while a port is open switches ports: the new one is opened first and the
//   old one is closed only once the new one works; if the new one fails, the old stays.
// - The device is opened under its canonical path (a symlink such as /dev/serial/by-id/...
//   resolved) and held with an exclusive flock, so a second program opening the same device
//   under another name is refused as "in use", root included.
// - A port that fails while open (unplugged, hung up, a write error) is closed at once and
//   failed() is emitted once, from the event loop; nothing is retried here, so a hung-up line
//   cannot spin the loop. A read error is taken for a lost line only when the descriptor shows
//   a hang-up or an error: an empty read never closes a working port. A report still on its
//   way when another port is opened (or the port closed) is dropped: it would blame and close
//   a port that works.
class SerialControl : public QObject, public SerialLine
{
    Q_OBJECT
    Q_PROPERTY(int CommPort READ commPort WRITE setCommPort)
    Q_PROPERTY(bool PortOpen READ portOpen)
    Q_PROPERTY(QString Settings READ settings)
    Q_PROPERTY(int InputLen READ inputLen WRITE setInputLen)
    Q_PROPERTY(int RThreshold READ rThreshold WRITE setRThreshold)
    Q_PROPERTY(int CommEvent READ commEvent)

public:
    static constexpr int kEventReceive = 2;

    // Why the last opening failed, for those who try again by themselves.
    enum class OpenFailure { None, NoSuchPort, NotFound, NotSerial, InUse, NoPermission, Other };

    explicit SerialControl(QObject *parent = nullptr);

    void setPortMap(const QHash<int, QString> &devices) { m_portMap = devices; }
    QString deviceForPort(int port) const;

    int commPort() const { return m_commPort; }
    void setCommPort(int port) { m_commPort = port; }

    bool portOpen() const;
    // Opens the port named by CommPort, or closes the open one. On failure returns false and
    // errorString() tells the device and the system's reason.
    bool setPortOpen(bool open);
    // Opens a device by its path instead of the one CommPort names: one the operator named,
    // or the same adapter back under the name the system gives it now. CommPort is left as it
    // was. Opening switches ports as setPortOpen(true) does.
    bool openPath(const QString &device);
    OpenFailure openFailure() const { return m_openFailure; }
    // Device of the open port as it was named, and the path it resolved to; empty while closed.
    QString openDevice() const;
    // Writes asked for while no port was open, all refused: a figure for benches and soaks.
    quint64 framesRefusedWhileClosed() const { return m_framesRefusedWhileClosed; }

    QString settings() const { return m_settings; }
    // "baud,parity,data,stop", e.g. "9600,n,8,1". Applied to the open port at once and to
    // every port opened later. False for text that does not parse or a port that refuses it.
    bool setSettings(const QString &settings);

    int inputLen() const { return m_inputLen; }
    void setInputLen(int count) { m_inputLen = count; }
    int rThreshold() const { return m_rThreshold; }
    void setRThreshold(int count) { m_rThreshold = count; }
    int commEvent() const { return m_commEvent; }

    // Writes the bytes in one write. False (and nothing written) while closed or when the port
    // does not take them all.
    bool setOutput(const QByteArray &bytes);
    // Takes the waiting characters: all of them for InputLen 0, else at most InputLen.
    QByteArray input();

    QString errorString() const override { return m_errorString; }

    // The line as the pump session sees it.
    bool openPort(int number) override;
    bool openDevicePath(const QString &device) override { return openPath(device); }
    bool configure(const QString &settings) override { return setSettings(settings); }
    void close() override { setPortOpen(false); }
    bool isOpen() const override { return portOpen(); }
    int portNumber() const override { return m_commPort; }
    QString device() const override { return openDevice(); }
    QString canonicalDevice() const override { return portOpen() ? m_canonicalDevice : QString(); }
    bool write(const QByteArray &bytes) override { return setOutput(bytes); }
    QByteArray read() override { return input(); }
    void setReceiveThreshold(int count) override { m_rThreshold = count; }

Q_SIGNALS:
    void OnComm();
    void failed(const QString &reason);

private:
    struct LineSettings
    {
        qint32 baudRate = 9600;
        QSerialPort::Parity parity = QSerialPort::NoParity;
        QSerialPort::DataBits dataBits = QSerialPort::Data8;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    };

    static bool parseSettings(const QString &text, LineSettings *out);
    // Who holds the device, by its lock file when that names a live process.
    static QString inUseText(const QString &canonical);
    static QString failureText(QSerialPort::SerialPortError error, const QString &systemText);
    bool open(const QString &device, const QString &portText);
    bool applySettings(QSerialPort *port);
    static bool lineIsGone(const QSerialPort &port);
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);

    QHash<int, QString> m_portMap;
    // Not parented: the control alone decides when a port goes, and a failed one must outlive
    // the signal it is reporting from.
    std::unique_ptr<QSerialPort> m_port;
    QString m_device;
    QString m_portText; // how the open port is named in messages
    QString m_canonicalDevice;
    OpenFailure m_openFailure = OpenFailure::None;
    quint64 m_framesRefusedWhileClosed = 0;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,n,8,1");
    LineSettings m_line;
    int m_inputLen = 0;
    int m_rThreshold = 0;
    int m_commEvent = 0;
    QString m_errorString;
    quint64 m_generation = 0; // counts the ports opened and closed, to date failure reports
};
