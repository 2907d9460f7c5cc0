#include "alarms/alarmsettings.h"

#include <QCoreApplication>

#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("AlarmSettings", text);
}

bool limitInRange(double limit)
{
    return std::isfinite(limit) && limit >= AlarmSettings::kLowestLimit &&
           limit <= AlarmSettings::kHighestLimit;
}

bool secondsInRange(int seconds)
{
    return seconds >= AlarmSettings::kShortestSeconds && seconds <= AlarmSettings::kLongestSeconds;
}

} // namespace

QString AlarmSettings::problem() const
{
    if (high.on && !limitInRange(high.limit))
        return tr("高压报警值须在 0.0 到 2.0 MPa 之间");
    if (low.on && !limitInRange(low.limit))
        return tr("低压报警值须在 0.0 到 2.0 MPa 之间");
    if (high.on && low.on && !(high.limit > low.limit))
        return tr("高压报警值须高于低压报警值");
    if (silence.on && !secondsInRange(silence.seconds))
        return tr("无读数报警时间须在 3 秒到 24 小时（86400 秒）之间");
    if (link.on && !secondsInRange(link.seconds))
        return tr("线路报警时间须在 3 秒到 24 小时（86400 秒）之间");
    return {};
}
