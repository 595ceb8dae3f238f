#include "meminfo.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace vesh::meminfo {

namespace {

constexpr char TotalKey[] = "MemTotal:";
constexpr char AvailableKey[] = "MemAvailable:";

// Keys match from the piece's first character, case and colon included.
template <std::size_t N>
bool startsWith(const char *piece, const char (&key)[N])
{
    return std::strncmp(piece, key, N - 1) == 0;
}

// The number after a key, as "%lu" reads it on 64-bit Linux, on every
// architecture; a piece without one leaves the figure as it was.
void scanFigure(const char *text, quint64 *figure)
{
    std::uint64_t value;
    if (std::sscanf(text, "%" SCNu64, &value) == 1)
        *figure = value;
}

} // namespace

Figures figuresFromText(QByteArrayView text)
{
    Figures figures;
    // Pieces, not whole lines: see "/proc/meminfo read in 256-byte pieces" in docs/kept-on-purpose.md.
    char piece[256];
    while (!text.isEmpty()) {
        // A line, or as much of it as fits with its terminating zero; a NUL
        // inside ends the piece for the key and number tests, as with fgets.
        qsizetype length = std::min<qsizetype>(text.size(), sizeof piece - 1);
        const qsizetype newline = text.first(length).indexOf('\n');
        if (newline >= 0)
            length = newline + 1;
        std::memcpy(piece, text.data(), size_t(length));
        piece[length] = '\0';
        text = text.sliced(length);

        if (startsWith(piece, TotalKey)) {
            scanFigure(piece + sizeof(TotalKey) - 1, &figures.totalKb);
        } else if (startsWith(piece, AvailableKey)) {
            scanFigure(piece + sizeof(AvailableKey) - 1, &figures.availableKb);
            figures.hasAvailable = true;
            break;
        }
    }
    return figures;
}

QString sizeText(quint64 kb)
{
    const double gib = double(kb) / 1048576.0;
    if (gib < 1.0)
        return QString::number(double(kb) / 1024.0, 'f', 0) + u'M';
    return QString::number(gib, 'f', 1) + u'G';
}

QString usageText(const Figures &figures)
{
    if (figures.totalKb == 0)
        return NoFiguresText;

    // The kernel never reports more available than total; should a file do
    // so, show nothing used rather than a wrapped figure.
    const quint64 used = figures.availableKb > figures.totalKb ? 0 : figures.totalKb - figures.availableKb;
    const double percent = (100.0 * double(used)) / double(figures.totalKb);
    return QStringLiteral("MEM %1/%2 %3%")
        .arg(sizeText(used), sizeText(figures.totalKb), QString::number(percent, 'f', 1));
}

} // namespace vesh::meminfo
