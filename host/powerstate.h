#pragma once

#include <QByteArrayView>

namespace vesh::powerstate {

// Whether a device's power/runtime_status contents say it is powered down
// or going down, decided as the applet decides it: decoded as UTF-8 and
// trimmed, then "suspended" or "suspending". A capture that decided
// otherwise would wake a card the applet leaves asleep, or skip one it reads.
bool isAsleep(QByteArrayView runtimeStatus);

} // namespace vesh::powerstate
