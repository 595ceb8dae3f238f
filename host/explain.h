#pragma once

#include <QString>

namespace vesh {

// Prints what the applet sees on this machine, or on the machine folder
// machineDir if one is given, and why: every hwmon entry with its driver
// name and whether it was chosen, the chosen devices' readings, the network
// interfaces and memory figures that count, and why each reading that
// shows 0 or nothing does so. As text, or as one JSON object. It reads
// nothing the applet does not read, so it never wakes a sleeping card.
void explainMachine(const QString &machineDir, bool json);

} // namespace vesh
