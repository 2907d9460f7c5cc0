#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QProcess>
#include <QStringList>

// The simulated pump, corvane-pumpsim, as a process of its own with the test's fault options.
// Its logs go to a folder of the test's: the frames it received, and every write it made to
// the line, from which the test learns which replies left in full.
class SimulatedPump
{
public:
    struct Write
    {
        QDateTime time;
        QByteArray bytes;
    };

    explicit SimulatedPump(const QString &folder);
    ~SimulatedPump();
    SimulatedPump(const SimulatedPump &) = delete;
    SimulatedPump &operator=(const SimulatedPump &) = delete;

    // Starts it with these options besides the logs; false with the reason in *error.
    bool start(const QStringList &options, QString *error);
    QString slavePath() const { return m_slavePath; }

    // Each write to the line, in order.
    QList<Write> writes() const;
    // The values of the current-pressure replies among the bytes written. The simulator's stray
    // bytes come only just before a reply and are fewer than a frame, so they never form a
    // frame or hide one: every "Q", seven bytes, "Y" in the stream is a reply it made.
    QStringList sentReadings() const;
    // The lines of its log of received frames.
    QStringList receivedLog() const;

private:
    QString m_folder;
    QProcess m_process;
    QString m_slavePath;
};
