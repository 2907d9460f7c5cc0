#pragma once

#include "link/framereader.h"
#include "tools/pty/pseudoterminal.h"
#include "tools/pumpsim/pumpmodel.h"
#include "tools/pumpsim/simoptions.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QRandomGenerator>

class QSocketNotifier;
class QTimer;

// The pump behind a pseudo-terminal: cuts the panel's bytes into frames, obeys the ones
// addressed to "00" or to its own address, steps the PumpModel every 100 ms, and answers polls
// and settings after the time a frame takes on the wire at 9600 baud. Replies pass through the
// line faults chosen in SimOptions (drop, stray bytes, split, coalesce) in that order, and leave
// strictly in the order they were made. Every received frame, and every ignored input, goes to
// the log file when one is given; every write to the line goes to the sent log, so a test can
// tell which replies left in full. With --vanish-after the line goes away and comes back on a
// new pseudo-terminal while the pump itself keeps its state and keeps running. The pump's own
// faults (blocked, leak, stall, silent) come at their time on the model's clock, which the
// ticks advance from start(); each is logged when it begins.
class PumpSimulator : public QObject
{
    Q_OBJECT

public:
    // A 9-character frame is 90 bits at 9600 baud: 9.4 ms, rounded up.
    static constexpr int kFrameTransmitMs = 10;
    static constexpr int kTickMs = 100;
    static constexpr int kSplitHeadBytes = 4;

    explicit PumpSimulator(const SimOptions &options, QObject *parent);
    ~PumpSimulator() override;

    // Opens the pty (and the symlink and log file if asked for) and starts the pump.
    bool start(QString *error);
    QString slavePath() const { return m_pty.slavePath(); }

signals:
    // --hangup-after was reached; the line is closed.
    void hungUp();
    // The line is closed and the --link symlink removed; it comes back after --vanish-for.
    void vanished();
    // A new line is open at slavePath, with the --link symlink pointing at it.
    void cameBack(const QString &slavePath);

private:
    struct PendingReply
    {
        QDeadlineTimer due;
        QByteArray frame;
    };

    void onMasterReadable();
    void onTick();
    // Adds what the pump delivered since the last account, at the flow it ran at.
    void accountDelivery();
    void handleFrame(const QByteArray &frame);
    void answer(char letter, const QString &value);
    void onReplyTimer();
    void armReplyTimer();
    void sendReply(const QByteArray &frame);
    void sendChunk(const QByteArray &chunk);
    void onSplitTimer();
    void write(const QByteArray &bytes);
    QByteArray strayBytes();
    void logLine(const QString &text);
    static void appendLine(QFile &file, const QString &text);
    void logFrame(const QByteArray &frame, const QString &note = QString());
    void hangUp();
    void listen();
    void dropPendingReplies();
    void vanish();
    void comeBack();

    SimOptions m_options;
    PumpModel m_model;
    QString m_ownAddress;
    PseudoTerminal m_pty;
    FrameReader m_reader;
    QRandomGenerator m_random;
    QFile m_log;
    QFile m_sentLog;
    QFile m_timeline; // what the pump obeyed, for a test to set beside what was planned

    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_tickTimer;
    QTimer *m_replyTimer;
    QTimer *m_splitTimer;
    QTimer *m_returnTimer;
    QElapsedTimer m_sinceTick;
    QElapsedTimer m_sinceStart;
    qint64 m_deliveryNs = 0; // when the volume delivered was last brought up to date
    double m_deliveredMl = 0;

    QList<PendingReply> m_replies;
    QByteArray m_heldReply;     // --coalesce: the odd-numbered reply waiting for its partner
    QByteArray m_splitTail;     // --split: second half waiting for the gap to pass
    QList<QByteArray> m_queued; // chunks made while a split reply was still going out

    quint64 m_framesReceived = 0;
    quint64 m_answerableFrames = 0;
    quint64 m_repliesSent = 0;
    quint64 m_vanishAt = 0; // frame count that takes the line away; 0 = never
    // The pump's faults as the log has told them.
    bool m_toldBlocked = false;
    bool m_toldLeaking = false;
    bool m_toldSilent = false;
};
