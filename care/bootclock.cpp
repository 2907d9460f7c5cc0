#include "care/bootclock.h"

#include <QElapsedTimer>

#include <ctime>

qint64 BootTime::nowMs()
{
#ifdef CLOCK_BOOTTIME
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) == 0)
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
#endif
    static QElapsedTimer since;
    if (!since.isValid())
        since.start();
    return since.elapsed();
}
