#include "machinefolder.h"

#include "files.h"
#include "kernelfile.h"
#include "printable.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesh::machinefolder {

namespace {

using namespace Qt::Literals::StringLiterals;

// No capture holds more entries: one of 100,000 network interfaces holds
// about 400,000.
constexpr qsizetype MostEntries = 1'000'000;
// Nor does one need more lookups of a part of a path, over all its links,
// which take a few each on real machines: the check's whole work is
// bounded whatever the folder holds.
constexpr qsizetype MostLookups = 4 * MostEntries;

// How a link's lookup ended: 0, or ELOOP past the kernel's links in one
// lookup, or E2BIG past the lookups left.
struct Lookup
{
    QByteArray path; // where it leads, or where it gave up
    int error = 0;
};

// Where the link at path leads, as the kernel's lookup takes it: every link
// on the way expanded, at most kernelfile::MostLinks, so that what a link
// costs the check is bounded however the links lead into one another, and
// beyond a part that does not exist, as written. path's folder is canonical.
Lookup follow(const QByteArray &path, qsizetype *lookupsLeft)
{
    const qsizetype slash = path.lastIndexOf('/');
    Lookup lookup;
    lookup.error = kernelfile::resolve({}, path.first(std::max<qsizetype>(slash, 0)), path.sliced(slash + 1),
                                       &lookup.path, {true, lookupsLeft})
                       .error;
    return lookup;
}

// What the check has seen so far, and how much more it may do.
struct Walk
{
    QByteArrayList areas;
    QByteArray netDev; // the one file read as a table
    qsizetype entriesLeft = MostEntries;
    qsizetype lookupsLeft = MostLookups;
    QString *error = nullptr;

    // Fails the check with a path of the folder and why.
    bool refuse(const QByteArray &path, const QString &why)
    {
        *error = printable::name(path, printable::PathLimit) + u": "_s + why;
        return false;
    }
    bool refuseWithErrno(const QByteArray &path, const char *what)
    {
        return refuse(path, QLatin1StringView(what) + u": "_s + QString::fromLocal8Bit(std::strerror(errno)));
    }
};

bool inside(const QByteArray &path, const QByteArrayList &areas)
{
    for (const QByteArray &area : areas) {
        if (path == area || path.startsWith(area + '/'))
            return true;
    }
    return false;
}

bool checkLink(Walk *walk, const QByteArray &path)
{
    const Lookup lookup = follow(path, &walk->lookupsLeft);
    if (lookup.error == ELOOP)
        return walk->refuse(path, u"links that the kernel would not follow: more than "_s
                                      + QString::number(kernelfile::MostLinks) + u" in one lookup, at "_s
                                      + printable::name(lookup.path, printable::PathLimit));
    if (lookup.error != 0)
        return walk->refuse(path, u"more links to follow than any capture holds (over "_s
                                      + QString::number(MostLookups) + u" lookups)"_s);
    if (!inside(lookup.path, walk->areas))
        return walk->refuse(path, u"a link out of the machine folder (to "_s
                                      + printable::name(lookup.path, printable::PathLimit) + u")"_s);
    return true;
}

// A plain file larger than the reader takes of it would only cost whoever
// reads it: it is refused by its size, unread. A sparse file counts its
// full size.
bool checkFile(Walk *walk, const QByteArray &path, const struct stat &status)
{
    const qsizetype most = path == walk->netDev ? kernelfile::Table.limit : kernelfile::OnePage.limit;
    if (status.st_size <= most)
        return true;
    return walk->refuse(path, u"too large: "_s + QString::number(status.st_size) + u" bytes, where the runner reads "_s
                                  + QString::number(most) + u" at most"_s);
}

QLatin1StringView kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a FIFO"_L1;
    if (S_ISSOCK(mode))
        return "a socket"_L1;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device node"_L1;
    return "not a plain file"_L1;
}

bool checkTree(Walk *walk, const QByteArray &path);

bool checkEntry(Walk *walk, const QByteArray &path)
{
    if (--walk->entriesLeft < 0)
        return walk->refuse(path, u"more entries than any capture holds (over "_s + QString::number(MostEntries)
                                      + u")"_s);
    struct stat status;
    if (::lstat(path.constData(), &status) != 0)
        return walk->refuseWithErrno(path, "cannot be examined");
    if (S_ISDIR(status.st_mode))
        return checkTree(walk, path);
    if (S_ISLNK(status.st_mode))
        return checkLink(walk, path);
    if (S_ISREG(status.st_mode))
        return checkFile(walk, path, status);
    return walk->refuse(path, kindOf(status.st_mode) + u", which no machine folder holds"_s);
}

// Checks every entry below the folder at path, which is canonical.
bool checkTree(Walk *walk, const QByteArray &path)
{
    DIR *folder = ::opendir(path.constData());
    if (!folder)
        return walk->refuseWithErrno(path, "cannot be read");
    bool ok = true;
    errno = 0;
    while (const dirent *entry = ::readdir(folder)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            ok = checkEntry(walk, path + '/' + name);
        if (!ok)
            break;
        errno = 0;
    }
    if (ok && errno != 0)
        ok = walk->refuseWithErrno(path, "cannot be read");
    ::closedir(folder);
    return ok;
}

} // namespace

QString linkDestination(const QString &path)
{
    qsizetype lookupsLeft = MostLookups;
    const Lookup lookup = follow(QFile::encodeName(path), &lookupsLeft);
    return lookup.error == 0 ? QFile::decodeName(lookup.path) : QString();
}

bool check(const QString &dir, QString *error)
{
    const QFileInfo info(dir);
    if (!info.isDir()) {
        *error = printable::name(QFile::encodeName(dir), printable::PathLimit) + u": no such machine folder"_s;
        return false;
    }
    const QByteArray root = QFile::encodeName(info.canonicalFilePath());
    // Each part stands for its own file system; links may lead from one to
    // the other, as they would once both are in place.
    Walk walk;
    walk.areas = {root + "/sys", root + "/proc"};
    walk.netDev = root + QFile::encodeName(files::NetDev.toString());
    walk.error = error;
    for (const QByteArray &area : std::as_const(walk.areas)) {
        struct stat status;
        if (::lstat(area.constData(), &status) != 0) {
            // Only a missing part stands for an empty one.
            if (errno == ENOENT)
                continue;
            return walk.refuseWithErrno(area, "cannot be examined");
        }
        if (!S_ISDIR(status.st_mode))
            return walk.refuse(area, u"not a folder"_s);
        if (!checkTree(&walk, area))
            return false;
    }
    return true;
}

} // namespace vesh::machinefolder
