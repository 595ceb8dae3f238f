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

// This machine's clocks now.
Instant now();

} // namespace vesh
