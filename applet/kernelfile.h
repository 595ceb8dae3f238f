#pragma once

#include <QByteArrayView>
#include <QStringView>
#include <QVarLengthArray>

#include <initializer_list>

// Reading the kernel's small virtual files with the fewest system calls:
// one open, as few reads as the file allows, one close, and no stat calls
// (which QFile makes two or three of per open).
namespace vesh::kernelfile {

// Room for any sysfs attribute (at most a page) without touching the heap.
using Buffer = QVarLengthArray<char, 4096>;

enum class End {
    // A read that returns less than asked ends the file. True of sysfs
    // attributes, which arrive whole in one read, and of regular files.
    ShortRead,
    // Only a read that returns nothing ends the file, as for /proc files
    // that the kernel may hand out in pieces.
    EmptyRead,
};

// Whether a file was read, and if not, why.
struct Result
{
    int error = 0; // the errno of the open that failed (EISDIR for a folder); 0 when read
    explicit operator bool() const { return error == 0; }
};

// Reads the whole file into contents, dropping carriage returns as Qt's
// text mode does. Fails when the file does not open (or is a directory, which
// QFile does not open either); a read error after a good open ends the
// contents there, as QFile::readAll does.
// The path is root followed by the parts, all joined without a separator.
Result read(QStringView root, std::initializer_list<QStringView> path, Buffer *contents, End end);

// The value of plain decimal digits, the form in which the kernel writes
// its readings and counters: 1 to 19 ASCII digits (which always fit in 64
// bits) and nothing else. False for any other text, which callers hand to
// Qt's own conversion.
bool plainDecimal(QByteArrayView digits, quint64 *value);

} // namespace vesh::kernelfile
