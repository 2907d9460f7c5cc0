#include "timedrun/runclock.h"

#include <QElapsedTimer>

#include <time.h>

namespace {

constexpr qint64 kSecondMs = 1000;

} // namespace

RunClock::RunClock(Source source) : m_source(std::move(source)) {}

void RunClock::restart()
{
    m_countedUpToMs = m_source();
}

qint64 RunClock::takeSeconds()
{
    const qint64 elapsed = m_source() - m_countedUpToMs;
    const qint64 seconds = qMax<qint64>(1, elapsed / kSecondMs);
    m_countedUpToMs += seconds * kSecondMs;
    return seconds;
}

qint64 RunClock::bootTimeMs()
{
#ifdef CLOCK_BOOTTIME
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) == 0)
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
#endif
    static QElapsedTimer steady;
    if (!steady.isValid())
        steady.start();
    return steady.elapsed();
}
