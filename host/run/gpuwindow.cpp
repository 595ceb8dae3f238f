#include "gpuwindow.h"

#include "clocks.h"
#include "cycle.h"
#include "discovery.h"
#include "machinefiles.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace vesh {

void waitForGpuWindow(const MachineFiles &machine, bool (*stopped)())
{
    const cycle::Sensors sensors = cycle::sensorsOf(discovery::find(machine));
    const Instant now = vesh::now();
    const cycle::GpuWait wait = cycle::gpuWait(machine, sensors, cycle::start(machine, sensors), now);
    if (wait.waitMs == 0)
        return;
    std::fprintf(stderr,
                 "vesh-host: waiting %.1f s at most for the graphics card's next read window, so that it can "
                 "sleep (--now reads it at once)\n",
                 double(wait.waitMs) / 1000.0);
    // On the clock the windows are counted on, to the millisecond after the
    // window opens: the clocks were read in whole milliseconds, rounded down.
    const qint64 untilMs = now.monotonicMs + wait.waitMs + 1;
    const timespec until{time_t(untilMs / 1000), long(untilMs % 1000) * 1000000L};
    // A signal handler's return ends the sleep early (EINTR).
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR && !(stopped && stopped())) {
    }
}

} // namespace vesh
