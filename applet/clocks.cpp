#include "clocks.h"

#include <QDateTime>

#include <ctime>

namespace vesh {

namespace {
qint64 milliseconds(clockid_t clock)
{
    timespec time{};
    clock_gettime(clock, &time);
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
}
} // namespace

Instant now()
{
    return {milliseconds(CLOCK_MONOTONIC), milliseconds(CLOCK_BOOTTIME), QDateTime::currentMSecsSinceEpoch()};
}

Instant onRootClock(Instant now, qint64 monotonicOffsetMs)
{
    now.monotonicMs -= monotonicOffsetMs;
    return now;
}

} // namespace vesh
