#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

// A machine's bytes as text that is safe to print anywhere: captures come
// from strangers. This is the one way the runner shows text from a machine
// or a capture. Valid UTF-8 stays as it is; a character of the categories
// that could move the cursor, reorder the line or hide in it (Cc, Cf, Co,
// Cn, Zl, Zp: ESC, U+202E, U+200B, tag and private-use characters among
// them) and bytes that are not UTF-8 are escaped (\n, \0, \x1b, \u202e,
// \U000e0041, \xff), as is the backslash. Each function looks at no more
// of its input than its cut needs, so neither its work nor its output
// grows with what a capture holds.
namespace vesh::printable {

// Enough for any path the kernel takes (PATH_MAX is 4096 bytes) that holds
// few escapes.
inline constexpr qsizetype PathLimit = 4096;

// The first most bytes, every one escaped so, then how many were left out:
// for JSON, whose strings then hold nothing a terminal acts on.
QString escaped(QByteArrayView bytes, qsizetype most = 64 * 1024);

// For a line of text: in double quotes (with \" for a quote), a run of one
// escaped character shown once with its count ("name\n" + 4089 × \0),
// cut after about limit characters with how many bytes were left out.
QString quoted(QByteArrayView bytes, qsizetype limit = 120);

// The same without the quotes, for names: eth0, 👩0, \x1b[2J.
QString name(QByteArrayView bytes, qsizetype limit = 60);

// The same for names and paths that Qt holds as text already (entries of
// a folder, paths made of them): the file system bounds their length.
QString escaped(QStringView text);
QString name(QStringView text, qsizetype limit = 60);

// Items joined by ", " into lines of at most width characters after the
// indent, the first line after first; after most items, how many more.
QStringList wrapped(const QString &first, const QStringList &items, const QString &indent, qsizetype width = 100,
                    qsizetype most = 60);

} // namespace vesh::printable
