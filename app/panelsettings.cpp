#include "app/panelsettings.h"

#include "alarms/storedalarmsettings.h"

#include <QDir>

namespace {

constexpr char kLastDevice[] = "link/lastDevice";
constexpr char kLastProgram[] = "program/last";

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

QString PanelSettings::lastProgram() const
{
    return m_store.value(QLatin1String(kLastProgram)).toString();
}

void PanelSettings::setLastProgram(const QString &path)
{
    if (lastProgram() == path)
        return;
    m_store.setValue(QLatin1String(kLastProgram), path);
    m_store.sync();
}

AlarmSettings PanelSettings::alarmSettings(QString *problem) const
{
    QStringList notices;
    const AlarmSettings settings = StoredAlarmSettings::read(
        [this](const QString &key) { return m_store.value(key); }, &notices);
    if (problem && !notices.isEmpty())
        *problem = QStringLiteral("报警设定（%1）：%2")
                       .arg(QDir::toNativeSeparators(m_store.fileName()),
                            notices.join(QStringLiteral("；")));
    return settings;
}

void PanelSettings::setAlarmSettings(const AlarmSettings &settings)
{
    StoredAlarmSettings::write(settings, [this](const QString &key, const QVariant &value) {
        m_store.setValue(key, value);
    });
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
