#include "discovery.h"

#include <cerrno>

namespace vesh::discovery {

Devices find(const MachineFiles &files)
{
    Devices found;
    const QStringList entries = files.hwmonEntries();
    for (const QString &entry : entries) {
        Device device;
        device.entry = entry;
        kernelfile::Buffer name;
        device.named = files.read({files::HwmonClass, u"/", entry, u"/", files::DriverName}, &name,
                                  kernelfile::End::ShortRead);
        if (!device.named) {
            device.nameError = errno;
        } else {
            device.rawName = QByteArray(name.constData(), name.size());
            device.driverName = QString::fromUtf8(device.rawName).trimmed();
            if (const hwmon::Driver *driver = hwmon::driverOf(device.driverName)) {
                device.category = driver->category;
                device.readsMarkBusy = driver->readsMarkBusy;
            }
        }
        // hwmon10 is listed before hwmon2; the last match of a category wins.
        if (device.category == hwmon::Category::Cpu)
            found.cpu = found.entries.size();
        else if (device.category == hwmon::Category::Gpu)
            found.gpu = found.entries.size();
        found.entries.append(device);
    }
    return found;
}

QString devicePath(const QString &entry)
{
    return QStringLiteral("%1/%2").arg(files::HwmonClass, entry);
}

} // namespace vesh::discovery
