#include "history/timeaxis.h"

#include <QDateTime>

namespace TimeAxis {

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kSteps[] = {kSecond,      2 * kSecond,  5 * kSecond, 10 * kSecond, 15 * kSecond,
                             30 * kSecond, kMinute,      2 * kMinute, 5 * kMinute,  10 * kMinute,
                             15 * kMinute, 30 * kMinute, kHour,       2 * kHour,    3 * kHour,
                             6 * kHour,    12 * kHour,   kDay,        7 * kDay};

} // namespace

QList<Tick> ticks(qint64 fromMs, qint64 toMs, int pixels, int minSpacingPx)
{
    QList<Tick> result;
    if (toMs <= fromMs || pixels <= 0)
        return result;
    const double msPerPixel = double(toMs - fromMs) / pixels;
    qint64 step = kSteps[std::size(kSteps) - 1];
    for (qint64 candidate : kSteps) {
        if (double(candidate) / msPerPixel >= minSpacingPx) {
            step = candidate;
            break;
        }
    }
    // Round in local time, so that hours fall on the hour of the clock on the wall.
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(fromMs).offsetFromUtc()) * kSecond;
    const qint64 local = fromMs + offset;
    qint64 tick = (local / step + (local % step > 0 ? 1 : 0)) * step - offset;
    const QString format = step >= kDay      ? QStringLiteral("MM-dd")
                           : step >= kMinute ? QStringLiteral("HH:mm")
                                             : QStringLiteral("HH:mm:ss");
    for (; tick <= toMs; tick += step)
        result.append({tick, QDateTime::fromMSecsSinceEpoch(tick).toString(format)});
    return result;
}

} // namespace TimeAxis
