#pragma once

#include "clocks.h"
#include "hwmon.h"
#include "kernelfile.h"
#include "machinefiles.h"

#include <QtGlobal>

#include <functional>
#include <optional>

// When the applet reads a graphics card, decided from the card's runtime
// power management (device/power/), whose files show its state without
// waking it or marking it busy.
namespace vesh::gpupower {

// In the order of files::PowerFiles.
enum class File { RuntimeStatus, Control, RuntimeUsage, AutosuspendDelay };

// Reads one of the device's power files into contents.
using Reader = std::function<kernelfile::Result(File, kernelfile::Buffer *contents)>;

enum class Case {
    // Powered down or going down: not read, its temperatures show 0.
    Asleep,
    // Its power state could not be read: not read either, as a read could
    // wake it.
    Unknown,
    // Our reads keep nothing awake that would sleep: the card does not
    // suspend at run time, or our reads take no reference. Read every cycle.
    EveryCycle,
    // Our reads may be what keeps it awake: read in the windows that every
    // reader on the machine shares, and out of them only for a first
    // reading or one that has grown a period old.
    CouldAutosuspend,
};

enum class Reason {
    Suspended,
    Suspending,
    StatusUnreadable,   // runtime_status is there but did not read
    NoPowerState,       // no runtime_status: the kernel shows no runtime PM
    ReadsDoNotMarkBusy, // a driver whose reads take no runtime-PM reference
    RuntimePmDisabled,  // runtime_status "unsupported"
    RuntimePmError,     // runtime_status "error"
    UnknownStatus,      // a runtime_status of no other kind
    NoControlFile,      // no control file, as in older captures
    ControlOn,     // control "on": runtime PM forbidden
    InUse,              // runtime_usage above 0: someone holds a reference
    NeverAutosuspends,  // a negative autosuspend delay
    Idle,               // control auto (or unreadable), active, no reference held
};

// When a card that could autosuspend is read, on CLOCK_MONOTONIC, the PM
// core's own clock, which every process shares: in a window at each whole
// multiple of the period, so that the reads of any number of applets, each
// on its own timer, fall together and leave the card the same quiet time.
struct Schedule
{
    qint64 periodMs = 0;
    // Long enough for each applet's timer to tick in it at least once.
    qint64 windowMs = 0;
};

struct Decision
{
    Case powerCase;
    Reason reason;
    // CouldAutosuspend: the autosuspend delay, as read or the driver's
    // default where none could be, and the reads' schedule for it.
    int delayMs = 0;
    bool delayIsDefault = false;
    Schedule schedule = {};
};

// The card's case, reading only the files it needs, in order: runtime_status,
// then, for a driver whose reads mark it busy, control, runtime_usage and
// autosuspend_delay_ms (the driver's own delay where that does not read).
Decision decide(const hwmon::Driver &driver, const Reader &read);

// The schedule for an autosuspend delay, on the applet's refresh cycle.
Schedule schedule(int delayMs);

// Whether the card is read on this cycle, and why.
enum class Turn {
    NotRead,         // asleep, or its state unknown: its readings show 0
    EveryCycle,      // as its case says
    First,           // not read since it last slept, or ever
    Stale,           // the readings shown are a period old, counting system suspend
    Window,          // this applet's first cycle in a window
    ReadThisWindow,  // read already in this window
    BetweenWindows,  // the card's quiet time
};

// The turn of a cycle at now, for an applet that last read the card on the
// cycle at lastRead (none: not since it last slept, or never).
Turn turn(const Decision &decision, const Instant &now, const std::optional<Instant> &lastRead);

bool reads(Turn turn);

// How often the card is read: every cycle, once a period, or 0 when it is
// not read.
qint64 readPeriodMs(const Decision &decision);

// The device's power files on machine; device is a hwmon device's own
// folder (/sys/devices/.../hwmon/hwmonN), so that they are never another
// device's. Both must outlive the reader.
Reader reader(const MachineFiles &machine, const QString &device);

// The file's path below a hwmon folder (device/power/...).
QStringView path(File file);

} // namespace vesh::gpupower
