#pragma once

#include <QObject>

#include <array>
#include <csignal>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into terminationRequested(), emitted from the event loop,
// so that the program can end the way closing its window ends it. The handlers are installed
// on construction and the previous dispositions restored on destruction; a signal that was
// ignored when the program started (nohup) stays ignored. One instance at a time, created
// after the application object.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the handlers could not be installed; the signals then act as by default.
    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void onReadable();

    static constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};

    int m_readFd = -1;
    int m_writeFd = -1;
    QSocketNotifier *m_notifier = nullptr;
    std::array<bool, kSignals.size()> m_installed{};
    std::array<struct sigaction, kSignals.size()> m_previous{};
};
