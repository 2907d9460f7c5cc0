#include "session/pumpsession.h"

#include "alarms/alarmeventtext.h"
#include "entry/keypad.h"
#include "link/commandframe.h"
#include "link/portanswer.h"
#include "session/reconnector.h"
#include "session/serialline.h"
#include "records/runrecord.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cmath>

PumpSession::PumpSession(SerialLine *line, Reconnector *reconnector, RunRecord *record,
                         AlarmMonitor *alarms, QObject *parent)
    : QObject(parent), m_line(line), m_reconnector(reconnector), m_record(record), m_alarms(alarms),
      m_noticeShown(new QTimer(this)), m_alarmCheck(new QTimer(this))
{
    m_noticeShown->setSingleShot(true);
    m_noticeShown->setInterval(kNoticeShown);
    connect(m_noticeShown, &QTimer::timeout, this, [this] {
        m_linkStatus.clearNotice();
        Q_EMIT statusChanged();
    });
    m_alarmCheck->setSingleShot(true);
    m_alarmCheck->setTimerType(Qt::PreciseTimer);
    connect(m_alarmCheck, &QTimer::timeout, this, [this] {
        m_alarms->check();
        armAlarmCheck();
    });
    connect(m_alarms, &AlarmMonitor::stopWanted, this, &PumpSession::onAlarmStop);
    connect(m_alarms, &AlarmMonitor::raised, this, [this](const AlarmMonitor::Alarm &alarm) {
        logEvent("alarm-raised", AlarmEventText::raised(alarm));
    });
    connect(m_alarms, &AlarmMonitor::cleared, this, [this](const AlarmMonitor::Clearing &clearing) {
        logEvent("alarm-cleared", AlarmEventText::cleared(clearing));
    });
    connect(m_alarms, &AlarmMonitor::acknowledged, this,
            [this](const QList<AlarmMonitor::Alarm> &alarms) {
                logEvent("alarm-ack", AlarmEventText::acknowledged(alarms));
            });
}

QString PumpSession::open(const QString &answer)
{
    const int previousPort = m_line->portNumber();
    const QString previousDevice = m_line->device();
    // A port already in use stays in use whatever went wrong with the new answer.
    const auto refuse = [&](QString message) {
        if (!previousDevice.isEmpty())
            message += tr("\n端口 %1（%2）仍在使用。").arg(previousPort).arg(previousDevice);
        return message;
    };

    const std::optional<PortAnswer> port = PortAnswer::parse(answer);
    if (!port)
        return refuse(
            tr("“%1”不是有效的端口。请输入端口的编号（例如 1）或设备（例如 /dev/ttyUSB0）。")
                .arg(answer));
    const QString previousCanonical = m_line->canonicalDevice();
    const bool opened =
        port->number ? m_line->openPort(*port->number) : m_line->openDevicePath(port->device);
    if (!opened)
        return refuse(m_line->errorString());
    if (!m_line->configure(QString::fromLatin1(LinkProtocol::kLineSettings))) {
        const QString message = m_line->errorString();
        closeLine();
        // A line lost before stays lost: its adapter is still looked for, and a stop given
        // meanwhile is still held for it.
        setLink(m_link == Link::Lost ? Link::Lost : Link::Closed);
        return message;
    }
    // The operator's choice replaces any automatic attempt; a stop owed to the adapter that
    // was lost goes out only if this is that adapter.
    const QString device = m_line->device();
    const QString owedTo = m_reconnector->device();
    m_reconnector->cancel();
    if (!previousDevice.isEmpty() && previousCanonical != m_line->canonicalDevice())
        logEvent("link-closed", previousDevice == previousCanonical
                                    ? previousDevice
                                    : tr("%1（%2）").arg(previousDevice, previousCanonical));
    const bool sameAdapter = m_reconnector->remember(device);
    logEvent("link-open", deviceText());
    // A name alone does not make the same adapter: the stop is never sent to another one.
    linkOpened(sameAdapter ? owedTo : QString());
    return {};
}

void PumpSession::end()
{
    m_reconnector->cancel();
    if (m_line->isOpen())
        logEvent("link-closed", deviceText());
    m_line->close();
    // No poll may go out to a closed port while the program winds down.
    setLink(Link::Closed);
}

void PumpSession::poll()
{
    // A tick already queued when the port failed finds it closed: the poll waits for the link.
    if (!m_line->isOpen())
        return;
    // A poll that cannot be written is a line failure, which the port reports on its own; a
    // box here would open under a running timer, once a poll.
    send(QString::fromLatin1(LinkProtocol::kPollFrame), QString());
    if (m_readingWatch.pollSent())
        setReadingStale(true);
}

void PumpSession::dataArrived()
{
    const QList<QByteArray> frames = m_reader.feed(m_line->read());
    for (const QByteArray &frame : frames)
        handleReply(frame);
    // With part of a frame already here, the rest of it is enough to be worth an event.
    m_line->setReceiveThreshold(LinkProtocol::kReceiveThreshold - int(m_reader.pendingSize()));
}

void PumpSession::handleReply(const QByteArray &frame)
{
    const char letter = frame.at(3);
    const QString value = QString::fromLatin1(frame.mid(4, 4));
    switch (letter) {
    case 'N': {
        if (m_polledSinceStop)
            m_stopUnanswered = false;
        Q_EMIT reading(value);
        m_readingWatch.readingArrived();
        // The first reading changes what the box says even when it was not stale.
        if (!std::exchange(m_hasReading, true) && !m_readingStale)
            Q_EMIT readingCurrencyChanged();
        setReadingStale(false);
        // Into the record buffer if it reads as a number, and to the log whatever it is.
        m_record->addReading(now(), value);
        const double number = m_record->readingValue(m_record->readingCount() - 1);
        m_alarms->readingArrived(value,
                                 std::isnan(number) ? std::nullopt : std::optional<double>(number));
        armAlarmCheck();
        break;
    }
    // A setting reported while the operator types one of that kind would break the entry.
    case 'P':
        if (!m_keypad || m_keypad->pr() != 1)
            Q_EMIT settingReplied(letter, value);
        break;
    case 'L':
        Q_EMIT flowReplied(value);
        if (!m_keypad || m_keypad->lq() != 1)
            Q_EMIT settingReplied(letter, value);
        break;
    default:
        break;
    }
    Q_EMIT replyHandled();
}

void PumpSession::lineFailed(const QString &reason)
{
    // Told in the status area, not in a box that would still say "closed" once the link is
    // back; the poll waits until it is.
    closeLine();
    setReadingStale(true);
    m_linkStatus.lost(reason);
    m_noticeShown->stop();
    logEvent("link-lost", withCanonical(reason));
    if (std::exchange(m_stopUnanswered, false))
        oweStop(PendingStop::Cause::Unanswered, tr("停止命令发出后泵尚未应答"));
    m_alarms->linkLost();
    armAlarmCheck();
    if (reopensByItself(m_reconnector->device()))
        m_reconnector->begin();
    else
        m_linkStatus.waiting(
            tr("伪终端 %1 不会自动重新打开（其编号可能已给了别的程序），请用“通信”重新打开")
                .arg(m_reconnector->device()));
    setLink(Link::Lost);
    Q_EMIT statusChanged();
}

void PumpSession::stillAway(const QString &why)
{
    m_linkStatus.waiting(why);
    Q_EMIT statusChanged();
}

void PumpSession::lineBack(const QString &)
{
    logEvent("link-back", deviceText());
    linkOpened(m_reconnector->device());
    showNotice(tr("线路已恢复：%1").arg(deviceText()));
}

void PumpSession::linkOpened(const QString &owedTo)
{
    // A stop sent on the line before cannot be answered on this one.
    m_stopUnanswered = false;
    m_line->setReceiveThreshold(LinkProtocol::kReceiveThreshold);
    m_reader.clear();
    m_canonical = m_line->canonicalDevice();
    m_linkStatus.opened();
    m_readingWatch.restart();
    m_alarms->portOpened();
    armAlarmCheck();
    // The stop goes before anything that waits for the link (a program that continues) hears
    // that it is back.
    sendPendingStop(owedTo);
    setLink(Link::Open);
    Q_EMIT statusChanged();
}

void PumpSession::closeLine()
{
    m_line->close();
    m_reader.clear();
    m_alarms->portClosed();
    armAlarmCheck();
}

QString PumpSession::send(const QString &frame, const QString &source)
{
    QString why = write(frame, source);
    if (why.isEmpty() || frame == QLatin1String(LinkProtocol::kPollFrame))
        return why;
    tellRefused(frame, source, why);
    const bool isStop = frame == QLatin1String(LinkProtocol::kStopFrame);
    if (m_link != Link::Lost || source == alarmSource())
        return why;
    // The operator's stop is never lost to an outage; a run refused meanwhile leaves it held.
    if (isStop) {
        oweStop(m_heldStopCause, m_heldStopCause == PendingStop::Cause::Remote
                                     ? tr("远程停止（%1）").arg(source)
                                     : tr("操作员停止（%1）").arg(source));
        return heldStopText();
    }
    if (m_pendingStop.isPending())
        why += tr("\n停止命令仍保留，线路恢复后首先发送。");
    return why;
}

void PumpSession::tellRefused(const QString &frame, const QString &source, const QString &why)
{
    logEvent("frame-refused", tr("%1（%2）：%3").arg(frame, source, why));
    Q_EMIT frameRefused(frame, source, why);
}

QString PumpSession::write(const QString &frame, const QString &source)
{
    if (!isWellFormedFrame(frame))
        return tr("命令帧“%1”格式不正确，未发送。").arg(frame);
    // Asked of the port even while it is closed, so that it counts every frame it refused.
    const bool wasOpen = m_line->isOpen();
    if (m_line->write(frame.toLatin1())) {
        // The last run or stop that reached the pump decides whether low pressure is wrong.
        if (const QChar command = frame.at(3); command == u'R' || command == u'S') {
            m_alarms->pumpCommanded(command == u'R');
            Q_EMIT pumpCommanded(command == u'R');
            // A stop is not done until the pump has answered a poll written after it: a line
            // that goes meanwhile may have taken it with it. A run after it undoes it.
            m_stopUnanswered = command == u'S';
            m_polledSinceStop = false;
        } else if (frame == QLatin1String(LinkProtocol::kPollFrame)) {
            m_polledSinceStop = m_stopUnanswered;
        }
        if (frame != QLatin1String(LinkProtocol::kPollFrame)) {
            m_lastFrame = {frame, source, now()};
            if (frame.at(3) == u'L')
                m_lastFlow = m_lastFrame;
            else if (frame.at(3) == u'P')
                m_lastLimit = m_lastFrame;
            logEvent("frame-sent", tr("%1（%2）").arg(frame, source));
            Q_EMIT frameSent(m_lastFrame);
        }
        return {};
    }
    if (!wasOpen)
        return tr("通信端口未打开，命令 %1 未发送。请先选择“通信”打开端口。").arg(frame);
    return tr("命令 %1 未能发送：%2").arg(frame, m_line->errorString());
}

bool PumpSession::sendStop(const QString &source, PendingStop::Cause cause, const QString &text)
{
    const QString stopFrame = QString::fromLatin1(LinkProtocol::kStopFrame);
    if (const QString why = write(stopFrame, source); !why.isEmpty()) {
        tellRefused(stopFrame, source, why);
        oweStop(cause, text);
        return false;
    }
    return true;
}

void PumpSession::oweStop(PendingStop::Cause cause, const QString &text)
{
    if (m_pendingStop.owe(m_reconnector->device(), cause, text))
        logEvent("run-pending-stop", tr("%1，停止命令 %2 未能送到泵，线路恢复后首先发送")
                                         .arg(text, QString::fromLatin1(LinkProtocol::kStopFrame)));
    Q_EMIT statusChanged();
}

void PumpSession::sendPendingStop(const QString &device)
{
    if (!m_pendingStop.isPending())
        return;
    const QList<PendingStop::Reason> reasons = m_pendingStop.reasons();
    const QString causes = m_pendingStop.causes().join(tr("；"));
    const QString stopFrame = QString::fromLatin1(LinkProtocol::kStopFrame);
    // Sent as what it is, with every cause, never as the operator's when it was not.
    if (!m_pendingStop.takeFor(device)) {
        logEvent("run-pending-stop", tr("已取消：打开了另一台设备 %1").arg(deviceText()));
        showNotice(tr("待发送的停止命令已取消：打开的是另一台设备"));
        Q_EMIT pendingStopSettled(reasons, false);
    } else if (const QString why = write(stopFrame, tr("待发送的停止命令：%1").arg(causes));
               why.isEmpty()) {
        logEvent("run-pending-stop", tr("已发送 %1（%2）").arg(stopFrame, causes));
        Q_EMIT pendingStopSettled(reasons, true);
    } else {
        // The line went again at once; its failure report follows and the stop stays owed.
        for (const PendingStop::Reason &reason : reasons)
            m_pendingStop.owe(device, reason.cause, reason.text);
    }
    Q_EMIT statusChanged();
}

void PumpSession::onAlarmStop(const AlarmMonitor::Alarm &alarm)
{
    const QString stopFrame = QString::fromLatin1(LinkProtocol::kStopFrame);
    const QString cause = tr("报警（%1）").arg(AlarmMonitor::name(alarm.kind));
    // No box: nobody may be at the screen, and a box would hold the poll up.
    if (const QString failure = send(stopFrame, alarmSource()); failure.isEmpty()) {
        Q_EMIT alarmActed(alarm.kind, true);
        logEvent("alarm-acted", tr("%1：已发送停止命令 %2").arg(cause, stopFrame));
    } else {
        Q_EMIT alarmActed(alarm.kind, false);
        logEvent("alarm-acted", tr("%1：停止命令未能发送（%2）").arg(cause, failure));
        oweStop(PendingStop::Cause::Alarm, cause);
    }
}

void PumpSession::logEvent(const char *key, const QString &text)
{
    m_record->addEvent(now(), QString::fromLatin1(key), text);
}

void PumpSession::alarmsChanged()
{
    armAlarmCheck();
}

void PumpSession::armAlarmCheck()
{
    // Woken when the alarms' next time is due, and not before.
    if (const std::optional<qint64> due = m_alarms->msUntilCheck())
        m_alarmCheck->start(std::chrono::milliseconds(*due));
    else
        m_alarmCheck->stop();
}

void PumpSession::setReadingStale(bool stale)
{
    if (std::exchange(m_readingStale, stale) != stale)
        Q_EMIT readingCurrencyChanged();
}

void PumpSession::setLink(Link link)
{
    if (const Link before = std::exchange(m_link, link); before != link)
        Q_EMIT linkChanged(link, before);
}

void PumpSession::showNotice(const QString &text)
{
    m_linkStatus.notice(text);
    m_noticeShown->start();
    Q_EMIT statusChanged();
}

QString PumpSession::device() const
{
    return m_reconnector->device();
}

QString PumpSession::deviceText() const
{
    const QString device = m_reconnector->device();
    const QString canonical = m_line->canonicalDevice();
    if (canonical.isEmpty() || canonical == device)
        return device;
    return tr("%1（%2）").arg(device, canonical);
}

QString PumpSession::withCanonical(const QString &text) const
{
    // The line is closed by now: the path it resolved to is the one kept from its opening.
    if (m_canonical.isEmpty() || m_canonical == m_reconnector->device())
        return text;
    return tr("%1（%2）").arg(text, m_canonical);
}

bool PumpSession::reopensByItself(const QString &namedDevice)
{
    if (namedDevice.isEmpty())
        return false;
    const QFileInfo named(namedDevice);
    return named.isSymLink() ||
           !QDir::cleanPath(named.absoluteFilePath()).startsWith(QLatin1String("/dev/pts/"));
}
