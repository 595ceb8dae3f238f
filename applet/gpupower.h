#pragma once

#include "clocks.h"
#include "files.h"
#include "hwmon.h"
#include "kernelfile.h"
#include "machinefiles.h"

#include <QtGlobal>

#include <functional>
#include <iterator>
#include <optional>
#include <string_view>

// When the applet reads a graphics card, decided from the card's runtime
// power management (device/power/), whose files show its state without
// waking it or marking it busy.
namespace vesh::gpupower {

// The place of a file in files::PowerFiles; a file not in it does not build.
consteval int powerFileIndex(QStringView file)
{
    const std::u16string_view wanted(file.utf16(), std::size_t(file.size()));
    for (std::size_t i = 0; i < std::size(files::PowerFiles); ++i) {
        if (std::u16string_view(files::PowerFiles[i].utf16(), std::size_t(files::PowerFiles[i].size())) == wanted)
            return int(i);
    }
    throw "not one of files::PowerFiles";
}

// Each file by its place in files::PowerFiles, so path() names it.
enum class File {
    RuntimeStatus = powerFileIndex(files::RuntimeStatus),
    Control = powerFileIndex(files::PowerControl),
    RuntimeUsage = powerFileIndex(files::RuntimeUsage),
    AutosuspendDelay = powerFileIndex(files::AutosuspendDelay),
};

// Reads one of the device's power files into contents.
using Reader = std::function<kernelfile::Result(File, kernelfile::Buffer *contents)>;

enum class Case {
    // Powered down, going down or coming up: not read, its temperatures
    // show 0. A read while it resumes would wait for the resume, or fail.
    Asleep,
    // Its power state could not be read: not read either, as a read could
    // wake it.
    Unknown,
    // Our reads keep nothing awake that would sleep: the card does not
    // suspend at run time, or our reads take no reference. Read every cycle.
    EveryCycle,
    // Our reads may be what keeps it awake: read in the windows that every
    // reader on the machine shares, and out of them only at a reader's start
    // and after a system suspend.
    CouldAutosuspend,
};

enum class Reason {
    Suspended,
    Suspending,
    Resuming,
    StatusUnreadable,   // runtime_status is there but did not read
    NoPowerState,       // no runtime_status: the kernel shows no runtime PM
    ReadsDoNotMarkBusy, // a driver whose reads take no runtime-PM reference
    RuntimePmDisabled,  // runtime_status "unsupported"
    RuntimePmError,     // runtime_status "error"
    UnknownStatus,      // a runtime_status of no other kind
    NoControlFile,      // no control file, as in older captures
    ControlOn,          // control "on": runtime PM forbidden
    InUse,              // runtime_usage above 0: someone holds a reference
    NeverAutosuspends,  // a negative autosuspend delay
    Idle,               // control auto (or unreadable), active, no reference held
};

// When a card that could autosuspend is read: in a window at each whole
// multiple of the period on the PM core's own clock, CLOCK_MONOTONIC of the
// root time namespace, so that the reads of any number of readers, each on
// its own timer and in any process or container, fall together and leave
// the card the same quiet time.
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
    // CouldAutosuspend, and Resuming for a driver whose reads mark the card
    // busy: the autosuspend delay, as read or the driver's default where
    // none could be, and the reads' schedule for it.
    int delayMs = 0;
    bool delayIsDefault = false;
    Schedule schedule = {};
};

// The card's case, reading only the files it needs, in order: runtime_status,
// then, for a driver whose reads mark it busy, control, runtime_usage and
// autosuspend_delay_ms (the driver's own delay where that does not read).
// driver is null for a device of a driver the applet does not read, whose
// reads are taken to keep nothing awake.
Decision decide(const hwmon::Driver *driver, const Reader &read);

// The schedule for an autosuspend delay, on the applet's refresh cycle.
Schedule schedule(int delayMs);

// Where the windows are, on the root time namespace's monotonic clock: the
// start of the window at or before a moment, and whether a moment is in it.
qint64 windowStart(Schedule schedule, qint64 hostMonotonicMs);
bool inWindow(Schedule schedule, qint64 hostMonotonicMs);

// How long a reader that would read at hostMonotonicMs waits for a window:
// 0 where the window it is in leaves time for the reads, else until the
// next one opens. At most a period.
qint64 untilWindowMs(Schedule schedule, qint64 hostMonotonicMs);

// Whether the system was suspended between two cycles: CLOCK_BOOTTIME
// counts the time asleep, CLOCK_MONOTONIC does not.
bool systemSleptBetween(const Instant &before, const Instant &after);

// What a reader knows of its own reads of the card, on the root time
// namespace's monotonic clock.
struct Past
{
    // The reader's first cycle: an applet's at init, which the shell shows
    // at once. The runner waits for a window before it.
    bool atStart = false;
    // The cycle that took the readings shown, where some are.
    std::optional<Instant> readAt = std::nullopt;
    // The last cycle that read the card, whether or not its reads failed.
    std::optional<Instant> triedAt = std::nullopt;
};

// Whether the card is read on this cycle, and why.
enum class Turn {
    NotRead,           // asleep, waking up, or its state unknown: its readings show 0
    EveryCycle,        // as its case says
    AtStart,           // the reader's first cycle
    Window,            // the first cycle in a window that reads it
    ReadThisWindow,    // read already in this window
    BetweenWindows,    // the card's quiet time
    AfterSystemSleep,  // between windows, but the readings shown are from before a system suspend
};

Turn turn(const Decision &decision, const Instant &now, const Past &past);

bool reads(Turn turn);

// Whether readings taken at readAt may still be shown at now, on a card
// that could autosuspend: not once they are two periods old, counting
// system suspend, nor when they are from before a system suspend.
bool showable(const Decision &decision, const Instant &readAt, const Instant &now);

// How often the card is read: every cycle, once a period, or 0 when it is
// not read.
qint64 readPeriodMs(const Decision &decision);

// The device's power files on machine; device is a hwmon device's own
// folder (/sys/devices/.../hwmon/hwmonN), so that they are never another
// device's. Both must outlive the reader.
Reader reader(const MachineFiles &machine, const QString &device);

// How far this process's CLOCK_MONOTONIC is ahead of the root time
// namespace's, from the contents of /proc/self/timens_offsets: the
// "monotonic" line (by its clock number, 1, on early kernels), seconds and
// nanoseconds. 0 where there is none.
qint64 monotonicOffsetMs(QByteArrayView timensOffsets);

// The same, read from the machine's files; 0 where the file is absent or
// does not read, as outside any time namespace.
qint64 monotonicOffsetMs(const MachineFiles &machine);

// The file's path below a hwmon folder (device/power/...).
QStringView path(File file);

} // namespace vesh::gpupower
