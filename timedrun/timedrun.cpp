#include "timedrun/timedrun.h"

#include <cmath>

namespace {

constexpr qint64 kSecondsPerMinute = 60;
constexpr qint64 kSecondsPerHour = 3600;
// 2^63: the first number of seconds the 64-bit count cannot reach, so no set time may need it.
constexpr double kCountLimitSeconds = 9223372036854775808.0;

} // namespace

bool TimedRun::setTime(const QString &answer, const QLocale &locale)
{
    QLocale strict = locale;
    strict.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double minutes = strict.toDouble(answer.trimmed(), &ok);
    if (!ok)
        return false;
    // The locale accepts "inf" and "nan"; they fail here, as does a set time whose seconds
    // overflow a double in either direction or reach past what the count can hold.
    const double seconds = minutes * kSecondsPerMinute;
    if (!std::isfinite(seconds) || !(seconds < kCountLimitSeconds))
        return false;
    m_timeset = minutes;
    return true;
}

TimedRun::Tick TimedRun::tick(qint64 seconds)
{
    m_tset += qMax<qint64>(1, seconds);
    Tick result{clockFor(m_tset), false};
    if (double(m_tset) >= m_timeset * kSecondsPerMinute) {
        result.ended = true;
        m_tset = 0;
    }
    return result;
}

TimedRun::Clock TimedRun::clockFor(qint64 seconds)
{
    return {QString::number(seconds / kSecondsPerHour),
            QString::number(seconds % kSecondsPerHour / kSecondsPerMinute),
            QString::number(seconds % kSecondsPerMinute)};
}
