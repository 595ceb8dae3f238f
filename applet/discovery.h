#pragma once

#include "hwmon.h"
#include "machinefiles.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Which hwmon devices the applet reads: every entry of /sys/class/hwmon
// with its driver name, and the CPU and GPU devices chosen from them.
namespace vesh::discovery {

struct Device
{
    QString entry;                 // "hwmon2"
    // Its device's own folder, the one it leads to: /sys/devices/.../hwmon/hwmon2,
    // or /sys/class/hwmon/hwmon2 where the entry is a plain folder; empty
    // where it could not be found, with the errno of the lookup.
    QString folder;
    int folderError = 0;
    int nameError = 0;             // errno of the open that failed; 0 when it opened
    QByteArray rawName;            // the name file as read
    QString driverName;            // decoded as UTF-8 and trimmed
    hwmon::Category category = hwmon::Category::None;
    const hwmon::Driver *driver = nullptr; // of the applet's drivers, where it is one
};

struct Devices
{
    QList<Device> entries; // in the applet's listing order
    qsizetype cpu = -1;    // index of the chosen CPU device; -1 for none
    qsizetype gpu = -1;    // the same for the GPU
};

// What discovery made of an entry, and why.
enum class Verdict {
    ChosenCpu,
    ChosenGpu,
    LaterDeviceWins,  // of its category, listed later
    NoFolder,         // its device's folder could not be found
    NoNameFile,
    NameUnreadable,   // its name file did not open for another reason
    NameEndsInNul,    // a driver's name followed by NUL bytes, which the whole-name test does not take
    NotADriver,       // of no driver the applet reads
};

Verdict verdictOf(const Devices &found, qsizetype index);

// Lists the hwmon class, finds every entry's device folder and reads the
// name there, once, so that the name and every later read are of the
// device the entry led to then. For each category the last entry in
// listing order whose driver name selects it is chosen.
Devices find(const MachineFiles &machine);

// The entry of a device as the applet keeps and logs it: /sys/class/hwmon/hwmon2.
QString devicePath(const QString &entry);

} // namespace vesh::discovery
