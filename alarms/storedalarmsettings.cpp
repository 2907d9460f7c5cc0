#include "alarms/storedalarmsettings.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

std::optional<double> number(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toDouble();
    case QMetaType::QString: {
        bool ok = false;
        const double read = value.toString().toDouble(&ok);
        return ok ? std::optional(read) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<bool> flag(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = value.toString();
    if (text == QLatin1String("true") || text == QLatin1String("false"))
        return text == QLatin1String("true");
    return std::nullopt;
}

// A limit with more decimals than the dialog's field takes would be rounded there, and the
// alarm would watch another limit than the one written: refused instead. Trailing zeros are no
// decimals; a number read as a number is within a billionth of a hundredth or it is refused.
bool fitsField(const QVariant &value, double read)
{
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        const qsizetype point = text.indexOf(u'.');
        if (point >= 0 && !text.contains(u'e', Qt::CaseInsensitive)) {
            qsizetype end = text.size();
            while (end > point + 1 && text[end - 1] == u'0')
                --end;
            return end - point - 1 <= AlarmSettings::kLimitDecimals;
        }
    }
    const double scaled = read * std::pow(10.0, AlarmSettings::kLimitDecimals);
    return std::abs(scaled - std::round(scaled)) < 1e-9 * std::max(1.0, std::abs(scaled));
}

std::optional<double> limit(const QVariant &value)
{
    const std::optional<double> read = number(value);
    if (read && *read >= AlarmSettings::kLowestLimit && *read <= AlarmSettings::kHighestLimit &&
        fitsField(value, *read))
        return read;
    return std::nullopt;
}

std::optional<int> seconds(const QVariant &value)
{
    const std::optional<double> read = number(value);
    if (read && std::floor(*read) == *read && *read >= AlarmSettings::kShortestSeconds &&
        *read <= AlarmSettings::kLongestSeconds)
        return int(*read);
    return std::nullopt;
}

QString alarmKey(const char *name, const char *field)
{
    return QStringLiteral("alarms/%1/%2").arg(QLatin1String(name), QLatin1String(field));
}

QString notice(const QString &key, const QVariant &value, const QString &alarm)
{
    if (!value.isValid())
        return QStringLiteral("设置 %1 没有值，%2未启用").arg(key, alarm);
    // An unquoted value with a comma comes back from the file as a list.
    const QString shown = value.typeId() == QMetaType::QStringList
                              ? value.toStringList().join(QStringLiteral(", "))
                              : value.toString();
    return QStringLiteral("设置 %1 的值“%2”无效，%3未启用").arg(key, shown, alarm);
}

// One alarm: on, stop and its amount; none with *bad naming the key whose value cannot be used.
template <typename Setting, typename Amount>
std::optional<Setting> readAlarm(const StoredAlarmSettings::Lookup &stored, const char *name,
                                 const char *field, Amount Setting::*amount,
                                 std::optional<Amount> (*readAmount)(const QVariant &),
                                 QString *bad)
{
    Setting setting;
    const QVariant on = stored(alarmKey(name, "on"));
    if (!on.isValid())
        return setting;
    const std::optional<bool> isOn = flag(on);
    if (!isOn) {
        *bad = alarmKey(name, "on");
        return std::nullopt;
    }
    // An alarm that is off stops nothing, but the dialog shows whether it would.
    const QVariant stop = stored(alarmKey(name, "stop"));
    const std::optional<bool> stops = *isOn || stop.isValid() ? flag(stop) : false;
    if (!stops) {
        *bad = alarmKey(name, "stop");
        return std::nullopt;
    }
    setting.on = *isOn;
    setting.stop = *stops;
    // The dialog keeps whatever amount an alarm left off holds, in range or not.
    if (!setting.on)
        return setting;
    *bad = alarmKey(name, field);
    const std::optional<Amount> value = readAmount(stored(*bad));
    if (!value)
        return std::nullopt;
    setting.*amount = *value;
    return setting;
}

} // namespace

AlarmSettings StoredAlarmSettings::read(const Lookup &stored, QStringList *notices)
{
    AlarmSettings settings;
    const auto take = [&](auto *setting, const char *name, const char *field, auto amount,
                          auto readAmount, const QString &alarm) {
        QString bad;
        const auto read = readAlarm(stored, name, field, amount, readAmount, &bad);
        if (read)
            *setting = *read;
        else
            notices->append(notice(bad, stored(bad), alarm));
    };
    take(&settings.high, "high", "limit", &AlarmSettings::Pressure::limit, &limit,
         QStringLiteral("高压报警"));
    take(&settings.low, "low", "limit", &AlarmSettings::Pressure::limit, &limit,
         QStringLiteral("低压报警"));
    take(&settings.silence, "silence", "seconds", &AlarmSettings::Duration::seconds, &seconds,
         QStringLiteral("无读数报警"));
    take(&settings.link, "link", "seconds", &AlarmSettings::Duration::seconds, &seconds,
         QStringLiteral("线路中断报警"));
    // Either limit may be the wrong one: neither alarm is kept.
    if (settings.high.on && settings.low.on && !(settings.high.limit > settings.low.limit)) {
        notices->append(QStringLiteral("设置 alarms/high/limit 的值“%1”不高于 alarms/low/limit "
                                       "的值“%2”，高压报警和低压报警未启用")
                            .arg(settings.high.limit)
                            .arg(settings.low.limit));
        settings.high = settings.low = {};
    }
    return settings;
}

void StoredAlarmSettings::write(const AlarmSettings &settings, const Store &store)
{
    for (auto [name, setting] : {std::pair{"high", &settings.high}, {"low", &settings.low}}) {
        store(alarmKey(name, "on"), setting->on);
        store(alarmKey(name, "stop"), setting->stop);
        store(alarmKey(name, "limit"), setting->limit);
    }
    for (auto [name, setting] :
         {std::pair{"silence", &settings.silence}, {"link", &settings.link}}) {
        store(alarmKey(name, "on"), setting->on);
        store(alarmKey(name, "stop"), setting->stop);
        store(alarmKey(name, "seconds"), setting->seconds);
    }
}
