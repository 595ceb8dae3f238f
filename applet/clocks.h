#pragma once

#include <QtGlobal>

#include <functional>

namespace vesh {

// The clocks a refresh cycle reads, in milliseconds, taken together once at
// its start.
struct Instant
{
    // CLOCK_MONOTONIC: the runtime PM core's clock, the same in every
    // process; it stands still while the system is suspended.
    qint64 monotonicMs = 0;
    // CLOCK_BOOTTIME: the same, but counting system suspend, for how old a
    // reading is.
    qint64 boottimeMs = 0;
    // Since the Unix epoch: the network sample times.
    qint64 epochMs = 0;
};

using Clock = std::function<Instant()>;

// This machine's clocks now, as this process sees them.
Instant now();

// now with its monotonic clock on the root time namespace's, for a process
// whose own is monotonicOffsetMs ahead of it.
Instant onRootClock(Instant now, qint64 monotonicOffsetMs);

} // namespace vesh
