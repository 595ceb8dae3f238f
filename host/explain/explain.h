#pragma once

#include <QString>

namespace vesh {

// Prints what the applet sees on this machine, or on the machine folder
// machineDir if one is given, and why: every hwmon entry with its driver
// name, whether it was chosen and which device it is (its folder under
// /sys/devices, and for a PCI device its address, IDs and whether it is
// the boot display), the chosen devices' readings, the network interfaces
// and memory figures that count, why each reading that shows 0 or nothing
// does so, and why a reading that surprises is right. As text, or as one
// JSON object. Of the devices it reads nothing the applet does not read
// but PCI IDs, which the kernel keeps in memory, so it never wakes a
// sleeping card; beyond them, only the interfaces' device links in
// /sys/class/net. readNow: the runner was told to read at once, rather
// than wait for the card's read window.
void explainMachine(const QString &machineDir, bool json, bool readNow);

} // namespace vesh
