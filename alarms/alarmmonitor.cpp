#include "alarms/alarmmonitor.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <utility>

namespace {

constexpr int kAllKinds[] = {0, 1, 2, 3};

QString secondsText(int seconds)
{
    return QCoreApplication::translate("AlarmMonitor", "%1 秒").arg(seconds);
}

} // namespace

AlarmMonitor::AlarmMonitor(Clock clock, QObject *parent)
    : QObject(parent), m_clock(std::move(clock))
{
    if (!m_clock.monotonicMs) {
        m_clock.monotonicMs = [] {
            static QElapsedTimer started = [] {
                QElapsedTimer timer;
                timer.start();
                return timer;
            }();
            return started.elapsed();
        };
    }
    if (!m_clock.wall)
        m_clock.wall = [] { return QDateTime::currentDateTime(); };
}

QString AlarmMonitor::name(Kind kind)
{
    switch (kind) {
    case Kind::High:
        return QCoreApplication::translate("AlarmMonitor", "压力过高");
    case Kind::Low:
        return QCoreApplication::translate("AlarmMonitor", "压力过低");
    case Kind::Silence:
        return QCoreApplication::translate("AlarmMonitor", "泵无读数");
    case Kind::Link:
        return QCoreApplication::translate("AlarmMonitor", "线路中断");
    }
    return {};
}

QString AlarmMonitor::id(Kind kind)
{
    constexpr const char *ids[] = {"high", "low", "silence", "link"};
    return QString::fromLatin1(ids[int(kind)]);
}

QString AlarmMonitor::valueText(Kind kind, const QString &value)
{
    return isPressure(kind) ? value + QStringLiteral(" MPa") : value;
}

qint64 AlarmMonitor::now() const
{
    return m_clock.monotonicMs();
}

void AlarmMonitor::setSettings(const AlarmSettings &settings)
{
    const AlarmSettings before = std::exchange(m_settings, settings);
    const bool on[] = {settings.high.on, settings.low.on, settings.silence.on, settings.link.on};
    for (int kind : kAllKinds) {
        // A condition that lasts is not raised again by the same alarm set anew; an alarm
        // turned off forgets it.
        Watch &w = m_watches[kind];
        w = on[kind] && w.active ? Watch{true, 0, {}, w.raisedBy} : Watch{};
    }
    if (m_portOpen)
        restartSilence();
    // A line lost before the settings changed counts from when it was lost.
    if (m_lostAtMs && settings.link.on && !watch(Kind::Link).active)
        watch(Kind::Link).deadlineMs = *m_lostAtMs + qint64(settings.link.seconds) * 1000;
    if (!(before == settings))
        Q_EMIT settingsChanged(before, settings);
}

void AlarmMonitor::readingArrived(const QString &text, std::optional<double> value)
{
    // Any reply is a reading for the no-reading alarm, a number or not.
    if (watch(Kind::Silence).active)
        clear(Kind::Silence, text);
    restartSilence();
    if (!value)
        return;
    if (m_settings.high.on)
        pressureReading(Kind::High, m_settings.high, *value, text);
    if (m_settings.low.on && m_pumpRunning)
        pressureReading(Kind::Low, m_settings.low, *value, text);
}

void AlarmMonitor::pressureReading(Kind kind, const AlarmSettings::Pressure &setting, double value,
                                   const QString &text)
{
    Watch &w = watch(kind);
    const bool high = kind == Kind::High;
    const bool beyond = high ? value > setting.limit : value < setting.limit;
    const bool back = high ? value < setting.limit - AlarmSettings::kHysteresis
                           : value > setting.limit + AlarmSettings::kHysteresis;
    if (!beyond) {
        w.row = 0;
        if (back && w.active)
            clear(kind, text);
        return;
    }
    if (++w.row >= kReadingsToRaise && !w.active)
        raise(kind, text, setting.stop);
}

void AlarmMonitor::pumpCommanded(bool running)
{
    m_pumpRunning = running;
    if (running)
        return;
    // A stopped pump is meant to lose its pressure.
    watch(Kind::Low).row = 0;
    if (watch(Kind::Low).active)
        clear(Kind::Low, QCoreApplication::translate("AlarmMonitor", "已发出停泵命令"), false);
}

void AlarmMonitor::portOpened()
{
    m_portOpen = true;
    m_lostAtMs.reset();
    watch(Kind::Link).deadlineMs.reset();
    if (watch(Kind::Link).active)
        clear(Kind::Link, QCoreApplication::translate("AlarmMonitor", "端口已重新打开"), false);
    restartSilence();
}

void AlarmMonitor::portClosed()
{
    m_portOpen = false;
    m_lostAtMs.reset();
    watch(Kind::Silence).deadlineMs.reset();
    watch(Kind::Link).deadlineMs.reset();
}

void AlarmMonitor::linkLost()
{
    m_portOpen = false;
    m_lostAtMs = now();
    watch(Kind::Silence).deadlineMs.reset();
    if (m_settings.link.on && !watch(Kind::Link).active)
        watch(Kind::Link).deadlineMs = now() + qint64(m_settings.link.seconds) * 1000;
}

void AlarmMonitor::restartSilence()
{
    Watch &w = watch(Kind::Silence);
    w.deadlineMs.reset();
    if (m_settings.silence.on && m_portOpen)
        w.deadlineMs = now() + qint64(m_settings.silence.seconds) * 1000;
}

void AlarmMonitor::check()
{
    const qint64 at = now();
    for (Kind kind : {Kind::Silence, Kind::Link}) {
        Watch &w = watch(kind);
        if (!w.deadlineMs || at < *w.deadlineMs)
            continue;
        w.deadlineMs.reset();
        const AlarmSettings::Duration &setting =
            kind == Kind::Silence ? m_settings.silence : m_settings.link;
        raise(kind, secondsText(setting.seconds), setting.stop);
    }
}

std::optional<qint64> AlarmMonitor::msUntilCheck() const
{
    std::optional<qint64> soonest;
    for (Kind kind : {Kind::Silence, Kind::Link}) {
        if (const auto deadline = watch(kind).deadlineMs)
            soonest = std::min(soonest.value_or(*deadline), *deadline);
    }
    if (!soonest)
        return {};
    return std::max<qint64>(0, *soonest - now());
}

void AlarmMonitor::raise(Kind kind, const QString &value, bool stops)
{
    watch(kind).active = true;
    watch(kind).raisedBy = value;
    // Raised again before it was acknowledged: the banner keeps one line for it, the latest.
    m_latched.removeIf([kind](const Alarm &alarm) { return alarm.kind == kind; });
    const Alarm alarm{kind, m_clock.wall(), value, stops};
    m_latched.append(alarm);
    Q_EMIT raised(alarm);
    if (stops)
        Q_EMIT stopWanted(alarm);
}

void AlarmMonitor::clear(Kind kind, const QString &clearedBy, bool byReading)
{
    Watch &w = watch(kind);
    w.active = false;
    w.row = 0;
    Q_EMIT cleared({kind, std::exchange(w.raisedBy, {}), clearedBy, byReading});
}

void AlarmMonitor::acknowledgeAll()
{
    if (m_latched.isEmpty())
        return;
    const QList<Alarm> alarms = std::exchange(m_latched, {});
    Q_EMIT acknowledged(alarms);
}
