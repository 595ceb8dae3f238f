#include "machinenamespace.h"

#include "printable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace vesh::machinenamespace {

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1StringView(what), QString::fromLocal8Bit(std::strerror(errno)));
}

bool writeProcFile(const char *path, const QByteArray &text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    return ok;
}

// Why the kernel refused this user a user namespace, and the way out.
QString userNamespaceError()
{
    const char *why = nullptr;
    switch (errno) {
    case ENOSPC:
        why = "user namespaces are turned off here (user.max_user_namespaces is 0, or its limit is reached)";
        break;
    case EPERM:
    case EACCES:
        why = "unprivileged user namespaces are not allowed here (kernel.unprivileged_userns_clone, an AppArmor "
              "policy as on Ubuntu 24.04, or a container's filter)";
        break;
    case EINVAL:
        why = "the process runs threads already";
        break;
    default:
        return systemError("cannot make a private mount namespace");
    }
    return QStringLiteral("cannot make a private mount namespace: %1; run as root, or where user namespaces "
                          "are allowed")
        .arg(QLatin1StringView(why));
}

bool privateMountNamespace(QString *error)
{
    // Where we may mount already (root, or in a user namespace of our own
    // from an earlier entry, whose /proc is now the fixture's), a mount
    // namespace is all it takes.
    if (::unshare(CLONE_NEWNS) != 0) {
        if (errno != EPERM) {
            *error = systemError("cannot make a private mount namespace");
            return false;
        }
        // Without the right to mount, a user namespace of our own grants it.
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            *error = userNamespaceError();
            return false;
        }
        if (!writeProcFile("/proc/self/setgroups", "deny")
            || !writeProcFile("/proc/self/uid_map", QByteArray::number(uid) + ' ' + QByteArray::number(uid) + " 1")
            || !writeProcFile("/proc/self/gid_map", QByteArray::number(gid) + ' ' + QByteArray::number(gid) + " 1")) {
            *error = systemError("cannot map the user into its namespace");
            return false;
        }
    }
    // Keep our mounts from reaching the rest of the system. (The kernel
    // ignores source and type here; they are named for checkers' sake.)
    if (::mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) != 0) {
        *error = systemError("cannot make the mounts private");
        return false;
    }
    return true;
}

bool replace(const QString &fixtureDir, const char *target, QString *error)
{
    if (QFileInfo(fixtureDir).isDir()) {
        const QByteArray source = QFile::encodeName(fixtureDir);
        if (::mount(source.constData(), target, "none", MS_BIND | MS_REC, nullptr) == 0)
            return true;
    } else if (::mount("vesh-machinefolder", target, "tmpfs", MS_NOSUID | MS_NODEV, "mode=0555") == 0) {
        return true;
    }
    *error = systemError(target);
    error->prepend(QStringLiteral("cannot mount the fixture over "));
    return false;
}

} // namespace

bool enter(const QString &dir, QString *error)
{
    const QFileInfo info(dir);
    if (!info.isDir()) {
        *error = printable::name(QFile::encodeName(dir), printable::PathLimit)
            + QStringLiteral(": no such machine folder");
        return false;
    }
    const QString root = info.absoluteFilePath();
    return privateMountNamespace(error)
        && replace(root + QStringLiteral("/sys"), "/sys", error)
        && replace(root + QStringLiteral("/proc"), "/proc", error);
}

} // namespace vesh::machinenamespace
