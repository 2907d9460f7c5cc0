#include "app/panelsettings.h"

#include <QDir>

namespace {

constexpr char kLastDevice[] = "link/lastDevice";

} // namespace

PanelSettings::PanelSettings()
    : m_store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("corvane"),
              QStringLiteral("corvane-panel"))
{
}

QString PanelSettings::lastDevice() const
{
    return m_store.value(QLatin1String(kLastDevice)).toString();
}

void PanelSettings::setLastDevice(const QString &device)
{
    if (lastDevice() == device)
        return;
    m_store.setValue(QLatin1String(kLastDevice), device);
    m_store.sync();
}

namespace {

// Each alarm lives under alarms/<name>/: on, stop, and its limit (MPa) or seconds.
QString alarmKey(const char *name, const char *field)
{
    return QStringLiteral("alarms/%1/%2").arg(QLatin1String(name), QLatin1String(field));
}

} // namespace

AlarmSettings PanelSettings::alarmSettings(QString *problem) const
{
    AlarmSettings settings;
    bool readable = true;
    // An alarm that is on must have an amount that reads as a number.
    const auto amount = [&](const char *name, const char *field, bool on) {
        bool ok = true;
        const double value = on ? m_store.value(alarmKey(name, field)).toDouble(&ok) : 0;
        readable = readable && ok;
        return value;
    };
    for (auto [name, setting] : {std::pair{"high", &settings.high}, {"low", &settings.low}}) {
        setting->on = m_store.value(alarmKey(name, "on"), false).toBool();
        setting->stop = m_store.value(alarmKey(name, "stop"), false).toBool();
        setting->limit = amount(name, "limit", setting->on);
    }
    for (auto [name, setting] :
         {std::pair{"silence", &settings.silence}, {"link", &settings.link}}) {
        setting->on = m_store.value(alarmKey(name, "on"), false).toBool();
        setting->stop = m_store.value(alarmKey(name, "stop"), false).toBool();
        setting->seconds = int(amount(name, "seconds", setting->on));
    }
    const QString why = readable ? settings.problem() : QStringLiteral("数值无法读取");
    if (why.isEmpty())
        return settings;
    if (problem)
        *problem = QStringLiteral("报警设定（%1）不能使用：%2；所有报警已关闭")
                       .arg(QDir::toNativeSeparators(m_store.fileName()), why);
    return {};
}

void PanelSettings::setAlarmSettings(const AlarmSettings &settings)
{
    for (auto [name, setting] : {std::pair{"high", &settings.high}, {"low", &settings.low}}) {
        m_store.setValue(alarmKey(name, "on"), setting->on);
        m_store.setValue(alarmKey(name, "stop"), setting->stop);
        m_store.setValue(alarmKey(name, "limit"), setting->limit);
    }
    for (auto [name, setting] :
         {std::pair{"silence", &settings.silence}, {"link", &settings.link}}) {
        m_store.setValue(alarmKey(name, "on"), setting->on);
        m_store.setValue(alarmKey(name, "stop"), setting->stop);
        m_store.setValue(alarmKey(name, "seconds"), setting->seconds);
    }
    m_store.sync();
}

QString PanelSettings::problem() const
{
    switch (m_store.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("设置文件 %1 无法读写，使用默认设置")
            .arg(QDir::toNativeSeparators(m_store.fileName()));
    case QSettings::FormatError:
        return QStringLiteral("设置文件 %1 已损坏，使用默认设置")
            .arg(QDir::toNativeSeparators(m_store.fileName()));
    }
    return {};
}
