#pragma once

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
    // Our reads keep nothing awake that would sleep: read every cycle.
    StaysAwake,
    // Our reads may be what keeps it awake: read once per quiet window.
    CouldAutosuspend,
};

enum class Reason {
    Suspended,
    Suspending,
    NoPowerState,       // no runtime_status: the kernel shows no runtime PM
    ReadsDoNotMarkBusy, // a driver whose reads take no runtime-PM reference
    RuntimePmDisabled,  // runtime_status "unsupported"
    RuntimePmError,     // runtime_status "error"
    UnknownStatus,      // a runtime_status of no other kind
    ControlUnreadable,  // no control file, as in older captures
    ControlNotAuto,     // control "on": runtime PM forbidden
    InUse,              // runtime_usage above 0: someone holds a reference
    NeverAutosuspends,  // a negative autosuspend delay
    Idle,               // control auto, active, no reference held
};

struct Decision
{
    Case powerCase;
    Reason why;
    // CouldAutosuspend: the autosuspend delay as read (or the driver's
    // default), and how long the card must then go unread to suspend.
    int delayMs = 0;
    qint64 quietMs = 0;
};

// amdgpu's autosuspend delay, set at probe.
inline constexpr int DefaultDelayMs = 5000;

// The card's case, reading only the files it needs, in order: runtime_status,
// then, for a driver whose reads mark it busy, control, runtime_usage and
// autosuspend_delay_ms.
Decision decide(bool readsMarkBusy, const Reader &read);

// Whether to read the card's temperatures now, msSinceLastRead after the
// previous read (none: not read since it last slept, or never).
bool readNow(const Decision &decision, std::optional<qint64> msSinceLastRead);

// How often the card is read on a refresh cycle of refreshMs: every cycle,
// or the whole cycles that a quiet window spans; 0 when it is not read.
qint64 readPeriodMs(const Decision &decision, int refreshMs);

// The device's power files on machine; device is a hwmon folder of the
// machine (/sys/class/hwmon/hwmonN). Both must outlive the reader.
Reader reader(const MachineFiles &machine, const QString &device);

// The file's path below a hwmon folder (device/power/...).
QStringView path(File file);

} // namespace vesh::gpupower
