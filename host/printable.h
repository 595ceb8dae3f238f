#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// A machine's bytes as text that is safe to print anywhere: captures come
// from strangers. Valid UTF-8 stays as it is; control characters (ESC
// among them), bidirectional controls, line separators and bytes that are
// not UTF-8 are escaped (\n, \0, \x1b, \u202e), as is the backslash.
namespace vesh::printable {

// Every byte, escaped so: for JSON, which escapes the rest itself.
QString escaped(QByteArrayView bytes);

// For a line of text: in double quotes (with \" for a quote), a run of one
// escaped character shown once with its count ("amdgpu\n" + 4089 × \0),
// cut after about limit characters with how many bytes were left out.
QString quoted(QByteArrayView bytes, qsizetype limit = 120);

// The same without the quotes, for names: eth0, 👩0, \x1b[2J.
QString name(QByteArrayView bytes, qsizetype limit = 60);

// Items joined by ", " into lines of at most width characters after the
// indent, the first line after first; after most items, how many more.
QStringList wrapped(const QString &first, const QStringList &items, const QString &indent, qsizetype width = 100,
                    qsizetype most = 60);

} // namespace vesh::printable
