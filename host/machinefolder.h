#pragma once

#include <QString>

namespace vesh::machinefolder {

// Whether dir can stand for a machine: a folder whose sys/ and proc/, where
// present, can be read and hold only plain files, folders and links that
// stay inside them. Machine folders are captures that strangers attach to
// their reports; a FIFO, a device node, a socket or a link out of the
// folder (to /dev/zero, say) could hang or mislead whatever reads them. A
// link that stays inside but leads nowhere is fine, as on a real machine.
// False with a one-line reason.
bool check(const QString &dir, QString *error);

// Where the link at path leads, resolved as the kernel would as far as it
// exists and as written beyond; path's folder is a canonical path. Empty
// when it runs in circles.
QString linkDestination(const QString &path);

} // namespace vesh::machinefolder
