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
    NoNameFile,
    NameUnreadable,   // its name file did not open for another reason
    NameEndsInNul,    // a driver's name followed by NUL bytes, which the whole-name test does not take
    NotADriver,       // of no driver the applet reads
};

Verdict verdictOf(const Devices &found, qsizetype index);

// Lists the hwmon class and reads every entry's name, once. For each
// category the last entry in listing order whose driver name selects it
// is chosen.
Devices find(const MachineFiles &machine);

// The folder of a device as the applet keeps and logs it.
QString devicePath(const QString &entry);

} // namespace vesh::discovery
