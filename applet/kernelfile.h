#pragma once

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

// What kind of file is read: how it ends, and the most it may hold. A file
// that holds more is not read on: whatever a machine folder holds, a read
// costs no more than its limit.
struct Form
{
    End end;
    qsizetype limit;
};

// A sysfs attribute, which the kernel caps at one page (64 KiB on the
// largest pages Linux uses), or a /proc file of one page, such as meminfo.
inline constexpr Form OnePage{End::ShortRead, 64 * 1024};
// /proc/net/dev: a line per interface, each at most 352 bytes (a 15-byte
// name and sixteen 20-digit counters), so 100,000 interfaces fit.
inline constexpr Form Table{End::EmptyRead, 64 * 1024 * 1024};

// Whether a file was read, and if not, why.
struct Result
{
    // 0 when read; else the errno of the open or the read that failed
    // (EISDIR for a folder), or EFBIG for a file larger than its limit.
    int error = 0;
    explicit operator bool() const { return error == 0; }
};

// Reads the whole file into contents, dropping carriage returns as Qt's
// text mode does. Fails when the file does not open, when a read fails
// (a sysfs attribute whose driver cannot answer), and when the file holds
// more than form.limit; contents are then empty.
// The path is root followed by the parts, all joined without a separator.
Result read(QStringView root, std::initializer_list<QStringView> path, Buffer *contents, Form form);

// Where path leads, looked up part by part as the kernel looks it up, every
// link on the way followed, but within root: a link's absolute target starts
// again at root, and ".." stops there, so a machine folder's links never
// lead a lookup, or a later read of what it found, out of the folder. Fails
// with the errno of the part that failed (ENOENT where a part is missing,
// ELOOP past the kernel's 40 links in one lookup); resolved is then empty.
// Otherwise resolved is a path below root without a link, starting with
// "/": the same path where no part of it is a link. The path is given in
// parts, as to read.
Result resolve(QStringView root, std::initializer_list<QStringView> path, QString *resolved);

// The value of plain decimal digits, the form in which the kernel writes
// its readings and counters: 1 to 19 ASCII digits (which always fit in 64
// bits) and nothing else. False for any other text, which callers hand to
// Qt's own conversion.
bool plainDecimal(QByteArrayView digits, quint64 *value);

} // namespace vesh::kernelfile
