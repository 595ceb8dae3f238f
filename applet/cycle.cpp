#include "cycle.h"

#include "files.h"
#include "hwmon.h"
#include "kernelfile.h"

#include <QMetaProperty>

#include <cerrno>
#include <iterator>

namespace vesh::cycle {

namespace {

using namespace Qt::Literals::StringLiterals;

// The die temperature of an AMD CPU whose temp1 is Tctl.
constexpr int DieIndex = 3;

FileRead fileRead(QStringView file, kernelfile::Result read, const kernelfile::Buffer &contents)
{
    return {file, read.error, read ? QByteArray(contents.constData(), contents.size()) : QByteArray()};
}

} // namespace

FileRead readFile(const MachineFiles &machine, std::initializer_list<QStringView> path, QStringView file,
                  const kernelfile::Form &form)
{
    // Read as QFile (read-only, text mode) would, without its stat calls.
    kernelfile::Buffer contents;
    const kernelfile::Result read = machine.read(path, &contents, form);
    return fileRead(file, read, contents);
}

namespace {

Reading readTemperature(const MachineFiles &machine, const QString &device, int index, int Properties::*property)
{
    const QStringView file = files::ReadTempInputs[index - 1];
    Reading reading{property, readFile(machine, {device, u"/", file}, file, kernelfile::OnePage)};
    if (reading.file.error == 0)
        reading.degrees = hwmon::degreesFromFile(reading.file.bytes);
    return reading;
}

CpuRead readCpu(const MachineFiles &machine, const QString &device, Properties *shown)
{
    CpuRead cpu{readTemperature(machine, device, 1, &Properties::cpuTemp),
                readFile(machine, {device, u"/", files::Temp1Label}, files::Temp1Label, kernelfile::OnePage)};
    shown->cpuTemp = cpu.temp.degrees;
    // Any other label, or none, leaves cpuTempTctl as it was; but a device
    // that has gone, taking its folder's files with it, reads 0 throughout.
    cpu.tctl = cpu.temp1Label.error == 0 && hwmon::isTctlLabel(cpu.temp1Label.bytes);
    if (cpu.tctl) {
        cpu.die = readTemperature(machine, device, DieIndex, &Properties::cpuTempTctl);
        shown->cpuTempTctl = hwmon::tctlTemperature(shown->cpuTemp, cpu.die->degrees);
    } else if (cpu.temp.file.error == ENOENT && cpu.temp1Label.error == ENOENT) {
        shown->cpuTempTctl = 0;
    }
    return cpu;
}

gpupower::Decision decideGpu(const MachineFiles &machine, const Sensors &sensors, QList<FileRead> *powerFiles)
{
    const gpupower::Reader power = gpupower::reader(machine, sensors.gpuFolder);
    return gpupower::decide(sensors.gpuDriver, [&](gpupower::File file, kernelfile::Buffer *contents) {
        const kernelfile::Result read = power(file, contents);
        if (powerFiles)
            powerFiles->append(fileRead(gpupower::path(file), read, *contents));
        return read;
    });
}

// now is on the root time namespace's monotonic clock.
GpuRead readGpu(const MachineFiles &machine, const Sensors &sensors, const Instant &now, Carried *next)
{
    // Reading a temperature wakes a runtime-suspended card on many drivers,
    // and on amdgpu every read also restarts the card's suspend timer. Its
    // power files show its state without either.
    GpuRead gpu;
    gpu.powerFiles.reserve(std::size(files::PowerFiles));
    gpu.power = decideGpu(machine, sensors, &gpu.powerFiles);
    gpupower::Past &past = next->gpu;
    gpu.turn = gpupower::turn(gpu.power, now, past);
    Properties &shown = next->properties;
    // 0 for "not read": see "Temperatures of 0" in docs/kept-on-purpose.md.
    auto showNone = [&] {
        for (int Properties::*temp : GpuTemps)
            shown.*temp = 0;
        past.readAt.reset();
    };
    const bool windowed = gpu.power.powerCase == gpupower::Case::CouldAutosuspend;
    if (gpu.turn == gpupower::Turn::NotRead) {
        showNone();
    } else if (gpupower::reads(gpu.turn)) {
        gpu.readings.reserve(std::size(GpuTemps));
        for (int index = 1; index <= int(std::size(GpuTemps)); ++index) {
            gpu.readings.append(readTemperature(machine, sensors.gpuFolder, index, GpuTemps[index - 1]));
            // A junction or memory sensor the card does not have is no
            // failure: it shows 0.
            const int error = gpu.readings.last().file.error;
            gpu.failed = gpu.failed || (error != 0 && !(error == ENOENT && index > 1));
        }
        past.triedAt = now;
        if (!gpu.failed || !windowed) {
            for (const Reading &reading : std::as_const(gpu.readings))
                shown.*reading.property = reading.degrees;
            // A card read every cycle shows what read, 0 for the rest; a
            // failed read is no reading to keep.
            if (gpu.failed)
                past.readAt.reset();
            else
                past.readAt = now;
        } else if (!past.readAt || !gpupower::showable(gpu.power, *past.readAt, now)) {
            showNone();
        } // else the last readings stay shown, and the window is not counted as read
    } else if (windowed && past.readAt && !gpupower::showable(gpu.power, *past.readAt, now)) {
        showNone();
    } // else the last readings stay shown
    return gpu;
}

} // namespace

NamedValues named(const Properties &properties)
{
    const QMetaObject &meta = Properties::staticMetaObject;
    NamedValues values;
    values.reserve(meta.propertyCount());
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        values.append({QLatin1StringView(property.name()), property.readOnGadget(&properties)});
    }
    return values;
}

namespace {

// The name of the one property in which probe differs from a record left
// as made.
QLatin1StringView differingName(const Properties &probe)
{
    const Properties made;
    const QMetaObject &meta = Properties::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        if (property.readOnGadget(&probe) != property.readOnGadget(&made))
            return QLatin1StringView(property.name());
    }
    return {};
}

// The name of member, found by setting it to mark, which no record holds
// as made.
template <typename Value>
QLatin1StringView markedName(Value Properties::*member, const Value &mark)
{
    if (!member)
        return {};
    Properties probe;
    probe.*member = mark;
    return differingName(probe);
}

} // namespace

QLatin1StringView nameOf(int Properties::*member)
{
    return markedName(member, 1);
}

QLatin1StringView nameOf(QString Properties::*member)
{
    return markedName(member, u"?"_s);
}

Sensors sensorsOf(const discovery::Devices &found)
{
    Sensors sensors;
    if (found.cpu >= 0) {
        const discovery::Device &cpu = found.entries.at(found.cpu);
        sensors.cpuPath = discovery::devicePath(cpu.entry);
        sensors.cpuFolder = cpu.folder;
        sensors.cpuDriverName = cpu.driverName;
        sensors.cpuDriver = cpu.driver;
    }
    if (found.gpu >= 0) {
        const discovery::Device &gpu = found.entries.at(found.gpu);
        sensors.gpuPath = discovery::devicePath(gpu.entry);
        sensors.gpuFolder = gpu.folder;
        sensors.gpuDriverName = gpu.driverName;
        sensors.gpuDriver = gpu.driver;
    }
    return sensors;
}

Carried start(const MachineFiles &machine, const Sensors &sensors)
{
    Carried carried;
    carried.properties.cpuLabel = sensors.cpuDriverName;
    carried.properties.gpuLabel = sensors.gpuDriverName;
    carried.monotonicOffsetMs = gpupower::monotonicOffsetMs(machine);
    return carried;
}

GpuWait gpuWait(const MachineFiles &machine, const Sensors &sensors, const Carried &start, const Instant &now)
{
    GpuWait wait;
    if (sensors.gpuPath.isEmpty())
        return wait;
    wait.power = decideGpu(machine, sensors, nullptr);
    // A card that is coming up is read as soon as it is: in a window.
    const gpupower::Schedule &schedule = wait.power->schedule;
    if (schedule.periodMs == 0)
        return wait;
    wait.waitMs = gpupower::untilWindowMs(schedule, onRootClock(now, start.monotonicOffsetMs).monotonicMs);
    // A delay of minutes leaves the card awake that long after any use: a
    // reader that lives a moment does not wait for it.
    constexpr qint64 LongestWaitMs = 60000;
    if (wait.waitMs > LongestWaitMs)
        wait.waitMs = 0;
    return wait;
}

Record run(const MachineFiles &machine, const Sensors &sensors, const Carried &before, const Instant &now)
{
    Record record;
    record.next = before;
    Properties &shown = record.next.properties;
    if (!sensors.cpuPath.isEmpty())
        record.cpu = readCpu(machine, sensors.cpuFolder, &shown);
    if (!sensors.gpuPath.isEmpty())
        record.gpu = readGpu(machine, sensors, onRootClock(now, before.monotonicOffsetMs), &record.next);
    record.next.gpu.atStart = false;

    // Files under /proc report a size of 0, so read until a read returns
    // nothing rather than trusting the size.
    record.network = readFile(machine, {files::NetDev}, files::NetDev, kernelfile::Table);
    if (record.network.error != 0) {
        shown.netSpeed = netdev::UnreadText;
    } else {
        netdev::Sample current = netdev::totalsFromText(record.network.bytes);
        // The wall clock: see "The wall clock for network rates" in docs/kept-on-purpose.md.
        current.msecsSinceEpoch = now.epochMs;
        shown.netSpeed = netdev::speedText(before.network, current);
        record.next.network = current;
    }

    // The kernel makes the whole file in one go and hands out as much as a
    // read asks for, so one read of a page holds the two figures, which
    // stand near the top.
    record.memory = readFile(machine, {files::MemInfo}, files::MemInfo, kernelfile::OnePage);
    record.memoryFigures = meminfo::figuresFromText(record.memory.bytes);
    shown.memUsage = record.memory.error != 0 ? QString(meminfo::NoFiguresText)
                                              : meminfo::usageText(record.memoryFigures);
    return record;
}

} // namespace vesh::cycle
