#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal, so the simulator leaves through the event loop
// and its destructors remove the symlink. blockTerminationSignals() must run before any
// thread exists (first thing in main); the signals are then read from a signalfd.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    static bool blockTerminationSignals();

    explicit SignalWatcher(QObject *parent);
    ~SignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void onReadable();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
