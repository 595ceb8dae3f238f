#include "explain.h"

#include "discovery.h"
#include "gpupower.h"
#include "meminfo.h"
#include "netdev.h"
#include "refreshinterval.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vesh {

namespace {

// A file's bytes as they are, with what does not print escaped.
QString escaped(QByteArrayView bytes)
{
    QString text;
    for (const char byte : bytes) {
        switch (byte) {
        case '\0': text += QStringLiteral("\\0"); break;
        case '\n': text += QStringLiteral("\\n"); break;
        case '\t': text += QStringLiteral("\\t"); break;
        case '\\': text += QStringLiteral("\\\\"); break;
        default:
            if (uchar(byte) >= 0x20 && uchar(byte) < 0x7f)
                text += QLatin1Char(byte);
            else
                text += QStringLiteral("\\x%1").arg(uchar(byte), 2, 16, QLatin1Char('0'));
        }
    }
    return text;
}

QString openError(int error)
{
    return error == ENOENT ? QStringLiteral("no such file")
                           : QStringLiteral("cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
}

QString categoryName(hwmon::Category category)
{
    switch (category) {
    case hwmon::Category::Cpu: return QStringLiteral("CPU");
    case hwmon::Category::Gpu: return QStringLiteral("GPU");
    case hwmon::Category::None: break;
    }
    return QStringLiteral("none");
}

// One file of a chosen device, read as the applet reads it: entry names
// the file and holds its text, escaped, or why it did not open.
bool deviceFile(const MachineFiles &files, const QString &device, const QString &file, QJsonObject *entry,
                kernelfile::Buffer *contents)
{
    entry->insert(QStringLiteral("file"), file);
    if (!files.read({device, u"/", file}, contents, kernelfile::End::ShortRead)) {
        entry->insert(QStringLiteral("why"), openError(errno));
        return false;
    }
    entry->insert(QStringLiteral("text"), escaped(QByteArrayView(*contents)));
    return true;
}

// A temperature file: the whole degrees it gives, or why it gives 0.
QJsonObject reading(const MachineFiles &files, const QString &device, const QString &file, const QString &property)
{
    QJsonObject result{{QStringLiteral("property"), property}};
    kernelfile::Buffer contents;
    if (!deviceFile(files, device, file, &result, &contents)) {
        result.insert(QStringLiteral("degrees"), 0);
        return result;
    }
    const QByteArrayView bytes(contents);
    const int degrees = hwmon::degreesFromFile(bytes);
    result.insert(QStringLiteral("degrees"), degrees);
    if (degrees == 0) {
        bool number = false;
        QString::fromUtf8(bytes).trimmed().toInt(&number);
        result.insert(QStringLiteral("why"), number ? QStringLiteral("below one degree")
                                                    : QStringLiteral("not a whole number of millidegrees"));
    }
    return result;
}

QJsonObject hwmonPart(const MachineFiles &files, const discovery::Devices &found)
{
    QJsonArray entries;
    for (qsizetype i = 0; i < found.entries.size(); ++i) {
        const discovery::Device &device = found.entries.at(i);
        QJsonObject entry{{QStringLiteral("entry"), device.entry},
                          {QStringLiteral("category"), categoryName(device.category)},
                          {QStringLiteral("chosen"), i == found.cpu || i == found.gpu}};
        QString why;
        if (!device.named) {
            entry.insert(QStringLiteral("nameError"), device.nameError == ENOENT ? QStringLiteral("no name file")
                                                                                 : openError(device.nameError));
            why = QStringLiteral("it has no driver name");
        } else {
            entry.insert(QStringLiteral("name"), escaped(device.rawName));
            if (i == found.cpu)
                why = QStringLiteral("the CPU sensor");
            else if (i == found.gpu)
                why = QStringLiteral("the GPU sensor");
            else if (device.category != hwmon::Category::None)
                why = QStringLiteral("a later %1 device wins").arg(categoryName(device.category));
            else
                why = QStringLiteral("not a driver the applet reads");
        }
        entry.insert(QStringLiteral("why"), why);
        entries.append(entry);
    }
    return {{QStringLiteral("folder"), files::HwmonClass.toString()},
            {QStringLiteral("found"), QFileInfo(files.path(files::HwmonClass)).isDir()},
            {QStringLiteral("entries"), entries}};
}

QJsonObject cpuPart(const MachineFiles &files, const discovery::Device &device)
{
    const QString path = discovery::devicePath(device.entry);
    QJsonArray readings{reading(files, path, files::tempInput(1), QStringLiteral("cpuTemp"))};
    QJsonObject label;
    kernelfile::Buffer contents;
    const bool tctl = deviceFile(files, path, files::CpuLabel.toString(), &label, &contents)
        && hwmon::trimmedEquals(QByteArrayView(contents), QLatin1StringView("Tctl"));
    label.insert(QStringLiteral("tctlRule"), tctl);
    if (tctl) {
        // At 0 or below, cpuTempTctl falls back to cpuTemp.
        QJsonObject die = reading(files, path, files::tempInput(3), QStringLiteral("cpuTempTctl"));
        if (die[u"degrees"].toInt() <= 0)
            die.insert(QStringLiteral("why"), die[u"why"].toString(QStringLiteral("not above 0 °C"))
                                                  + QStringLiteral("; cpuTempTctl is cpuTemp then"));
        die.insert(QStringLiteral("fallback"), QStringLiteral("cpuTemp"));
        readings.append(die);
    }
    return {{QStringLiteral("path"), path}, {QStringLiteral("driver"), device.driverName},
            {QStringLiteral("readings"), readings}, {QStringLiteral("label"), label}};
}

QString powerCaseName(gpupower::Case powerCase)
{
    switch (powerCase) {
    case gpupower::Case::Asleep: return QStringLiteral("asleep");
    case gpupower::Case::StaysAwake: return QStringLiteral("stays awake");
    case gpupower::Case::CouldAutosuspend: return QStringLiteral("could autosuspend");
    }
    return {};
}

QString powerReason(gpupower::Reason reason)
{
    switch (reason) {
    case gpupower::Reason::Suspended: return QStringLiteral("suspended");
    case gpupower::Reason::Suspending: return QStringLiteral("suspending");
    case gpupower::Reason::NoPowerState: return QStringLiteral("the kernel shows no runtime power management for it");
    case gpupower::Reason::ReadsDoNotMarkBusy:
        return QStringLiteral("its driver's temperature reads keep nothing awake");
    case gpupower::Reason::RuntimePmDisabled: return QStringLiteral("runtime power management is off for it");
    case gpupower::Reason::RuntimePmError: return QStringLiteral("its runtime power management failed");
    case gpupower::Reason::UnknownStatus: return QStringLiteral("a power state the applet does not know");
    case gpupower::Reason::ControlUnreadable: return QStringLiteral("no control file says whether it may suspend");
    case gpupower::Reason::ControlNotAuto: return QStringLiteral("control is not auto: it may not suspend");
    case gpupower::Reason::InUse: return QStringLiteral("runtime_usage above 0: another user holds it awake");
    case gpupower::Reason::NeverAutosuspends: return QStringLiteral("a negative delay: it never suspends by itself");
    case gpupower::Reason::Idle: return QStringLiteral("idle");
    }
    return {};
}

QJsonObject gpuPart(const MachineFiles &files, const discovery::Device &device)
{
    const QString path = discovery::devicePath(device.entry);
    // The power files as the applet reads them, each with its text or why
    // it did not open.
    QJsonArray powerFiles;
    const gpupower::Reader machine = gpupower::reader(files, path);
    const gpupower::Decision decision =
        gpupower::decide(device.readsMarkBusy, [&](gpupower::File file, kernelfile::Buffer *contents) {
            const bool opened = machine(file, contents);
            QJsonObject entry{{QStringLiteral("file"), gpupower::path(file).toString()}};
            if (opened)
                entry.insert(QStringLiteral("text"), escaped(QByteArrayView(*contents)));
            else
                entry.insert(QStringLiteral("why"), openError(errno));
            powerFiles.append(entry);
            return opened;
        });
    const bool asleep = decision.powerCase == gpupower::Case::Asleep;
    QJsonObject power = powerFiles.first().toObject();
    power.insert(QStringLiteral("asleep"), asleep);
    power.insert(QStringLiteral("files"), powerFiles);
    power.insert(QStringLiteral("case"), powerCaseName(decision.powerCase));
    power.insert(QStringLiteral("reason"), powerReason(decision.why));
    power.insert(QStringLiteral("readPeriodMs"), gpupower::readPeriodMs(decision, RefreshIntervalMs));
    if (decision.powerCase == gpupower::Case::CouldAutosuspend)
        power.insert(QStringLiteral("delayMs"), decision.delayMs);
    // A sleeping card is left asleep: its temperatures are not read.
    QJsonArray readings;
    if (!asleep) {
        const char *const properties[] = {"gpuTemp", "gpuTempJunction", "gpuTempMem"};
        for (int index = 1; index <= 3; ++index)
            readings.append(reading(files, path, files::tempInput(index), QLatin1StringView(properties[index - 1])));
    }
    return {{QStringLiteral("path"), path}, {QStringLiteral("driver"), device.driverName},
            {QStringLiteral("power"), power}, {QStringLiteral("readings"), readings}};
}

QJsonObject networkPart(const MachineFiles &files)
{
    QJsonObject network{{QStringLiteral("file"), files::NetDev.toString()}};
    kernelfile::Buffer contents;
    if (!files.read({files::NetDev}, &contents, kernelfile::End::EmptyRead)) {
        network.insert(QStringLiteral("why"), openError(errno));
        return network;
    }
    QJsonArray counted;
    netdev::forEachInterface(QByteArrayView(contents), [&counted](const netdev::Interface &interface) {
        counted.append(QString::fromLatin1(interface.name));
    });
    network.insert(QStringLiteral("counted"), counted);
    return network;
}

QJsonObject memoryPart(const MachineFiles &files)
{
    QJsonObject memory{{QStringLiteral("file"), files::MemInfo.toString()}};
    kernelfile::Buffer contents;
    if (!files.read({files::MemInfo}, &contents, kernelfile::End::ShortRead)) {
        memory.insert(QStringLiteral("why"), openError(errno));
        return memory;
    }
    const meminfo::Figures figures = meminfo::figuresFromText(QByteArrayView(contents));
    memory.insert(QStringLiteral("MemTotal"), QString::number(figures.totalKb));
    memory.insert(QStringLiteral("MemAvailable"), QString::number(figures.availableKb));
    return memory;
}

// For every reading that shows 0 or nothing, why, in a user's words.
QJsonArray missingPart(const QJsonObject &report)
{
    QJsonArray missing;
    auto add = [&missing](const QString &property, const QString &why) {
        missing.append(QJsonObject{{QStringLiteral("property"), property}, {QStringLiteral("why"), why}});
    };
    auto zeroReadings = [&add](const QJsonObject &device) {
        const QJsonArray readings = device.value(u"readings").toArray();
        for (const QJsonValue &reading : readings) {
            if (reading[u"degrees"].toInt() == 0 && !reading[u"fallback"].isString())
                add(reading[u"property"].toString(),
                    QStringLiteral("%1 of %2: %3")
                        .arg(reading[u"file"].toString(), device[u"path"].toString(), reading[u"why"].toString()));
        }
    };

    const bool hwmon = report[u"hwmon"][u"found"].toBool();
    const QString noSensors = hwmon ? QString() : QStringLiteral("the machine shows no hardware sensors (no %1)")
                                                      .arg(files::HwmonClass);
    const QJsonObject cpu = report[u"cpu"].toObject();
    if (cpu.isEmpty()) {
        const QString why = hwmon ? QStringLiteral("no CPU sensor of a driver the applet reads (k10temp, coretemp, "
                                                   "zenpower)")
                                  : noSensors;
        for (const char *property : {"cpuTemp", "cpuTempTctl", "cpuLabel"})
            add(QLatin1StringView(property), why);
    } else {
        zeroReadings(cpu);
        const QJsonObject label = cpu[u"label"].toObject();
        if (!label[u"tctlRule"].toBool())
            add(QStringLiteral("cpuTempTctl"),
                label.contains(u"text")
                    ? QStringLiteral("%1 reads \"%2\", not \"Tctl\": the die temperature is shown for AMD's Tctl only")
                          .arg(label[u"file"].toString(), label[u"text"].toString())
                    : QStringLiteral("%1: %2; the die temperature is shown for AMD's Tctl only")
                          .arg(label[u"file"].toString(), label[u"why"].toString()));
    }
    const QJsonObject gpu = report[u"gpu"].toObject();
    if (gpu.isEmpty()) {
        const QString why = hwmon ? QStringLiteral("no GPU sensor of a driver the applet reads (amdgpu, radeon, "
                                                   "nouveau)")
                                  : noSensors;
        for (const char *property : {"gpuTemp", "gpuTempJunction", "gpuTempMem", "gpuLabel"})
            add(QLatin1StringView(property), why);
    } else if (gpu[u"power"][u"asleep"].toBool()) {
        for (const char *property : {"gpuTemp", "gpuTempJunction", "gpuTempMem"})
            add(QLatin1StringView(property),
                QStringLiteral("the card is asleep; the applet leaves it so, and reads it once it wakes up"));
    } else {
        zeroReadings(gpu);
    }
    if (report[u"network"].toObject().contains(u"why"))
        add(QStringLiteral("netSpeed"), QStringLiteral("%1 cannot be read: it shows NET 0/s").arg(files::NetDev));
    const QJsonObject memory = report[u"memory"].toObject();
    if (memory.contains(u"why") || memory[u"MemTotal"].toString() == u"0")
        add(QStringLiteral("memUsage"),
            QStringLiteral("%1 gives no MemTotal: it shows MEM 0G 0%").arg(files::MemInfo));
    return missing;
}

// The GPU's power case and how often the applet reads it, in a user's words.
QString powerLine(const QJsonObject &power, const QString &usage)
{
    const QString powerCase = power[u"case"].toString();
    const QString reason = power[u"reason"].toString();
    const qint64 period = power[u"readPeriodMs"].toInteger();
    if (power[u"asleep"].toBool())
        return QStringLiteral("asleep (") + reason + QStringLiteral("): left asleep, its temperatures are not read");
    const QString every = QString::number(double(period) / 1000.0) + QStringLiteral(" s");
    if (powerCase == u"could autosuspend")
        return powerCase + QStringLiteral(" (control auto, ") + usage + QStringLiteral(", delay ")
            + QString::number(power[u"delayMs"].toInteger()) + QStringLiteral(" ms): read once per ") + every
            + QStringLiteral(", so that it can sleep");
    return powerCase + QStringLiteral(" (") + reason + QStringLiteral("): read every ") + every;
}

void printText(const QJsonObject &report)
{
    QStringList lines;
    const QString machine = report[u"machine"].toString();
    lines << (machine.isEmpty() ? QStringLiteral("What the applet sees on this machine, and why.")
                                : QStringLiteral("What the applet sees on the machine in %1, and why.").arg(machine));
    const QJsonObject hwmon = report[u"hwmon"].toObject();
    if (!hwmon[u"found"].toBool()) {
        lines << QStringLiteral("No %1: the machine shows no hardware sensors (as most virtual machines).")
                     .arg(hwmon[u"folder"].toString());
    } else {
        const QJsonArray entries = hwmon[u"entries"].toArray();
        lines << QStringLiteral("Sensors in %1, in the applet's order (%2):")
                     .arg(hwmon[u"folder"].toString(), entries.isEmpty() ? QStringLiteral("none")
                                                                         : QString::number(entries.size()));
        for (const QJsonValue &entry : entries) {
            const QString name = entry[u"name"].isString() ? u'"' + entry[u"name"].toString() + u'"'
                                                            : entry[u"nameError"].toString();
            lines << QStringLiteral("  %1  %2  %3  %4: %5")
                         .arg(entry[u"entry"].toString(), name, entry[u"category"].toString(),
                              entry[u"chosen"].toBool() ? QStringLiteral("chosen") : QStringLiteral("passed over"),
                              entry[u"why"].toString());
        }
    }
    auto device = [&lines](const QString &title, const QJsonObject &part) {
        if (part.isEmpty())
            return;
        lines << QStringLiteral("%1: %2 (%3)").arg(title, part[u"path"].toString(), part[u"driver"].toString());
        const QJsonObject power = part[u"power"].toObject();
        const QJsonArray powerFiles = power[u"files"].toArray();
        QString usage = QStringLiteral("no runtime_usage");
        for (const QJsonValue &file : powerFiles) {
            lines << QStringLiteral("  %1  %2").arg(file[u"file"].toString(),
                                                    file[u"text"].isString() ? u'"' + file[u"text"].toString() + u'"'
                                                                             : file[u"why"].toString());
            if (file[u"file"].toString() == files::RuntimeUsage && file[u"text"].isString())
                usage = QStringLiteral("runtime_usage ") + file[u"text"].toString().remove(QStringLiteral("\\n"));
        }
        if (!power.isEmpty())
            lines << QStringLiteral("  ") + powerLine(power, usage);
        const QJsonObject label = part[u"label"].toObject();
        const QJsonArray readings = part[u"readings"].toArray();
        for (qsizetype i = 0; i < readings.size(); ++i) {
            const QJsonValue reading = readings.at(i);
            QString line = QStringLiteral("  %1  %2  %3 °C  %4")
                               .arg(reading[u"file"].toString(),
                                    reading[u"text"].isString() ? u'"' + reading[u"text"].toString() + u'"'
                                                                : QStringLiteral("-"))
                               .arg(reading[u"degrees"].toInt())
                               .arg(reading[u"property"].toString());
            if (reading[u"why"].isString())
                line += QStringLiteral(" (%1)").arg(reading[u"why"].toString());
            lines << line;
            // The label comes right after temp1, which it qualifies.
            if (i == 0 && !label.isEmpty())
                lines << QStringLiteral("  %1  %2  %3").arg(
                    label[u"file"].toString(),
                    label.contains(u"text") ? u'"' + label[u"text"].toString() + u'"' : label[u"why"].toString(),
                    label[u"tctlRule"].toBool()
                        ? QStringLiteral("Tctl: cpuTempTctl is temp3 when above 0 °C, else cpuTemp")
                        : QStringLiteral("not Tctl: cpuTempTctl stays as it is, 0 from the start"));
        }
    };
    device(QStringLiteral("CPU sensor"), report[u"cpu"].toObject());
    device(QStringLiteral("GPU sensor"), report[u"gpu"].toObject());

    const QJsonObject network = report[u"network"].toObject();
    QStringList counted;
    const QJsonArray names = network[u"counted"].toArray();
    for (const QJsonValue &name : names)
        counted << name.toString();
    lines << (network.contains(u"why")
                  ? QStringLiteral("Network: %1: %2").arg(network[u"file"].toString(), network[u"why"].toString())
                  : QStringLiteral("Network: %1, every interface but lo: %2")
                        .arg(network[u"file"].toString(),
                             counted.isEmpty() ? QStringLiteral("none") : counted.join(QStringLiteral(", "))));
    const QJsonObject memory = report[u"memory"].toObject();
    lines << (memory.contains(u"why")
                  ? QStringLiteral("Memory: %1: %2").arg(memory[u"file"].toString(), memory[u"why"].toString())
                  : QStringLiteral("Memory: %1, MemTotal %2 kB, MemAvailable %3 kB")
                        .arg(memory[u"file"].toString(), memory[u"MemTotal"].toString(),
                             memory[u"MemAvailable"].toString()));

    const QJsonArray missing = report[u"missing"].toArray();
    if (missing.isEmpty())
        lines << QStringLiteral("Every reading has a value.");
    else
        lines << QStringLiteral("Readings that show 0 or nothing:");
    for (const QJsonValue &item : missing)
        lines << QStringLiteral("  %1: %2").arg(item[u"property"].toString(), item[u"why"].toString());
    std::fputs(qPrintable(lines.join(u'\n') + u'\n'), stdout);
}

} // namespace

void explainMachine(const QString &machineDir, bool json)
{
    const MachineFiles files = machineDir.isEmpty() ? MachineFiles() : MachineFiles(machineDir);
    const discovery::Devices found = discovery::find(files);
    QJsonObject report{{QStringLiteral("machine"), machineDir}, {QStringLiteral("hwmon"), hwmonPart(files, found)}};
    if (found.cpu >= 0)
        report.insert(QStringLiteral("cpu"), cpuPart(files, found.entries.at(found.cpu)));
    if (found.gpu >= 0)
        report.insert(QStringLiteral("gpu"), gpuPart(files, found.entries.at(found.gpu)));
    report.insert(QStringLiteral("network"), networkPart(files));
    report.insert(QStringLiteral("memory"), memoryPart(files));
    report.insert(QStringLiteral("missing"), missingPart(report));
    if (json)
        std::fputs(QJsonDocument(report).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
    else
        printText(report);
}

} // namespace vesh
