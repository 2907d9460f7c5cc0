#pragma once

#include <QByteArray>
#include <QString>

// The serial line as the pump session uses it: open a port by number or a device by path,
// write one frame in one write, take what has arrived. The serial control implements it over
// a real port; tests give the session a line of their own. Reception and failures are told to
// the session by its owner (the control's OnComm and failed signals).
class SerialLine
{
public:
    virtual ~SerialLine() = default;

    // Each switches ports as the control does: the old port is closed only once the new one
    // works. False, with errorString(), when it could not be opened.
    virtual bool openPort(int number) = 0;
    virtual bool openDevicePath(const QString &device) = 0;
    // "baud,parity,data,stop"; false when refused.
    virtual bool configure(const QString &settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The port number asked for last, and the open device as named and as resolved.
    virtual int portNumber() const = 0;
    virtual QString device() const = 0;
    virtual QString canonicalDevice() const = 0;
    virtual QString errorString() const = 0;

    // One frame in one write; false (nothing written) while closed or when it is not all taken.
    virtual bool write(const QByteArray &bytes) = 0;
    // Every character waiting.
    virtual QByteArray read() = 0;
    // Reception is told once this many characters wait.
    virtual void setReceiveThreshold(int count) = 0;
};
