#include "explain.h"

#include "cycle.h"
#include "discovery.h"
#include "files.h"
#include "pcidevice.h"
#include "printable.h"
#include "propertyline.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace vesh {

namespace {

using namespace Qt::Literals::StringLiterals;

// The account is made of what the applet's own rules decide on the files
// as read, then rendered as text or JSON. Text from the machine (entry
// names, paths, file contents, driver and interface names) is data: it is
// only ever appended, escaped by printable, never used as a format. In
// JSON its strings hold the same escaped text (printable::escaped), not the
// raw characters: QJsonDocument would escape C0 controls only, and a user
// who prints a parsed value would meet C1, bidirectional and zero-width
// characters raw.

using cycle::CpuRead;
using cycle::FileRead;
using cycle::GpuRead;
using cycle::nameOf;
using cycle::Properties;
using cycle::Reading;

struct Interface
{
    QByteArray name;
    bool hasDevice = false; // a device/ link under /sys/class/net/NAME
};

// One cycle of the applet as it runs from the start, on the machine, and
// what it makes of the counted interfaces.
struct Report
{
    QString machine;
    bool hwmonFound = false;
    discovery::Devices found;
    QList<std::optional<pcidevice::Identity>> pci; // of each entry's device
    cycle::Sensors sensors;
    cycle::Record record;
    QList<Interface> counted;
    bool netClassFound = false; // /sys/class/net was there to tell
    bool readNow = false;       // read at once, not in the card's read window
};

// A reading and why it is as it is, in a user's words.
struct Note
{
    QString property;
    QString why;
};

QList<Interface> countedInterfaces(const MachineFiles &machine, const FileRead &netDev)
{
    // Whether an interface has a device behind it is the one thing told
    // here that the applet does not read; /sys/class/net wakes no device.
    QList<Interface> counted;
    netdev::forEachInterface(netDev.bytes, [&](const netdev::Interface &interface) {
        const QString device = machine.path(files::NetClass) + u'/' + QFile::decodeName(interface.name.toByteArray())
            + u'/' + files::DeviceLink.toString();
        counted.append(
            {interface.name.toByteArray(), netdev::isInterfaceName(interface.name) && QFileInfo(device).isSymLink()});
    });
    return counted;
}

Report makeReport(const QString &machineDir, bool readNow)
{
    const MachineFiles machine = machineDir.isEmpty() ? MachineFiles() : MachineFiles(machineDir);
    Report report;
    report.machine = machineDir;
    report.readNow = readNow;
    report.hwmonFound = QFileInfo(machine.path(files::HwmonClass)).isDir();
    report.found = discovery::find(machine);
    for (const discovery::Device &device : std::as_const(report.found.entries))
        report.pci.append(pcidevice::identify(machine, device.folder));
    report.sensors = cycle::sensorsOf(report.found);
    report.record = cycle::run(machine, report.sensors, cycle::start(machine, report.sensors), vesh::now());
    report.netClassFound = QFileInfo(machine.path(files::NetClass)).isDir();
    report.counted = countedInterfaces(machine, report.record.network);
    return report;
}

// Words for the decisions and the files.

QString readError(int error)
{
    switch (error) {
    case ENOENT: return u"no such file"_s;
    case EFBIG: return u"too large for a kernel file: not read"_s;
    }
    return u"cannot be read: "_s + QString::fromLocal8Bit(std::strerror(error));
}

QString categoryName(hwmon::Category category)
{
    switch (category) {
    case hwmon::Category::Cpu: return u"CPU"_s;
    case hwmon::Category::Gpu: return u"GPU"_s;
    case hwmon::Category::None: break;
    }
    return u"none"_s;
}

// The names of the applet's drivers of a category, a prefix driver with "*".
QString driverNames(hwmon::Category category)
{
    QStringList names;
    const QList<hwmon::Driver> drivers = hwmon::drivers();
    for (const hwmon::Driver &driver : drivers) {
        if (driver.category == category)
            names << driver.name + (driver.byPrefix ? u"*"_s : QString());
    }
    return names.join(u", "_s);
}

QString verdictWords(const discovery::Device &device, discovery::Verdict verdict)
{
    switch (verdict) {
    case discovery::Verdict::ChosenCpu: return u"the CPU sensor"_s;
    case discovery::Verdict::ChosenGpu: return u"the GPU sensor"_s;
    case discovery::Verdict::LaterDeviceWins: return u"a later "_s + categoryName(device.category) + u" device wins"_s;
    case discovery::Verdict::NoFolder: return u"its device's folder cannot be found"_s;
    case discovery::Verdict::NoNameFile:
    case discovery::Verdict::NameUnreadable: return u"it has no driver name"_s;
    case discovery::Verdict::NameEndsInNul: {
        const qsizetype nul = device.rawName.indexOf('\0');
        const QByteArrayView tail = QByteArrayView(device.rawName).sliced(nul);
        const bool allNul = tail.count('\0') == tail.size();
        return printable::quoted(QByteArrayView(device.rawName).first(nul)) + u" followed by "_s
            + (allNul ? QString::number(tail.size()) + u" NUL bytes"_s : printable::quoted(tail))
            + u"; the applet compares the whole name"_s;
    }
    case discovery::Verdict::NotADriver: break;
    }
    return u"not a driver the applet reads"_s;
}

QString nameWords(const discovery::Device &device)
{
    if (device.folderError != 0)
        return u"no device folder"_s;
    return device.nameError == ENOENT ? u"no name file"_s : readError(device.nameError);
}

QString powerCaseName(gpupower::Case powerCase)
{
    switch (powerCase) {
    case gpupower::Case::Asleep: return u"asleep"_s;
    case gpupower::Case::Unknown: return u"power state unknown"_s;
    case gpupower::Case::EveryCycle: return u"read every cycle"_s;
    case gpupower::Case::CouldAutosuspend: return u"could autosuspend"_s;
    }
    return {};
}

QString powerReason(gpupower::Reason reason)
{
    switch (reason) {
    case gpupower::Reason::Suspended: return u"suspended"_s;
    case gpupower::Reason::Suspending: return u"suspending"_s;
    case gpupower::Reason::Resuming: return u"resuming"_s;
    case gpupower::Reason::StatusUnreadable: return u"runtime_status did not read"_s;
    case gpupower::Reason::NoPowerState: return u"the kernel shows no runtime power management for it"_s;
    case gpupower::Reason::ReadsDoNotMarkBusy: return u"its driver's temperature reads keep nothing awake"_s;
    case gpupower::Reason::RuntimePmDisabled: return u"runtime power management is off for it"_s;
    case gpupower::Reason::RuntimePmError: return u"its runtime power management failed"_s;
    case gpupower::Reason::UnknownStatus: return u"a power state the applet does not know"_s;
    case gpupower::Reason::NoControlFile: return u"no control file says whether it may suspend"_s;
    case gpupower::Reason::ControlOn: return u"control is on: it may not suspend"_s;
    case gpupower::Reason::InUse: return u"runtime_usage above 0: another user holds it awake"_s;
    case gpupower::Reason::NeverAutosuspends: return u"a negative delay: it never suspends by itself"_s;
    case gpupower::Reason::Idle: return u"idle"_s;
    }
    return {};
}

// Why a temperature shows 0, where it does.
QString zeroWhy(const Reading &reading)
{
    if (reading.file.error != 0)
        return readError(reading.file.error);
    // The applet's own parse of the same bytes.
    switch (hwmon::temperatureFromFile(reading.file.bytes).text) {
    case hwmon::Temperature::Text::Millidegrees: return u"below one degree"_s;
    case hwmon::Temperature::Text::NotANumber: break;
    case hwmon::Temperature::Text::OutOfRange: return u"millidegrees beyond the 32 bits the kernel writes"_s;
    }
    return u"not a whole number of millidegrees"_s;
}

QString dieWhy(const Reading &die)
{
    return (die.degrees == 0 ? zeroWhy(die) : u"not above 0 °C"_s) + u"; cpuTempTctl is cpuTemp then"_s;
}

QString powerLine(const GpuRead &gpu)
{
    const QString powerCase = powerCaseName(gpu.power.powerCase);
    const QString reason = powerReason(gpu.power.reason);
    switch (gpu.power.powerCase) {
    case gpupower::Case::Asleep:
        if (gpu.power.reason == gpupower::Reason::Resuming)
            return powerCase + u" ("_s + reason + u"): not read until it is up, as a read would wait for the resume or fail"_s;
        return powerCase + u" ("_s + reason + u"): left asleep, its temperatures are not read"_s;
    case gpupower::Case::Unknown:
        return powerCase + u" ("_s + reason + u"): not read, so that it is not woken"_s;
    case gpupower::Case::EveryCycle:
    case gpupower::Case::CouldAutosuspend:
        break;
    }
    const QString every = QString::number(double(gpupower::readPeriodMs(gpu.power)) / 1000.0) + u" s"_s;
    if (gpu.power.powerCase != gpupower::Case::CouldAutosuspend)
        return powerCase + u" ("_s + reason + u"): every "_s + every;
    QString control = u"control auto"_s;
    QString usage = u"no runtime_usage"_s;
    for (const FileRead &file : gpu.powerFiles) {
        if (file.file == files::PowerControl)
            control = file.error != 0 ? u"control unreadable"_s
                                      : u"control "_s + printable::name(QByteArrayView(file.bytes).trimmed());
        if (file.file == files::RuntimeUsage && file.error == 0)
            usage = u"runtime_usage "_s + printable::name(QByteArrayView(file.bytes).trimmed());
    }
    const QString delay = QString::number(gpu.power.delayMs) + u" ms"_s
        + (gpu.power.delayIsDefault ? u", the driver's default, as none could be read"_s : QString());
    return powerCase + u" ("_s + control + u", "_s + usage + u", delay "_s + delay + u"): read once per "_s + every
        + u", in the window that every applet shares, so that it can sleep"_s;
}

// For every reading that shows 0 or nothing, why.
QList<Note> missingNotes(const Report &report)
{
    QList<Note> notes;
    const cycle::Record &record = report.record;
    const QString noSensors = u"the machine shows no hardware sensors (no "_s + files::HwmonClass.toString() + u")"_s;
    auto zeroReading = [&notes](const Reading &reading, const QString &path) {
        if (reading.degrees == 0)
            notes.append({nameOf(reading.property), reading.file.file.toString() + u" of "_s
                                                + printable::name(path, printable::PathLimit) + u": "_s
                                                + zeroWhy(reading)});
    };
    if (!record.cpu) {
        const QString why = report.hwmonFound ? u"no CPU sensor of a driver the applet reads ("_s
                + driverNames(hwmon::Category::Cpu) + u")"_s
                                              : noSensors;
        for (QLatin1StringView property :
             {nameOf(&Properties::cpuTemp), nameOf(&Properties::cpuTempTctl), nameOf(&Properties::cpuLabel)})
            notes.append({property, why});
    } else {
        zeroReading(record.cpu->temp, report.sensors.cpuPath);
        const FileRead &label = record.cpu->temp1Label;
        if (!record.cpu->tctl)
            notes.append({nameOf(&Properties::cpuTempTctl),
                          label.file.toString()
                              + (label.error == 0 ? u" reads "_s + printable::quoted(label.bytes) + u", not \"Tctl\""_s
                                                  : u": "_s + readError(label.error))
                              + u": the die temperature is shown for AMD's Tctl only"_s});
    }
    if (!record.gpu) {
        const QString why = report.hwmonFound ? u"no GPU sensor of a driver the applet reads ("_s
                + driverNames(hwmon::Category::Gpu) + u")"_s
                                              : noSensors;
        for (int Properties::*temp : cycle::GpuTemps)
            notes.append({nameOf(temp), why});
        notes.append({nameOf(&Properties::gpuLabel), why});
    } else if (record.gpu->readings.isEmpty()) {
        const gpupower::Decision &power = record.gpu->power;
        const QString why = power.reason == gpupower::Reason::Resuming
            ? u"the card is waking up; the applet reads it once it is up"_s
            : power.powerCase == gpupower::Case::Asleep
            ? u"the card is asleep; the applet leaves it so, and reads it once it wakes up"_s
            : u"the card's power state does not read; the applet does not read it, so as not to wake it"_s;
        for (int Properties::*temp : cycle::GpuTemps)
            notes.append({nameOf(temp), why});
    } else {
        for (const Reading &reading : record.gpu->readings)
            zeroReading(reading, report.sensors.gpuPath);
    }
    const cycle::Properties &shown = record.next.properties;
    if (record.network.error != 0)
        notes.append({nameOf(&Properties::netSpeed), files::NetDev.toString() + u" cannot be read: it shows "_s + shown.netSpeed});
    if (record.memory.error != 0 || record.memoryFigures.totalKb == 0)
        notes.append({nameOf(&Properties::memUsage), files::MemInfo.toString() + u" gives no MemTotal: it shows "_s + shown.memUsage});
    return notes;
}

// Readings that have a value users of such panels often question.
QList<Note> surprisingNotes(const Report &report)
{
    QList<Note> notes;
    const cycle::Record &record = report.record;
    const cycle::Properties &shown = record.next.properties;
    if (record.memory.error == 0 && record.memoryFigures.totalKb > 0 && !record.memoryFigures.hasAvailable)
        notes.append({nameOf(&Properties::memUsage), files::MemInfo.toString()
                          + u" has no MemAvailable (kernels before 3.14, some containers): the applet counts all "
                            "memory as used, so it shows "_s
                          + shown.memUsage});
    if (record.cpu && record.cpu->die && record.cpu->die->degrees > 0
        && record.cpu->die->degrees < record.cpu->temp.degrees) {
        const hwmon::Driver *driver = report.sensors.cpuDriver;
        notes.append({nameOf(&Properties::cpuTempTctl),
                      QString::number(shown.cpuTempTctl) + u" °C, below cpuTemp's "_s
                          + QString::number(shown.cpuTemp)
                          + u" °C: cpuTemp is temp1, Tctl, the control temperature, which carries an offset on "
                            "some models; cpuTempTctl is temp3, one die's own temperature"_s
                          + (driver && !driver->dieName.isEmpty()
                                 ? u" ("_s + driver->dieName + u" on "_s + driver->name + u")"_s
                                 : QString())});
    }
    QStringList virtuals;
    bool physical = false;
    for (const Interface &interface : report.counted) {
        if (interface.hasDevice)
            physical = true;
        else
            virtuals << printable::name(interface.name);
    }
    if (report.netClassFound && !virtuals.isEmpty()) {
        const qsizetype most = 8;
        QString names = virtuals.mid(0, most).join(u", "_s);
        if (virtuals.size() > most)
            names += u" and "_s + QString::number(virtuals.size() - most) + u" more"_s;
        notes.append({nameOf(&Properties::netSpeed),
                      u"counts interfaces with no device behind them (a bridge, veth, VPN, bond, VLAN, macvlan or "
                      "PPP): "_s
                          + names
                          + (physical ? u"; what they carry also crosses a counted interface with a device, so "
                                        "it may be counted twice"_s
                                      : QString())});
    }
    return notes;
}

// A part of the account in its two forms, made side by side so that each
// of its words is chosen once: text lines and a JSON object.
struct Part
{
    QStringList lines;
    QJsonValue json;
};

// "  temp1_input  "45000\n"": a file and its text, or why it did not read.
Part filePart(const FileRead &file)
{
    const QString why = file.error == 0 ? QString() : readError(file.error);
    QJsonObject json{{u"file"_s, file.file.toString()}};
    json.insert(file.error == 0 ? u"text"_s : u"why"_s, file.error == 0 ? printable::escaped(file.bytes) : why);
    return {{u"  "_s + file.file.toString() + u"  "_s + (file.error == 0 ? printable::quoted(file.bytes) : why)}, json};
}

// "  temp1_input  "45000\n"  45 °C  gpuTemp": a temperature and why it is 0.
Part readingPart(const Reading &reading, const QString &why = {})
{
    QJsonObject json = filePart(reading.file).json.toObject();
    const QString note = !why.isEmpty() ? why : reading.degrees == 0 ? zeroWhy(reading) : QString();
    json.insert(u"property"_s, QString(nameOf(reading.property)));
    json.insert(u"degrees"_s, reading.degrees);
    if (!note.isEmpty())
        json.insert(u"why"_s, note);
    return {{u"  "_s + reading.file.file.toString() + u"  "_s
             + (reading.file.error == 0 ? printable::quoted(reading.file.bytes) : u"-"_s) + u"  "_s
             + QString::number(reading.degrees) + u" °C  "_s + nameOf(reading.property)
             + (note.isEmpty() ? QString() : u" ("_s + note + u")"_s)},
            json};
}

// "    device: /sys/devices/.../hwmon/hwmon1, PCI 0000:0c:00.0 (vendor
// 0x1002, device 0x73bf, the boot display)": the device an entry is.
Part devicePart(const discovery::Device &device, const std::optional<pcidevice::Identity> &pci)
{
    if (device.folderError != 0) {
        const QString why = readError(device.folderError);
        return {{u"    no device folder: "_s + why}, QJsonObject{{u"folderError"_s, why}}};
    }
    const bool own = device.folder == discovery::devicePath(device.entry);
    QString line = u"    device: "_s + printable::name(device.folder, printable::PathLimit)
        + (own ? u", the entry's own folder"_s : QString());
    QJsonObject json{{u"folder"_s, printable::escaped(device.folder)}};
    if (!pci)
        return {{line}, json};
    QStringList ids;
    QJsonArray files;
    QJsonObject pciJson{{u"address"_s, printable::escaped(pci->address)}};
    for (const FileRead &file : pci->ids) {
        files.append(filePart(file).json);
        if (file.file != files::BootVga) {
            ids << file.file.toString()
                    + (file.error == 0 ? u" "_s + printable::name(QByteArrayView(file.bytes).trimmed())
                                       : u": "_s + readError(file.error));
            continue;
        }
        // Only a display device has one.
        if (file.error == ENOENT)
            continue;
        const bool boot = file.error == 0 && hwmon::trimmedEquals(file.bytes, "1"_L1);
        if (boot || (file.error == 0 && hwmon::trimmedEquals(file.bytes, "0"_L1))) {
            pciJson.insert(u"bootDisplay"_s, boot);
            ids << (boot ? u"the boot display"_s : u"not the boot display"_s);
        } else {
            ids << file.file.toString() + u" "_s
                    + (file.error == 0 ? printable::quoted(file.bytes) : readError(file.error));
        }
    }
    pciJson.insert(u"files"_s, files);
    json.insert(u"pci"_s, pciJson);
    line += u", PCI "_s + printable::name(pci->address) + u" ("_s + ids.join(u", "_s) + u")"_s;
    return {{line}, json};
}

QString sensorLine(const QString &kind, const QString &path, const QString &driver)
{
    return kind + u" sensor: "_s + printable::name(path, printable::PathLimit) + u" ("_s + printable::name(driver)
        + u")"_s;
}

Part hwmonPart(const Report &report)
{
    const QString folder = files::HwmonClass.toString();
    const QList<discovery::Device> &entries = report.found.entries;
    QStringList lines{report.hwmonFound
                          ? u"Sensors in "_s + folder + u", in the applet's order ("_s
                                + (entries.isEmpty() ? u"none"_s : QString::number(entries.size())) + u"):"_s
                          : u"No "_s + folder + u": the machine shows no hardware sensors (as most virtual machines)."_s};
    QJsonArray listed;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const discovery::Device &device = entries.at(i);
        const bool chosen = i == report.found.cpu || i == report.found.gpu;
        const QString why = verdictWords(device, discovery::verdictOf(report.found, i));
        lines << u"  "_s + printable::name(device.entry) + u"  "_s
                + (device.nameError == 0 ? printable::quoted(device.rawName) : nameWords(device)) + u"  "_s
                + categoryName(device.category) + u"  "_s + (chosen ? u"chosen"_s : u"passed over"_s) + u": "_s + why;
        const Part folder = devicePart(device, report.pci.at(i));
        lines << folder.lines;
        QJsonObject entry{{u"entry"_s, printable::escaped(device.entry)},
                          {u"category"_s, categoryName(device.category)},
                          {u"chosen"_s, chosen},
                          {u"why"_s, why},
                          {u"device"_s, folder.json}};
        if (device.nameError == 0)
            entry.insert(u"name"_s, printable::escaped(device.rawName));
        else
            entry.insert(u"nameError"_s, nameWords(device));
        listed.append(entry);
    }
    return {lines, QJsonObject{{u"folder"_s, folder}, {u"found"_s, report.hwmonFound}, {u"entries"_s, listed}}};
}

Part cpuPart(const Report &report, const CpuRead &cpu)
{
    const Part temp = readingPart(cpu.temp);
    QStringList lines = QStringList{sensorLine(u"CPU"_s, report.sensors.cpuPath, report.sensors.cpuDriverName)} + temp.lines;
    QJsonArray readings{temp.json};
    // The label comes right after temp1, which it qualifies.
    const Part label = filePart(cpu.temp1Label);
    lines << label.lines.first() + u"  "_s
            + (cpu.tctl ? u"Tctl: cpuTempTctl is temp3 when above 0 °C, else cpuTemp"_s
                        : u"not Tctl: cpuTempTctl stays as it is, 0 from the start"_s);
    QJsonObject labelJson = label.json.toObject();
    labelJson.insert(u"tctlRule"_s, cpu.tctl);
    if (cpu.die) {
        const Part die = readingPart(*cpu.die, cpu.die->degrees > 0 ? QString() : dieWhy(*cpu.die));
        QJsonObject dieJson = die.json.toObject();
        dieJson.insert(u"fallback"_s, QString(nameOf(&Properties::cpuTemp)));
        lines << die.lines;
        readings.append(dieJson);
    }
    return {lines, QJsonObject{{u"path"_s, printable::escaped(report.sensors.cpuPath)},
                               {u"driver"_s, printable::escaped(report.sensors.cpuDriverName)},
                               {u"readings"_s, readings},
                               {u"label"_s, labelJson},
                               {QString(nameOf(&Properties::cpuTempTctl)), report.record.next.properties.cpuTempTctl}}};
}

Part gpuPart(const Report &report, const GpuRead &gpu)
{
    QStringList lines{sensorLine(u"GPU"_s, report.sensors.gpuPath, report.sensors.gpuDriverName)};
    QJsonArray powerFiles;
    for (const FileRead &file : gpu.powerFiles) {
        const Part power = filePart(file);
        lines << power.lines;
        powerFiles.append(power.json);
    }
    lines << u"  "_s + powerLine(gpu);
    const bool windowed = gpu.power.powerCase == gpupower::Case::CouldAutosuspend;
    if (windowed)
        lines << (report.readNow ? u"  read here at once (--now), outside its window if need be"_s
                                 : u"  read here in its window: vesh-host waits for one before it reads the card"_s);
    // The first keys, of runtime_status, as before the other files were read.
    QJsonObject power = powerFiles.first().toObject();
    power.insert(u"asleep"_s, gpu.power.powerCase == gpupower::Case::Asleep);
    power.insert(u"files"_s, powerFiles);
    power.insert(u"case"_s, powerCaseName(gpu.power.powerCase));
    power.insert(u"reason"_s, powerReason(gpu.power.reason));
    power.insert(u"readPeriodMs"_s, gpupower::readPeriodMs(gpu.power));
    if (windowed) {
        power.insert(u"delayMs"_s, gpu.power.delayMs);
        power.insert(u"delayIsDefault"_s, gpu.power.delayIsDefault);
        power.insert(u"readInWindow"_s, !report.readNow);
    }
    QJsonArray readings;
    for (const Reading &reading : gpu.readings) {
        const Part temp = readingPart(reading);
        lines << temp.lines;
        readings.append(temp.json);
    }
    return {lines, QJsonObject{{u"path"_s, printable::escaped(report.sensors.gpuPath)},
                               {u"driver"_s, printable::escaped(report.sensors.gpuDriverName)},
                               {u"power"_s, power},
                               {u"readings"_s, readings}}};
}

Part networkPart(const Report &report)
{
    const FileRead &file = report.record.network;
    const QString netDev = file.file.toString();
    if (file.error != 0) {
        return {{u"Network: "_s + netDev + u": "_s + readError(file.error)},
                QJsonObject{{u"file"_s, netDev}, {u"why"_s, readError(file.error)}}};
    }
    QStringList names;
    QJsonArray counted;
    QJsonArray withoutDevice;
    for (const Interface &interface : report.counted) {
        names << printable::name(interface.name);
        counted.append(printable::escaped(interface.name));
        if (!interface.hasDevice)
            withoutDevice.append(printable::escaped(interface.name));
    }
    if (names.isEmpty())
        names << u"none"_s;
    QJsonObject json{{u"file"_s, netDev}, {u"counted"_s, counted}};
    if (report.netClassFound)
        json.insert(u"withoutDevice"_s, withoutDevice);
    return {printable::wrapped(u"Network: "_s + netDev + u", every interface but lo:"_s, names, u"  "_s), json};
}

Part memoryPart(const Report &report)
{
    const FileRead &file = report.record.memory;
    const meminfo::Figures &figures = report.record.memoryFigures;
    const QString memInfo = file.file.toString();
    if (file.error != 0) {
        return {{u"Memory: "_s + memInfo + u": "_s + readError(file.error)},
                QJsonObject{{u"file"_s, memInfo}, {u"why"_s, readError(file.error)}}};
    }
    return {{u"Memory: "_s + memInfo + u", MemTotal "_s + QString::number(figures.totalKb) + u" kB, MemAvailable "_s
             + (figures.hasAvailable ? QString::number(figures.availableKb) + u" kB"_s : u"missing"_s)},
            QJsonObject{{u"file"_s, memInfo},
                        {u"MemTotal"_s, QString::number(figures.totalKb)},
                        {u"MemAvailable"_s, QString::number(figures.availableKb)},
                        {u"hasMemAvailable"_s, figures.hasAvailable}}};
}

// Under their heading; none, none at all, or the words for that.
Part notesPart(const QString &heading, const QList<Note> &notes, const QString &none = {})
{
    QStringList lines{notes.isEmpty() ? none : heading};
    lines.removeAll(QString());
    QJsonArray json;
    for (const Note &note : notes) {
        lines << u"  "_s + note.property + u": "_s + note.why;
        json.append(QJsonObject{{u"property"_s, note.property}, {u"why"_s, note.why}});
    }
    return {lines, json};
}

// The account's parts, in their order, each under its JSON key.
QList<std::pair<QString, Part>> parts(const Report &report)
{
    QList<std::pair<QString, Part>> parts{{u"hwmon"_s, hwmonPart(report)}};
    if (report.record.cpu)
        parts.append({u"cpu"_s, cpuPart(report, *report.record.cpu)});
    if (report.record.gpu)
        parts.append({u"gpu"_s, gpuPart(report, *report.record.gpu)});
    parts.append({u"network"_s, networkPart(report)});
    parts.append({u"memory"_s, memoryPart(report)});
    parts.append({u"missing"_s, notesPart(u"Readings that show 0 or nothing:"_s, missingNotes(report),
                                          u"Every reading has a value."_s)});
    parts.append({u"surprising"_s, notesPart(u"Readings that may surprise:"_s, surprisingNotes(report))});
    return parts;
}

QJsonObject toJson(const Report &report)
{
    QJsonObject json{{u"machine"_s, printable::escaped(report.machine)}};
    const QList<std::pair<QString, Part>> all = parts(report);
    for (const auto &[key, part] : all)
        json.insert(key, part.json);
    // The nine values as the applet publishes them, in the form --once --json gives them.
    json.insert(u"properties"_s, propertiesJson(cycle::named(report.record.next.properties)));
    return json;
}

QStringList toText(const Report &report)
{
    QStringList lines{report.machine.isEmpty() ? u"What the applet sees on this machine, and why."_s
                                               : u"What the applet sees on the machine in "_s
                                                     + printable::name(QFile::encodeName(report.machine), 200)
                                                     + u", and why."_s};
    const QList<std::pair<QString, Part>> all = parts(report);
    for (const auto &[key, part] : all)
        lines << part.lines;
    return lines;
}

} // namespace

void explainMachine(const QString &machineDir, bool json, bool readNow)
{
    const Report report = makeReport(machineDir, readNow);
    const QByteArray out = json ? QJsonDocument(toJson(report)).toJson(QJsonDocument::Compact) + '\n'
                                : (toText(report).join(u'\n') + u'\n').toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
}

} // namespace vesh
