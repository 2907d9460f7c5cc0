#include "app/panelremotepump.h"

#include "alarms/alarmmonitor.h"
#include "entry/setpointframe.h"
#include "link/linkprotocol.h"
#include "session/pumpsession.h"
#include "timedrun/timedruncontrol.h"

#include <QScopedValueRollback>

bool PanelRemotePump::isRemote(const QString &source)
{
    return source.startsWith(QStringLiteral("远程 "));
}

RemotePump::Outcome PanelRemotePump::setpoint(bool flow, int address, double value,
                                              const QString &source)
{
    // The address goes into this frame only: the keypad's pump number is the operator's.
    const QString frame =
        SetpointFrame::make(flow ? SetpointFrame::Kind::Flow : SetpointFrame::Kind::Pressure,
                            QStringLiteral("%1").arg(address, 2, 10, QLatin1Char('0')), value);
    if (frame.isEmpty())
        return sent(QStringLiteral("设定值超出范围"));
    return sent(m_session->send(frame, source));
}

RemotePump::Outcome PanelRemotePump::setFlow(int address, int flowMlPerMin, const QString &source)
{
    return setpoint(true, address, flowMlPerMin, source);
}

RemotePump::Outcome PanelRemotePump::setLimit(int address, double limitMPa, const QString &source)
{
    return setpoint(false, address, limitMPa, source);
}

RemotePump::Outcome PanelRemotePump::run(const QString &source)
{
    return sent(m_session->send(QString::fromLatin1(LinkProtocol::kRunFrame), source));
}

RemotePump::Outcome PanelRemotePump::stop(const QString &source)
{
    // While the link is lost the stop joins the one the panel owes; a port never opened has
    // no pump to owe it to.
    if (m_session->link() == PumpSession::Link::Closed)
        return sent(m_session->send(QString::fromLatin1(LinkProtocol::kStopFrame), source));
    if (m_session->sendStop(source, PendingStop::Cause::Remote, source))
        return {};
    return {QString(), m_session->pendingStop().isPending()};
}

RemotePump::Outcome PanelRemotePump::setRunTime(const QString &minutes, const QString &)
{
    return sent(m_timedRun->setTime(minutes) ? QString() : QStringLiteral("不是可用的设定时间"));
}

RemotePump::Outcome PanelRemotePump::startTimedRun(const QString &source)
{
    QScopedValueRollback acting(m_acting, true);
    return sent(m_timedRun->start(source));
}

RemotePump::Outcome PanelRemotePump::pauseTimedRun(const QString &source)
{
    return heldAsRemote([&] { return m_timedRun->pause(source); });
}

RemotePump::Outcome PanelRemotePump::continueTimedRun(const QString &source)
{
    QScopedValueRollback acting(m_acting, true);
    return sent(m_timedRun->resume(source));
}

RemotePump::Outcome PanelRemotePump::endTimedRun(const QString &source)
{
    return heldAsRemote([&] { return m_timedRun->end(source); });
}

RemotePump::Outcome PanelRemotePump::heldAsRemote(const std::function<QString()> &command)
{
    // The stop such a command sends, held in an outage, is the client's and not the operator's.
    m_session->setHeldStopCause(PendingStop::Cause::Remote);
    const QString failure = command();
    m_session->setHeldStopCause(PendingStop::Cause::Operator);
    if (failure == PumpSession::heldStopText())
        return {QString(), true};
    return sent(failure);
}

RemotePump::Outcome PanelRemotePump::acknowledgeAlarms(const QString &)
{
    m_alarms->acknowledgeAll();
    return {};
}
