#include "machinefolder.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace vesh::machinefolder {

namespace {

QString linkDestination(const QString &path, int hops)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    if (hops > 40)
        return {};
    const QString target = QFileInfo(path).readSymLink();
    QString current = target.startsWith(u'/') ? QString() : QFileInfo(path).path();
    const QList<QStringView> parts = QStringView(target).split(u'/', Qt::SkipEmptyParts);
    bool exists = true;
    for (const QStringView part : parts) {
        if (part == u".")
            continue;
        if (part == u"..") {
            current.truncate(std::max<qsizetype>(current.lastIndexOf(u'/'), 0));
            continue;
        }
        current += u'/' + part.toString();
        if (!exists)
            continue;
        const QFileInfo step(current);
        if (step.isSymLink()) {
            current = linkDestination(current, hops + 1);
            if (current.isEmpty())
                return {};
        } else {
            exists = step.exists();
        }
    }
    return current.isEmpty() ? QStringLiteral("/") : current;
}

QString systemError(const QString &path, const char *what)
{
    return QStringLiteral("%1: %2: %3").arg(path, QLatin1StringView(what), QString::fromLocal8Bit(std::strerror(errno)));
}

bool inside(const QString &path, const QStringList &areas)
{
    for (const QString &area : areas) {
        if (path == area || path.startsWith(area + u'/'))
            return true;
    }
    return false;
}

// Checks every entry below the folder at path, which is canonical.
bool checkTree(const QString &path, const QStringList &areas, QString *error)
{
    DIR *folder = ::opendir(QFile::encodeName(path).constData());
    if (!folder) {
        *error = systemError(path, "cannot be read");
        return false;
    }
    bool ok = true;
    errno = 0;
    while (const dirent *entry = ::readdir(folder)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        const QString child = path + u'/' + QFile::decodeName(name);
        struct stat status;
        if (::lstat(QFile::encodeName(child).constData(), &status) != 0) {
            *error = systemError(child, "cannot be examined");
            ok = false;
        } else if (S_ISDIR(status.st_mode)) {
            ok = checkTree(child, areas, error);
        } else if (S_ISLNK(status.st_mode)) {
            const QString destination = linkDestination(child, 0);
            if (!destination.isEmpty() && !inside(destination, areas)) {
                *error = QStringLiteral("%1: a link out of the machine folder (to %2)").arg(child, destination);
                ok = false;
            }
        } else if (!S_ISREG(status.st_mode)) {
            const char *kind = S_ISFIFO(status.st_mode)                               ? "a FIFO"
                             : S_ISSOCK(status.st_mode)                               ? "a socket"
                             : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? "a device node"
                                                                                      : "not a plain file";
            *error = QStringLiteral("%1: %2, which no machine folder holds").arg(child, QLatin1StringView(kind));
            ok = false;
        }
        if (!ok)
            break;
        errno = 0;
    }
    if (ok && errno != 0) {
        *error = systemError(path, "cannot be read");
        ok = false;
    }
    ::closedir(folder);
    return ok;
}

} // namespace

QString linkDestination(const QString &path)
{
    return linkDestination(path, 0);
}

bool check(const QString &dir, QString *error)
{
    const QFileInfo info(dir);
    if (!info.isDir()) {
        *error = QStringLiteral("%1: no such machine folder").arg(dir);
        return false;
    }
    const QString root = info.canonicalFilePath();
    // Each part stands for its own file system; links may lead from one to
    // the other, as they would once both are in place.
    const QStringList areas{root + QStringLiteral("/sys"), root + QStringLiteral("/proc")};
    for (const QString &area : areas) {
        struct stat status;
        if (::lstat(QFile::encodeName(area).constData(), &status) != 0) {
            // Only a missing part stands for an empty one.
            if (errno == ENOENT)
                continue;
            *error = systemError(area, "cannot be examined");
            return false;
        }
        if (!S_ISDIR(status.st_mode)) {
            *error = QStringLiteral("%1: not a folder").arg(area);
            return false;
        }
        if (!checkTree(area, areas, error))
            return false;
    }
    return true;
}

} // namespace vesh::machinefolder
