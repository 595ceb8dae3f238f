#include "discovery.h"

#include "files.h"

#include <cerrno>

namespace vesh::discovery {

Devices find(const MachineFiles &machine)
{
    Devices found;
    // The class's devices: folders and the links to folders that they are,
    // named hwmon* in any case (CaseSensitive is not among the filters), in
    // the folder's own sort, by name ignoring case: hwmon10 before hwmon2.
    const QStringList entries =
        machine.entryList(files::HwmonClass, {QStringLiteral("hwmon*")}, QDir::Dirs, QDir::NoSort);
    for (const QString &entry : entries) {
        Device device;
        device.entry = entry;
        device.folderError = machine.resolve({files::HwmonClass, u"/", entry}, &device.folder).error;
        kernelfile::Buffer name;
        const kernelfile::Result read = device.folderError != 0
            ? kernelfile::Result{device.folderError}
            : machine.read({device.folder, u"/", files::DriverName}, &name, kernelfile::OnePage);
        device.nameError = read.error;
        if (read) {
            device.rawName = QByteArray(name.constData(), name.size());
            // Trimmed only, NULs kept: see "Driver names trimmed" in docs/kept-on-purpose.md.
            device.driverName = QString::fromUtf8(device.rawName).trimmed();
            device.driver = hwmon::driverOf(device.driverName);
            if (device.driver)
                device.category = device.driver->category;
        }
        // hwmon10 is listed before hwmon2; the last match of a category wins.
        // Kept on purpose: see "The listing order" in docs/kept-on-purpose.md.
        if (device.category == hwmon::Category::Cpu)
            found.cpu = found.entries.size();
        else if (device.category == hwmon::Category::Gpu)
            found.gpu = found.entries.size();
        found.entries.append(device);
    }
    return found;
}

Verdict verdictOf(const Devices &found, qsizetype index)
{
    const Device &device = found.entries.at(index);
    if (index == found.cpu)
        return Verdict::ChosenCpu;
    if (index == found.gpu)
        return Verdict::ChosenGpu;
    if (device.folderError != 0)
        return Verdict::NoFolder;
    if (device.nameError != 0)
        return device.nameError == ENOENT ? Verdict::NoNameFile : Verdict::NameUnreadable;
    if (device.category != hwmon::Category::None)
        return Verdict::LaterDeviceWins;
    // Some drivers pad the name file to a page with NUL bytes, which trimming
    // keeps.
    const qsizetype nul = device.rawName.indexOf('\0');
    if (nul >= 0 && hwmon::driverOf(QString::fromUtf8(device.rawName.first(nul)).trimmed()))
        return Verdict::NameEndsInNul;
    return Verdict::NotADriver;
}

QString devicePath(const QString &entry)
{
    return QStringLiteral("%1/%2").arg(files::HwmonClass, entry);
}

} // namespace vesh::discovery
