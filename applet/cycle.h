#pragma once

#include "clocks.h"
#include "discovery.h"
#include "gpupower.h"
#include "machinefiles.h"
#include "meminfo.h"
#include "netdev.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <utility>

#include <optional>

// One refresh cycle, as one step over the machine's files: every file it
// reads, with its bytes or why it did not read, every decision it makes,
// and the nine values it leaves. The applet publishes the values; the
// runner's account renders the rest.
namespace vesh::cycle {

// The applet's nine values, as its properties name them: the one place
// their names and order are written.
struct Properties
{
    Q_GADGET
    Q_PROPERTY(int cpuTemp MEMBER cpuTemp)
    Q_PROPERTY(int gpuTemp MEMBER gpuTemp)
    Q_PROPERTY(int cpuTempTctl MEMBER cpuTempTctl)
    Q_PROPERTY(int gpuTempJunction MEMBER gpuTempJunction)
    Q_PROPERTY(int gpuTempMem MEMBER gpuTempMem)
    Q_PROPERTY(QString cpuLabel MEMBER cpuLabel)
    Q_PROPERTY(QString gpuLabel MEMBER gpuLabel)
    Q_PROPERTY(QString netSpeed MEMBER netSpeed)
    Q_PROPERTY(QString memUsage MEMBER memUsage)

public:
    int cpuTemp = 0;
    int gpuTemp = 0;
    int cpuTempTctl = 0;
    int gpuTempJunction = 0;
    int gpuTempMem = 0;
    QString cpuLabel;
    QString gpuLabel;
    QString netSpeed;
    QString memUsage;
};

// temp1 to temp3 of a GPU, in the properties they set.
inline constexpr int Properties::*GpuTemps[] = {&Properties::gpuTemp, &Properties::gpuTempJunction,
                                                &Properties::gpuTempMem};

// A file as the cycle read it.
struct FileRead
{
    QStringView file;  // as a user is shown it: "temp1_input", "/proc/net/dev"
    int error = 0;     // why it did not read (errno, EFBIG too large); 0 when read
    QByteArray bytes;  // when read
};

// The file at the machine path given in parts, read in form and shown as
// file.
FileRead readFile(const MachineFiles &machine, std::initializer_list<QStringView> path, QStringView file,
                  const kernelfile::Form &form);

// A temperature input and the property it sets (nameOf names it).
struct Reading
{
    int Properties::*property = nullptr;
    FileRead file;
    // 0 also when the file did not read: see "Temperatures of 0" in docs/kept-on-purpose.md.
    int degrees = 0;
};

struct CpuRead
{
    Reading temp;
    FileRead temp1Label;
    bool tctl = false;          // the label names Tctl, so the die is read too
    std::optional<Reading> die = {}; // the die's own temperature, where read
};

struct GpuRead
{
    QList<FileRead> powerFiles; // as the power rule read them, in its order
    gpupower::Decision power;
    gpupower::Turn turn;
    QList<Reading> readings;    // temp1 to temp3, where this cycle read them
    // A reading failed (a file there that did not read), and the readings
    // shown are the last ones, still fresh enough, or 0.
    bool failed = false;
};

// The devices a cycle reads, as discovery chose them once: each by its
// entry, as shown and logged, and by its own folder, where every cycle
// reads it. A device that goes takes its folder with it, and another that
// comes later gets its own, even at the entry's number.
struct Sensors
{
    QString cpuPath; // /sys/class/hwmon/hwmon2; empty for none
    QString cpuFolder; // /sys/devices/.../hwmon/hwmon2
    QString cpuDriverName; // as discovery read it: the cpuLabel property
    const hwmon::Driver *cpuDriver = nullptr;
    QString gpuPath;
    QString gpuFolder;
    QString gpuDriverName;
    const hwmon::Driver *gpuDriver = nullptr;
};

Sensors sensorsOf(const discovery::Devices &found);

// The values under their property names, in the properties' order.
using NamedValues = QList<std::pair<QLatin1StringView, QVariant>>;
NamedValues named(const Properties &properties);

// The property name of a member of Properties: nameOf(&Properties::gpuTemp);
// empty for none.
QLatin1StringView nameOf(int Properties::*member);
QLatin1StringView nameOf(QString Properties::*member);

// What one cycle hands to the next: the values shown (a value that a
// cycle skips keeps its content), the network sample to measure the next
// against, what the applet knows of its reads of the GPU, and how its
// monotonic clock stands to the root time namespace's.
struct Carried
{
    Properties properties;
    netdev::Sample network;
    // On the root time namespace's monotonic clock.
    gpupower::Past gpu = {.atStart = true};
    // This process's monotonic clock ahead of the root time namespace's,
    // read once at start.
    qint64 monotonicOffsetMs = 0;
};

struct Record
{
    std::optional<CpuRead> cpu; // where a CPU sensor was found
    std::optional<GpuRead> gpu; // where a GPU sensor was found
    FileRead network;
    FileRead memory;
    meminfo::Figures memoryFigures;
    Carried next; // the values as published after this cycle, and the rest
};

// Before the first cycle: nothing read yet, the labels as found, and the
// time namespace's offset read from the machine.
Carried start(const MachineFiles &machine, const Sensors &sensors);

// One cycle at now, on this process's own clocks, on the sensors, after the
// cycle that left before.
Record run(const MachineFiles &machine, const Sensors &sensors, const Carried &before, const Instant &now);

// How long a reader that starts at now, on this process's own clocks, waits
// before its first cycle so that it reads the GPU in a window: 0 where the
// GPU is read at any time, not at all, or the window is open. With the
// power decision that says so.
struct GpuWait
{
    std::optional<gpupower::Decision> power; // where a GPU sensor was found
    qint64 waitMs = 0;
};
GpuWait gpuWait(const MachineFiles &machine, const Sensors &sensors, const Carried &start, const Instant &now);

} // namespace vesh::cycle
