#pragma once

#include "cycle.h"
#include "machinefiles.h"

#include <QList>
#include <QString>

#include <optional>

// The PCI device that a hwmon device belongs to, which tells two cards of
// one driver apart: an APU's graphics from a discrete card, one card from
// another.
namespace vesh::pcidevice {

// The folder of the PCI device that a device folder under /sys/devices
// lies in, or is: the path through its deepest part that is a PCI address
// (0000:0c:00.0, as the kernel names PCI devices); empty where none is.
QString folderOf(const QString &deviceFolder);

struct Identity
{
    QString folder;        // /sys/devices/pci0000:00/.../0000:0c:00.0
    QString address;       // 0000:0c:00.0, its last part
    QList<cycle::FileRead> ids; // files::PciIdFiles as read, in that order
};

// The PCI device of deviceFolder on machine, with its IDs; none where the
// folder lies in no PCI device.
std::optional<Identity> identify(const MachineFiles &machine, const QString &deviceFolder);

} // namespace vesh::pcidevice
