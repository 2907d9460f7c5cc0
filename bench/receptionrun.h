#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <vector>

class Form1;
class PseudoTerminal;
class QEventLoop;
class QLineEdit;

// Drives one timed run of N replies into the panel's pseudo-terminal and watches the
// current-pressure box: how many replies the panel took, how long each took to show after
// its last byte was written, and how much CPU time the whole process spent meanwhile.
// The feeder runs in the panel's own thread, so its writes and wake-ups are in the CPU figure.
class ReceptionRun : public QObject
{
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    struct Plan
    {
        QString name;
        double framesPerSecond = 0; // 0: flat out, bursts topped up as the panel drains them
        double seconds = 0;         // how long frames are written; the drain comes after
        bool noisy = false;         // a stray byte before every 10th frame
        bool split = false;         // each frame in two writes, half a frame period apart
        bool panelReads = true;     // false: the port reads, but the panel is never told
    };

    struct Result
    {
        Plan plan;
        qint64 written = 0;
        qint64 accepted = 0;
        double cpuSeconds = 0;
        double wallSeconds = 0;   // first write to the end of the drain
        double acceptSeconds = 0; // first frame shown to the last
        std::vector<double> latenciesMs;
        bool trendAgrees = true; // the trend advanced once per frame shown
        QString error;
    };

    static constexpr int kBurstFrames = 100;

    ReceptionRun(Form1 &form, PseudoTerminal &pty, QObject *parent = nullptr);

    Result run(const Plan &plan);

private:
    struct Sent
    {
        QString value;
        Clock::time_point at;
    };

    QByteArray nextFrame(QString *value);
    void onFeedTimer();
    void writePiece(qint64 piece);
    void writeBurst();
    void onBurstDue();
    void onTextChanged(const QString &text);
    void feedingDone();
    void fail(const QString &why);
    void finish();

    qint64 outstanding() const { return m_result.written - m_result.accepted; }
    Clock::time_point dueTime(qint64 piece) const;

    Form1 &m_form;
    PseudoTerminal &m_pty;
    QLineEdit *m_pnow = nullptr;
    QTimer m_feedTimer;
    QTimer m_drainTimer;
    QTimer m_guardTimer;
    QEventLoop *m_loop = nullptr;

    Result m_result;
    int m_valueIndex = 0; // carried across runs so the box always changes on the next frame
    qint64 m_totalPieces = 0;
    qint64 m_nextPiece = 0;
    QByteArray m_frame;
    QString m_frameValue;
    std::deque<Sent> m_sent;
    bool m_feeding = false;
    bool m_burstQueued = false;
    Clock::time_point m_start;
    Clock::time_point m_feedEnd;
    Clock::time_point m_firstAccept;
    Clock::time_point m_lastAccept;
};
