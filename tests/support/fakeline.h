#pragma once

#include "session/reconnector.h"
#include "session/serialline.h"

#include <QStringList>

#include <utility>

// A line that does what it is told: ports open as /dev/fakeN, a device by its path.
class FakeLine : public SerialLine
{
public:
    bool openPort(int number) override { return openDevicePath(QStringLiteral("/dev/fake%1").arg(number)); }
    bool openDevicePath(const QString &device) override
    {
        if (std::exchange(failOpen, false)) {
            error = QStringLiteral("无法打开 %1").arg(device);
            return false;
        }
        named = device;
        return true;
    }
    bool configure(const QString &settings) override
    {
        configured = settings;
        if (!std::exchange(failConfigure, false))
            return true;
        error = QStringLiteral("设置被拒绝");
        return false;
    }
    void close() override { named.clear(); }
    bool isOpen() const override { return !named.isEmpty(); }
    int portNumber() const override { return 1; }
    QString device() const override { return named; }
    QString canonicalDevice() const override { return named.isEmpty() ? QString() : named + u'c'; }
    QString errorString() const override { return error; }
    bool write(const QByteArray &bytes) override
    {
        writesWhileClosed += isOpen() ? 0 : 1;
        if (!isOpen() || std::exchange(failWrite, false)) {
            error = QStringLiteral("写入失败");
            return false;
        }
        written << QString::fromLatin1(bytes);
        return true;
    }
    QByteArray read() override { return std::exchange(inbound, {}); }
    void setReceiveThreshold(int count) override { threshold = count; }

    QString named, error, configured;
    QByteArray inbound;
    QStringList written;
    int threshold = 0;
    int writesWhileClosed = 0;
    bool failOpen = false, failConfigure = false, failWrite = false;
};

class FakeReconnector : public Reconnector
{
public:
    bool remember(const QString &device) override
    {
        return std::exchange(remembered, device) == device;
    }
    QString device() const override { return remembered; }
    void begin() override { searching = true; }
    void cancel() override { searching = false; }

    QString remembered;
    bool searching = false;
};
