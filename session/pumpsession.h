#pragma once

#include "alarms/alarmmonitor.h"
#include "link/framereader.h"
#include "link/linkprotocol.h"
#include "link/linkstatus.h"
#include "link/pendingstop.h"
#include "link/stalereadingwatch.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class Keypad;
class QTimer;
class Reconnector;
class RunRecord;
class SerialLine;

// The panel's one session with the pump line, under the window: it opens and closes the line,
// polls, reads the replies and hands them on, sends every frame (with what asked for it), owes
// a stop while the line is down and sends it first when the same adapter is back, and tells
// the operator how the link goes. Every reading and event goes into the run record; the alarm
// monitor is fed from here and its stop goes out from here. Time and the line are injected;
// the window only wires its controls to the signals.
//
// - open() takes the operator's answer to 通信. A port that cannot be opened or set up leaves
//   the one in use (if any) as it was; the answer's problem comes back for a box.
// - A line that fails is closed at once; the poll waits, the reading goes stale, and the
//   reconnector looks for the same adapter, unless the line was a pseudo-terminal named
//   directly (its number may be handed to another program's terminal at once).
// - A setting reply of a kind the operator is typing on the keypad is not shown: it would
//   break the entry.
class PumpSession : public QObject
{
    Q_OBJECT

public:
    enum class Link { Closed, Open, Lost };
    Q_ENUM(Link)

    struct SentFrame
    {
        QString frame;
        QString source;
        QDateTime time;
    };

    // How long a notice of the link (back, a stop cancelled) stays in the status area.
    static constexpr auto kNoticeShown = std::chrono::seconds(10);

    PumpSession(SerialLine *line, Reconnector *reconnector, RunRecord *record, AlarmMonitor *alarms,
                QObject *parent = nullptr);

    void setWallClock(std::function<QDateTime()> clock) { m_wall = std::move(clock); }
    // The keypad whose entries a setting reply must not break; none: every reply is shown.
    void setKeypad(const Keypad *keypad) { m_keypad = keypad; }

    // The operator's answer to 通信. Empty when the line is open; otherwise
    // the text for a box.
    QString open(const QString &answer);
    // The window closes: the line with it, without a frame.
    void end();
    // The poll's tick.
    void poll();
    // Characters wait on the line.
    void dataArrived();
    // The line failed on its own (unplugged, hung up, a write error).
    void lineFailed(const QString &reason);
    // The reconnector opened the remembered adapter again on device.
    void lineBack(const QString &device);
    void stillAway(const QString &why);

    // The one way out for a frame. Empty when it went out; else why not, for the operator. A
    // stop that cannot go out while the link is lost is the operator's word: it is held as the
    // pending stop (heldStopText() says so) and goes first when the same adapter is back.
    QString send(const QString &frame, const QString &source);
    // A stop nobody may be at the screen to retry: sent now, or owed for cause until the same
    // adapter is back. True when it went out now.
    bool sendStop(const QString &source, PendingStop::Cause cause, const QString &text);
    // The source the pending stop goes out under, with its causes.
    static bool isPendingStopSource(const QString &source)
    {
        return source.startsWith(tr("待发送的停止命令："));
    }
    // What send() answers for a stop it holds.
    // What a stop held in an outage is owed for: the operator's, but for the span of a remote
    // client's command, which sets it to Remote and back.
    void setHeldStopCause(PendingStop::Cause cause) { m_heldStopCause = cause; }
    static QString heldStopText() { return tr("线路中断：停止命令已保留，线路恢复后首先发送"); }
    void logEvent(const char *key, const QString &text);
    // What the alarm's stop is sent as.
    static QString alarmSource() { return tr("报警"); }
    // The alarms' settings changed: their next check may be due at another time.
    void alarmsChanged();

    Link link() const { return m_link; }
    const PendingStop &pendingStop() const { return m_pendingStop; }
    bool hasReading() const { return m_hasReading; }
    bool readingIsStale() const { return m_readingStale; }
    // The link's row of the status area; empty when there is nothing to say.
    QString linkText() const { return m_linkStatus.text(); }
    // The owed stop's row of the status area; empty while none is owed.
    QString stopText() const { return LinkStatus::stopText(m_pendingStop); }
    // The adapter remembered, as named, and with its resolved path where that differs.
    QString device() const;
    QString deviceText() const;
    const SentFrame &lastFrame() const { return m_lastFrame; }
    // The last flow (L) and protection-limit (P) frames that went out; empty frame before one.
    const SentFrame &lastFlowSent() const { return m_lastFlow; }
    const SentFrame &lastLimitSent() const { return m_lastLimit; }

    // False for a pseudo-terminal named by its own path: after a hang-up it is not reopened
    // by that path. Through a link (as udev's by-id names) the link is followed again.
    static bool reopensByItself(const QString &namedDevice);

Q_SIGNALS:
    // A current-pressure reply, its value as received.
    void reading(const QString &text);
    // A flow (L) or pressure-limit (P) reply to show.
    void settingReplied(char letter, const QString &value);
    // Every flow (L) reply, shown or not.
    void flowReplied(const QString &value);
    // Every accepted reply, after the above: the trend takes its step.
    void replyHandled();
    void readingCurrencyChanged();
    void linkChanged(PumpSession::Link link, PumpSession::Link before);
    // The link's text or the pending stop changed.
    void statusChanged();
    void frameSent(const PumpSession::SentFrame &frame);
    // A frame other than the poll that did not go out, and why.
    void frameRefused(const QString &frame, const QString &source, const QString &why);
    // A run (true) or stop (false) frame went out.
    void pumpCommanded(bool running);
    // An alarm's stop went out, or is owed.
    void alarmActed(AlarmMonitor::Kind kind, bool stopSent);
    // The pending stop went out (sent) or was cancelled, for these causes; told before the
    // link's return is. What said it was owed says so no longer.
    void pendingStopSettled(const QList<PendingStop::Reason> &reasons, bool sent);

private:
    // send() without telling a refusal.
    QString write(const QString &frame, const QString &source);
    void handleReply(const QByteArray &frame);
    // The line is open again: the pending stop (if any) goes first, then the link is Open.
    void linkOpened(const QString &owedTo);
    void closeLine();
    // A frame other than the poll that the port did not take: an event line and the signal.
    void tellRefused(const QString &frame, const QString &source, const QString &why);
    void oweStop(PendingStop::Cause cause, const QString &text);
    void sendPendingStop(const QString &device);
    void setReadingStale(bool stale);
    void setLink(Link link);
    void showNotice(const QString &text);
    void armAlarmCheck();
    void onAlarmStop(const AlarmMonitor::Alarm &alarm);
    QString withCanonical(const QString &text) const;
    QDateTime now() const { return m_wall ? m_wall() : QDateTime::currentDateTime(); }

    SerialLine *m_line;
    Reconnector *m_reconnector;
    RunRecord *m_record;
    AlarmMonitor *m_alarms;
    const Keypad *m_keypad = nullptr;
    std::function<QDateTime()> m_wall;

    FrameReader m_reader;
    StaleReadingWatch m_readingWatch{LinkProtocol::kPollsUntilStale};
    bool m_readingStale = false;
    bool m_hasReading = false; // a current-pressure reply has come since start
    PendingStop m_pendingStop;
    PendingStop::Cause m_heldStopCause = PendingStop::Cause::Operator;
    LinkStatus m_linkStatus;
    Link m_link = Link::Closed;
    QString m_canonical; // of the line opened last, kept for the reports after it failed
    SentFrame m_lastFrame;
    bool m_stopUnanswered = false;  // a stop went out; no reply yet to a poll after it
    bool m_polledSinceStop = false; // a poll went out after that stop
    SentFrame m_lastFlow;
    SentFrame m_lastLimit;
    QTimer *m_noticeShown;
    QTimer *m_alarmCheck;
};
