#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <initializer_list>

// Reading the kernel's small virtual files with the fewest system calls:
// one open, as few reads as the file allows, one close, and no stat calls
// (which QFile makes two or three of per open).
namespace vesh::kernelfile {

// Room for any sysfs attribute of a 4 KiB page without touching the heap.
using Buffer = QVarLengthArray<char, 4096>;

enum class End {
    // A read that returns less than asked ends the file. True of sysfs
    // attributes, which arrive whole in one read, and of regular files.
    ShortRead,
    // Only a read that returns nothing ends the file, as for /proc files
    // that the kernel may hand out in pieces.
    EmptyRead,
};

// How a file's contents are taken.
enum class Mode {
    // As text: carriage returns are dropped, as Qt's text mode drops them.
    Text,
    // Raw: as they are, for a copy of the file.
    Raw,
};

// What kind of file is read: how it ends, the most it may hold, and how
// its contents are taken. A file that holds more is not read on: whatever
// a machine folder holds, a read costs no more than its limit.
struct Form
{
    End end;
    qsizetype limit;
    Mode mode = Mode::Text;
};

// A sysfs attribute, which the kernel caps at one page (64 KiB on the
// largest pages Linux uses), or a /proc file of one page, such as meminfo.
inline constexpr Form OnePage{End::ShortRead, 64 * 1024};
// /proc/net/dev: a line per interface, each at most 352 bytes (a 15-byte
// name and sixteen 20-digit counters), so 100,000 interfaces fit.
inline constexpr Form Table{End::EmptyRead, 64 * 1024 * 1024};

// A copy of a file of the given form: as much as the form takes, read on
// to a read that returns nothing, whatever the file, and raw.
constexpr Form copyOf(const Form &form)
{
    return {End::EmptyRead, form.limit, Mode::Raw};
}

// Whether a file was read, and if not, why.
struct Result
{
    // 0 when read; else the errno of the open or the read that failed
    // (EISDIR for a folder), or EFBIG for a file larger than its limit.
    int error = 0;
    explicit operator bool() const { return error == 0; }
};

// Reads the whole file into contents, taken as form.mode says. Fails
// when the file does not open, when a read fails (a sysfs attribute whose
// driver cannot answer), and when the file holds more than form.limit;
// contents are then empty.
// The path is root followed by the parts, all joined without a separator.
Result read(QStringView root, std::initializer_list<QStringView> path, Buffer *contents, const Form &form);

// The kernel follows at most this many links in one lookup (MAXSYMLINKS),
// and gives up with ELOOP beyond.
inline constexpr int MostLinks = 40;

// How resolve looks a path up.
struct Lookup
{
    // Past a part that is not there, or cannot be looked at, the rest is
    // taken as written, as a link that leads nowhere yet would lead once
    // that part is made; otherwise the lookup fails there.
    bool pastMissing = false;
    // Where given, how many more parts it may look at: E2BIG once none are
    // left, so that many lookups together cost no more than that.
    qsizetype *partsLeft = nullptr;
};

// Where path leads, looked up part by part as the kernel looks it up, every
// link on the way followed, but within root: a link's absolute target starts
// again at root, and ".." stops there, so a machine folder's links never
// lead a lookup, or a later read of what it found, out of the folder. path
// starts from folder, a path below root known to hold no link (empty for
// root), unless it starts with "/". Gives a path below root without a link,
// starting with "/": the same path where no part of it is a link. Fails with
// the errno of the part that failed (ENOENT where a part is missing, ELOOP
// past MostLinks), resolved then being where the lookup gave up. Names are
// bytes, as the kernel takes them.
Result resolve(QByteArrayView root, QByteArrayView folder, QByteArrayView path, QByteArray *resolved,
               Lookup lookup = {});

// The same for the path given in parts, as to read, from root; resolved is
// empty where it fails.
Result resolve(QStringView root, std::initializer_list<QStringView> path, QString *resolved);

// The value of plain decimal digits, the form in which the kernel writes
// its readings and counters: 1 to 19 ASCII digits (which always fit in 64
// bits) and nothing else. False for any other text, which callers hand to
// Qt's own conversion.
bool plainDecimal(QByteArrayView digits, quint64 *value);

} // namespace vesh::kernelfile
