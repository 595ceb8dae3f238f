#pragma once

#include <QString>

namespace vesh::machinefolder {

// Whether dir can stand for a machine: a folder whose sys/ and proc/, where
// present, can be read and hold only plain files no larger than the
// applet's reader takes, folders and links that stay inside them and that
// the kernel would follow. Machine folders are captures that strangers
// attach to their reports; a FIFO, a device node, a socket, a link out of
// the folder (to /dev/zero, say), a huge file or links that lead into one
// another past the kernel's bound could hang, exhaust or mislead whatever
// reads them, this check first. A link that stays inside but leads nowhere
// is fine, as on a real machine. The check's own work is bounded, whatever
// the folder holds. False with a one-line reason, its path escaped.
bool check(const QString &dir, QString *error);

// Where the link at path leads, resolved as the kernel would as far as it
// exists and as written beyond; path's folder is a canonical path. Empty
// where the kernel would give up (ELOOP: more than 40 links in the lookup).
QString linkDestination(const QString &path);

} // namespace vesh::machinefolder
