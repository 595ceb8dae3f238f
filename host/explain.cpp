#include "explain.h"

#include "discovery.h"
#include "gpupower.h"
#include "meminfo.h"
#include "netdev.h"
#include "printable.h"

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

// One file as read: its bytes, or why it did not open.
struct FileRead
{
    QString file; // as the user is shown it: "temp1_input", "/proc/net/dev"
    int error = 0;
    QByteArray bytes;
};

FileRead readFile(const MachineFiles &files, std::initializer_list<QStringView> path, const QString &file,
                  kernelfile::Form form = kernelfile::OnePage)
{
    kernelfile::Buffer contents;
    const kernelfile::Result read = files.read(path, &contents, form);
    return {file, read.error, read ? QByteArray(contents.constData(), contents.size()) : QByteArray()};
}

// A temperature of a chosen device.
struct Reading
{
    QLatin1StringView property;
    FileRead file;
    int degrees = 0;
};

Reading readTemperature(const MachineFiles &files, const QString &device, int index, QLatin1StringView property)
{
    Reading reading;
    reading.property = property;
    reading.file = readFile(files, {device, u"/", files::tempInput(index)}, files::tempInput(index));
    if (reading.file.error == 0)
        reading.degrees = hwmon::degreesFromFile(reading.file.bytes);
    return reading;
}

struct CpuPart
{
    QString path;
    QString driver;
    Reading temp;
    FileRead label;
    bool tctl = false;         // the Tctl rule applies
    std::optional<Reading> die; // temp3, where it does
    int tctlTemp = 0;
};

struct GpuPart
{
    QString path;
    QString driver;
    QList<FileRead> powerFiles; // as the power rule read them, in its order
    gpupower::Decision power;
    QList<Reading> readings; // none while asleep
};

struct Interface
{
    QByteArray name;
    bool hasDevice = false; // a device/ link under /sys/class/net/NAME
};

struct NetworkPart
{
    FileRead file;
    QList<Interface> counted;
    bool classFound = false; // /sys/class/net was there to tell
};

struct MemoryPart
{
    FileRead file;
    meminfo::Figures figures;
};

struct Report
{
    QString machine;
    bool hwmonFound = false;
    discovery::Devices found;
    std::optional<CpuPart> cpu;
    std::optional<GpuPart> gpu;
    NetworkPart network;
    MemoryPart memory;
};

// A reading and why it is as it is, in a user's words.
struct Note
{
    QString property;
    QString why;
};

CpuPart cpuPart(const MachineFiles &files, const discovery::Device &device)
{
    CpuPart part;
    part.path = discovery::devicePath(device.entry);
    part.driver = device.driverName;
    part.temp = readTemperature(files, part.path, 1, "cpuTemp"_L1);
    part.label = readFile(files, {part.path, u"/", files::CpuLabel}, files::CpuLabel.toString());
    part.tctl = part.label.error == 0 && hwmon::isTctlLabel(part.label.bytes);
    if (part.tctl) {
        part.die = readTemperature(files, part.path, 3, "cpuTempTctl"_L1);
        part.tctlTemp = hwmon::tctlTemperature(part.temp.degrees, part.die->degrees);
    }
    return part;
}

GpuPart gpuPart(const MachineFiles &files, const discovery::Device &device)
{
    GpuPart part;
    part.path = discovery::devicePath(device.entry);
    part.driver = device.driverName;
    const gpupower::Reader machine = gpupower::reader(files, part.path);
    part.power = gpupower::decide(*device.driver, [&](gpupower::File file, kernelfile::Buffer *contents) {
        const kernelfile::Result read = machine(file, contents);
        part.powerFiles.append({gpupower::path(file).toString(), read.error,
                                read ? QByteArray(contents->constData(), contents->size()) : QByteArray()});
        return read;
    });
    if (part.power.powerCase != gpupower::Case::Asleep && part.power.powerCase != gpupower::Case::Unknown) {
        const char *const properties[] = {"gpuTemp", "gpuTempJunction", "gpuTempMem"};
        for (int index = 1; index <= 3; ++index)
            part.readings.append(readTemperature(files, part.path, index, QLatin1StringView(properties[index - 1])));
    }
    return part;
}

NetworkPart networkPart(const MachineFiles &files)
{
    NetworkPart part;
    part.file = readFile(files, {files::NetDev}, files::NetDev.toString(), kernelfile::Table);
    // Whether an interface has a device behind it is the one thing told
    // here that the applet does not read; /sys/class/net wakes no device.
    part.classFound = QFileInfo(files.path(files::NetClass)).isDir();
    netdev::forEachInterface(part.file.bytes, [&](const netdev::Interface &interface) {
        const QString device = files.path(files::NetClass) + u'/' + QFile::decodeName(interface.name.toByteArray())
            + u'/' + files::DeviceLink.toString();
        part.counted.append(
            {interface.name.toByteArray(), netdev::isInterfaceName(interface.name) && QFileInfo(device).isSymLink()});
    });
    return part;
}

MemoryPart memoryPart(const MachineFiles &files)
{
    MemoryPart part;
    part.file = readFile(files, {files::MemInfo}, files::MemInfo.toString());
    part.figures = meminfo::figuresFromText(part.file.bytes);
    return part;
}

Report makeReport(const QString &machineDir)
{
    const MachineFiles files = machineDir.isEmpty() ? MachineFiles() : MachineFiles(machineDir);
    Report report;
    report.machine = machineDir;
    report.hwmonFound = QFileInfo(files.path(files::HwmonClass)).isDir();
    report.found = discovery::find(files);
    if (report.found.cpu >= 0)
        report.cpu = cpuPart(files, report.found.entries.at(report.found.cpu));
    if (report.found.gpu >= 0)
        report.gpu = gpuPart(files, report.found.entries.at(report.found.gpu));
    report.network = networkPart(files);
    report.memory = memoryPart(files);
    return report;
}

// Words for the decisions and the files.

QString openError(int error)
{
    return error == ENOENT ? u"no such file"_s
                           : u"cannot be opened: "_s + QString::fromLocal8Bit(std::strerror(error));
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

QString powerCaseName(gpupower::Case powerCase)
{
    switch (powerCase) {
    case gpupower::Case::Asleep: return u"asleep"_s;
    case gpupower::Case::Unknown: return u"power state unknown"_s;
    case gpupower::Case::StaysAwake: return u"stays awake"_s;
    case gpupower::Case::CouldAutosuspend: return u"could autosuspend"_s;
    }
    return {};
}

QString powerReason(gpupower::Reason reason)
{
    switch (reason) {
    case gpupower::Reason::Suspended: return u"suspended"_s;
    case gpupower::Reason::Suspending: return u"suspending"_s;
    case gpupower::Reason::StatusUnreadable: return u"runtime_status did not read"_s;
    case gpupower::Reason::NoPowerState: return u"the kernel shows no runtime power management for it"_s;
    case gpupower::Reason::ReadsDoNotMarkBusy: return u"its driver's temperature reads keep nothing awake"_s;
    case gpupower::Reason::RuntimePmDisabled: return u"runtime power management is off for it"_s;
    case gpupower::Reason::RuntimePmError: return u"its runtime power management failed"_s;
    case gpupower::Reason::UnknownStatus: return u"a power state the applet does not know"_s;
    case gpupower::Reason::NoControlFile: return u"no control file says whether it may suspend"_s;
    case gpupower::Reason::ControlNotAuto: return u"control is not auto: it may not suspend"_s;
    case gpupower::Reason::InUse: return u"runtime_usage above 0: another user holds it awake"_s;
    case gpupower::Reason::NeverAutosuspends: return u"a negative delay: it never suspends by itself"_s;
    case gpupower::Reason::Idle: return u"idle"_s;
    }
    return {};
}

// The file's text, or why it did not open.
QString fileText(const FileRead &file)
{
    return file.error == 0 ? printable::quoted(file.bytes) : openError(file.error);
}

// Why a temperature shows 0, where it does.
QString zeroWhy(const Reading &reading)
{
    if (reading.file.error != 0)
        return openError(reading.file.error);
    bool number = false;
    QString::fromUtf8(reading.file.bytes).trimmed().toInt(&number);
    return number ? u"below one degree"_s : u"not a whole number of millidegrees"_s;
}

QString dieWhy(const Reading &die)
{
    return (die.degrees == 0 ? zeroWhy(die) : u"not above 0 °C"_s) + u"; cpuTempTctl is cpuTemp then"_s;
}

QString powerLine(const GpuPart &gpu)
{
    const QString powerCase = powerCaseName(gpu.power.powerCase);
    const QString reason = powerReason(gpu.power.why);
    if (gpu.power.powerCase == gpupower::Case::Asleep)
        return powerCase + u" ("_s + reason + u"): left asleep, its temperatures are not read"_s;
    if (gpu.power.powerCase == gpupower::Case::Unknown)
        return powerCase + u" ("_s + reason + u"): not read, so that it is not woken"_s;
    const QString every = QString::number(double(gpupower::readPeriodMs(gpu.power)) / 1000.0) + u" s"_s;
    if (gpu.power.powerCase != gpupower::Case::CouldAutosuspend)
        return powerCase + u" ("_s + reason + u"): read every "_s + every;
    QString control = u"control auto"_s;
    QString usage = u"no runtime_usage"_s;
    for (const FileRead &file : gpu.powerFiles) {
        if (file.file == files::PowerControl && file.error != 0)
            control = u"control unreadable"_s;
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
    const QString noSensors = u"the machine shows no hardware sensors (no "_s + files::HwmonClass.toString() + u")"_s;
    auto zeroReading = [&notes](const Reading &reading, const QString &path) {
        if (reading.degrees == 0)
            notes.append({reading.property, reading.file.file + u" of "_s + printable::name(path, printable::PathLimit)
                                                + u": "_s + zeroWhy(reading)});
    };
    if (!report.cpu) {
        const QString why = report.hwmonFound ? u"no CPU sensor of a driver the applet reads ("_s
                + driverNames(hwmon::Category::Cpu) + u")"_s
                                              : noSensors;
        for (const char *property : {"cpuTemp", "cpuTempTctl", "cpuLabel"})
            notes.append({QLatin1StringView(property), why});
    } else {
        zeroReading(report.cpu->temp, report.cpu->path);
        const FileRead &label = report.cpu->label;
        if (!report.cpu->tctl)
            notes.append({u"cpuTempTctl"_s,
                          label.file
                              + (label.error == 0 ? u" reads "_s + printable::quoted(label.bytes) + u", not \"Tctl\""_s
                                                  : u": "_s + openError(label.error))
                              + u": the die temperature is shown for AMD's Tctl only"_s});
    }
    if (!report.gpu) {
        const QString why = report.hwmonFound ? u"no GPU sensor of a driver the applet reads ("_s
                + driverNames(hwmon::Category::Gpu) + u")"_s
                                              : noSensors;
        for (const char *property : {"gpuTemp", "gpuTempJunction", "gpuTempMem", "gpuLabel"})
            notes.append({QLatin1StringView(property), why});
    } else if (report.gpu->power.powerCase == gpupower::Case::Asleep) {
        for (const char *property : {"gpuTemp", "gpuTempJunction", "gpuTempMem"})
            notes.append({QLatin1StringView(property),
                          u"the card is asleep; the applet leaves it so, and reads it once it wakes up"_s});
    } else {
        for (const Reading &reading : report.gpu->readings)
            zeroReading(reading, report.gpu->path);
    }
    if (report.network.file.error != 0)
        notes.append({u"netSpeed"_s, files::NetDev.toString() + u" cannot be read: it shows NET 0/s"_s});
    if (report.memory.file.error != 0 || report.memory.figures.totalKb == 0)
        notes.append({u"memUsage"_s, files::MemInfo.toString() + u" gives no MemTotal: it shows MEM 0G 0%"_s});
    return notes;
}

// Readings that have a value users of such panels often question.
QList<Note> surprisingNotes(const Report &report)
{
    QList<Note> notes;
    if (report.memory.file.error == 0 && report.memory.figures.totalKb > 0 && !report.memory.figures.hasAvailable)
        notes.append({u"memUsage"_s, files::MemInfo.toString()
                          + u" has no MemAvailable (kernels before 3.14, some containers): the applet counts all "
                            "memory as used, so it shows "_s
                          + meminfo::usageText(report.memory.figures)});
    if (report.cpu && report.cpu->die && report.cpu->die->degrees > 0
        && report.cpu->die->degrees < report.cpu->temp.degrees)
        notes.append({u"cpuTempTctl"_s,
                      QString::number(report.cpu->tctlTemp) + u" °C, below cpuTemp's "_s
                          + QString::number(report.cpu->temp.degrees)
                          + u" °C: cpuTemp is temp1, Tctl, the control temperature, which carries an offset on "
                            "some models; cpuTempTctl is temp3, one die's own temperature"_s
                          + (report.cpu->driver == u"k10temp" ? u" (Tccd1 on k10temp)"_s : QString())});
    QStringList virtuals;
    bool physical = false;
    for (const Interface &interface : report.network.counted) {
        if (interface.hasDevice)
            physical = true;
        else
            virtuals << printable::name(interface.name);
    }
    if (report.network.classFound && !virtuals.isEmpty()) {
        const qsizetype most = 8;
        QString names = virtuals.mid(0, most).join(u", "_s);
        if (virtuals.size() > most)
            names += u" and "_s + QString::number(virtuals.size() - most) + u" more"_s;
        notes.append({u"netSpeed"_s,
                      u"counts interfaces with no device behind them (a bridge, veth, VPN, bond, VLAN, macvlan or "
                      "PPP): "_s
                          + names
                          + (physical ? u"; what they carry also crosses a counted interface with a device, so "
                                        "it may be counted twice"_s
                                      : QString())});
    }
    return notes;
}

QJsonObject fileJson(const FileRead &file)
{
    QJsonObject object{{u"file"_s, file.file}};
    if (file.error == 0)
        object.insert(u"text"_s, printable::escaped(file.bytes));
    else
        object.insert(u"why"_s, openError(file.error));
    return object;
}

QJsonObject readingJson(const Reading &reading)
{
    QJsonObject object = fileJson(reading.file);
    object.insert(u"property"_s, QString(reading.property));
    object.insert(u"degrees"_s, reading.degrees);
    if (reading.degrees == 0)
        object.insert(u"why"_s, zeroWhy(reading));
    return object;
}

QJsonArray notesJson(const QList<Note> &notes)
{
    QJsonArray array;
    for (const Note &note : notes)
        array.append(QJsonObject{{u"property"_s, note.property}, {u"why"_s, note.why}});
    return array;
}

QJsonObject toJson(const Report &report)
{
    QJsonArray entries;
    for (qsizetype i = 0; i < report.found.entries.size(); ++i) {
        const discovery::Device &device = report.found.entries.at(i);
        const discovery::Verdict verdict = discovery::verdictOf(report.found, i);
        QJsonObject entry{{u"entry"_s, printable::escaped(device.entry)},
                          {u"category"_s, categoryName(device.category)},
                          {u"chosen"_s, i == report.found.cpu || i == report.found.gpu},
                          {u"why"_s, verdictWords(device, verdict)}};
        if (device.nameError == 0)
            entry.insert(u"name"_s, printable::escaped(device.rawName));
        else
            entry.insert(u"nameError"_s, device.nameError == ENOENT ? u"no name file"_s : openError(device.nameError));
        entries.append(entry);
    }
    QJsonObject json{{u"machine"_s, printable::escaped(report.machine)},
                     {u"hwmon"_s,
                      QJsonObject{{u"folder"_s, files::HwmonClass.toString()},
                                  {u"found"_s, report.hwmonFound},
                                  {u"entries"_s, entries}}}};
    if (const std::optional<CpuPart> &cpu = report.cpu) {
        QJsonArray readings{readingJson(cpu->temp)};
        if (cpu->die) {
            QJsonObject die = readingJson(*cpu->die);
            if (cpu->die->degrees <= 0)
                die.insert(u"why"_s, dieWhy(*cpu->die));
            die.insert(u"fallback"_s, u"cpuTemp"_s);
            readings.append(die);
        }
        QJsonObject label = fileJson(cpu->label);
        label.insert(u"tctlRule"_s, cpu->tctl);
        json.insert(u"cpu"_s, QJsonObject{{u"path"_s, printable::escaped(cpu->path)},
                                          {u"driver"_s, printable::escaped(cpu->driver)},
                                          {u"readings"_s, readings},
                                          {u"label"_s, label},
                                          {u"cpuTempTctl"_s, cpu->tctlTemp}});
    }
    if (const std::optional<GpuPart> &gpu = report.gpu) {
        QJsonArray powerFiles;
        for (const FileRead &file : gpu->powerFiles)
            powerFiles.append(fileJson(file));
        // The first keys, of runtime_status, as before the other files were read.
        QJsonObject power = powerFiles.first().toObject();
        power.insert(u"asleep"_s, gpu->power.powerCase == gpupower::Case::Asleep);
        power.insert(u"files"_s, powerFiles);
        power.insert(u"case"_s, powerCaseName(gpu->power.powerCase));
        power.insert(u"reason"_s, powerReason(gpu->power.why));
        power.insert(u"readPeriodMs"_s, gpupower::readPeriodMs(gpu->power));
        if (gpu->power.powerCase == gpupower::Case::CouldAutosuspend) {
            power.insert(u"delayMs"_s, gpu->power.delayMs);
            power.insert(u"delayIsDefault"_s, gpu->power.delayIsDefault);
        }
        QJsonArray readings;
        for (const Reading &reading : gpu->readings)
            readings.append(readingJson(reading));
        json.insert(u"gpu"_s, QJsonObject{{u"path"_s, printable::escaped(gpu->path)},
                                          {u"driver"_s, printable::escaped(gpu->driver)},
                                          {u"power"_s, power},
                                          {u"readings"_s, readings}});
    }
    QJsonObject network{{u"file"_s, report.network.file.file}};
    if (report.network.file.error != 0) {
        network.insert(u"why"_s, openError(report.network.file.error));
    } else {
        QJsonArray counted;
        QJsonArray withoutDevice;
        for (const Interface &interface : report.network.counted) {
            counted.append(printable::escaped(interface.name));
            if (report.network.classFound && !interface.hasDevice)
                withoutDevice.append(printable::escaped(interface.name));
        }
        network.insert(u"counted"_s, counted);
        if (report.network.classFound)
            network.insert(u"withoutDevice"_s, withoutDevice);
    }
    json.insert(u"network"_s, network);
    QJsonObject memory{{u"file"_s, report.memory.file.file}};
    if (report.memory.file.error != 0) {
        memory.insert(u"why"_s, openError(report.memory.file.error));
    } else {
        memory.insert(u"MemTotal"_s, QString::number(report.memory.figures.totalKb));
        memory.insert(u"MemAvailable"_s, QString::number(report.memory.figures.availableKb));
        memory.insert(u"hasMemAvailable"_s, report.memory.figures.hasAvailable);
    }
    json.insert(u"memory"_s, memory);
    json.insert(u"missing"_s, notesJson(missingNotes(report)));
    json.insert(u"surprising"_s, notesJson(surprisingNotes(report)));
    return json;
}

QString readingLine(const Reading &reading, const QString &why = {})
{
    QString line = u"  "_s + reading.file.file + u"  "_s
        + (reading.file.error == 0 ? printable::quoted(reading.file.bytes) : u"-"_s) + u"  "_s
        + QString::number(reading.degrees) + u" °C  "_s + reading.property;
    const QString note = !why.isEmpty() ? why : reading.degrees == 0 ? zeroWhy(reading) : QString();
    if (!note.isEmpty())
        line += u" ("_s + note + u")"_s;
    return line;
}

QStringList toText(const Report &report)
{
    QStringList lines;
    lines << (report.machine.isEmpty() ? u"What the applet sees on this machine, and why."_s
                                       : u"What the applet sees on the machine in "_s
                                             + printable::name(QFile::encodeName(report.machine), 200)
                                             + u", and why."_s);
    const QString folder = files::HwmonClass.toString();
    if (!report.hwmonFound) {
        lines << u"No "_s + folder + u": the machine shows no hardware sensors (as most virtual machines)."_s;
    } else {
        const QList<discovery::Device> &entries = report.found.entries;
        lines << u"Sensors in "_s + folder + u", in the applet's order ("_s
                + (entries.isEmpty() ? u"none"_s : QString::number(entries.size())) + u"):"_s;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const discovery::Device &device = entries.at(i);
            const bool chosen = i == report.found.cpu || i == report.found.gpu;
            const QString name = device.nameError == 0 ? printable::quoted(device.rawName)
                : device.nameError == ENOENT  ? u"no name file"_s
                                              : openError(device.nameError);
            lines << u"  "_s + printable::name(device.entry) + u"  "_s + name + u"  "_s + categoryName(device.category) + u"  "_s
                    + (chosen ? u"chosen"_s : u"passed over"_s) + u": "_s
                    + verdictWords(device, discovery::verdictOf(report.found, i));
        }
    }
    if (const std::optional<CpuPart> &cpu = report.cpu) {
        lines << u"CPU sensor: "_s + printable::name(cpu->path, printable::PathLimit) + u" ("_s
                + printable::name(cpu->driver) + u")"_s;
        lines << readingLine(cpu->temp);
        // The label comes right after temp1, which it qualifies.
        lines << u"  "_s + cpu->label.file + u"  "_s + fileText(cpu->label) + u"  "_s
                + (cpu->tctl ? u"Tctl: cpuTempTctl is temp3 when above 0 °C, else cpuTemp"_s
                             : u"not Tctl: cpuTempTctl stays as it is, 0 from the start"_s);
        if (cpu->die)
            lines << readingLine(*cpu->die, cpu->die->degrees > 0 ? QString() : dieWhy(*cpu->die));
    }
    if (const std::optional<GpuPart> &gpu = report.gpu) {
        lines << u"GPU sensor: "_s + printable::name(gpu->path, printable::PathLimit) + u" ("_s
                + printable::name(gpu->driver) + u")"_s;
        for (const FileRead &file : gpu->powerFiles)
            lines << u"  "_s + file.file + u"  "_s + fileText(file);
        lines << u"  "_s + powerLine(*gpu);
        for (const Reading &reading : gpu->readings)
            lines << readingLine(reading);
    }
    const QString netDev = report.network.file.file;
    if (report.network.file.error != 0) {
        lines << u"Network: "_s + netDev + u": "_s + openError(report.network.file.error);
    } else {
        QStringList names;
        for (const Interface &interface : report.network.counted)
            names << printable::name(interface.name);
        if (names.isEmpty())
            names << u"none"_s;
        lines << printable::wrapped(u"Network: "_s + netDev + u", every interface but lo:"_s, names, u"  "_s);
    }
    const QString memInfo = report.memory.file.file;
    lines << (report.memory.file.error != 0
                  ? u"Memory: "_s + memInfo + u": "_s + openError(report.memory.file.error)
                  : u"Memory: "_s + memInfo + u", MemTotal "_s + QString::number(report.memory.figures.totalKb)
                        + u" kB, MemAvailable "_s
                        + (report.memory.figures.hasAvailable
                               ? QString::number(report.memory.figures.availableKb) + u" kB"_s
                               : u"missing"_s));

    const QList<Note> missing = missingNotes(report);
    const QList<Note> surprising = surprisingNotes(report);
    if (missing.isEmpty())
        lines << u"Every reading has a value."_s;
    else
        lines << u"Readings that show 0 or nothing:"_s;
    for (const Note &note : missing)
        lines << u"  "_s + note.property + u": "_s + note.why;
    if (!surprising.isEmpty())
        lines << u"Readings that may surprise:"_s;
    for (const Note &note : surprising)
        lines << u"  "_s + note.property + u": "_s + note.why;
    return lines;
}

} // namespace

void explainMachine(const QString &machineDir, bool json)
{
    const Report report = makeReport(machineDir);
    const QByteArray out = json ? QJsonDocument(toJson(report)).toJson(QJsonDocument::Compact) + '\n'
                                : (toText(report).join(u'\n') + u'\n').toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
}

} // namespace vesh
