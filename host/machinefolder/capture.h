#pragma once

#include <QString>
#include <QStringList>

namespace vesh {

// Writes what the applet reads of this machine, or of the machine folder
// machineDir if one is given, into the new folder dir, laid out as a
// fixture machine for --machine: each entry of /sys/class/hwmon (a link
// into its device folder under sys/devices, or a plain folder) with the
// device's name, temp*_input and temp1_label, and
// device/power/ files where there are some, and the vendor, device and
// boot_vga files of the PCI device it belongs to; /proc/net/dev and
// /proc/meminfo. Every file is copied byte for byte; no other file is read.
// A device's temperatures are read only where the applet's power rule
// would read them now, taking this as a reader's start only if readNow:
// else a graphics card that could suspend itself is read only in its
// window, and one that sleeps, wakes or whose power state does not read is
// not read at all. Then the
// applet of the plugins at pluginPaths is run on the capture, and its
// readings go into dir/expected.json. The capture is made beside dir and
// renamed at the end, so dir is either complete or not made at all. Prints
// what was captured. False with a one-line reason.
bool captureMachine(const QString &dir, const QString &machineDir, const QStringList &pluginPaths, bool readNow,
                    QString *error);

} // namespace vesh
