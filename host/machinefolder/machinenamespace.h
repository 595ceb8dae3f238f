#pragma once

#include <QString>

namespace vesh::machinenamespace {

// Shows this process a fixture machine instead of its own: in a private
// mount namespace, DIR/sys replaces /sys and DIR/proc replaces /proc (an
// empty folder stands in for either one the fixture lacks). Needs root or
// unprivileged user namespaces; must run before the process starts threads,
// as the kernel gives a threaded process no user namespace. A folder from
// elsewhere is to pass check() first.
// Returns false with a one-line reason when it cannot be done.
bool enter(const QString &dir, QString *error);

} // namespace vesh::machinenamespace
