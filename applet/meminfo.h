#pragma once

#include <QByteArrayView>
#include <QString>

// Memory use from the kernel's /proc/meminfo, kept free of I/O so it can be
// tested with captured text.
namespace vesh::meminfo {

// Figures in KiB: /proc/meminfo says "kB" but means 1024 bytes.
struct Figures
{
    quint64 totalKb = 0;
    quint64 availableKb = 0;
    // A MemAvailable line was found; kernels before 3.14 and some
    // containers have none, and all memory then counts as used.
    bool hasAvailable = false;
};

// "MemTotal:" and "MemAvailable:" from the file's text, taken in the pieces
// a 256-byte fgets would hand out (a line, or at most 255 characters of it),
// up to the first "MemAvailable:" piece.
Figures figuresFromText(QByteArrayView text);

// "488M" below 1 GiB, "15.3G" from 1 GiB on; the size is in KiB.
QString sizeText(quint64 kb);

// What memUsage shows when /proc/meminfo gives no total or does not read.
inline constexpr QLatin1StringView NoFiguresText("MEM 0G 0%");

// "MEM <used>/<total> <percent>%", or NoFiguresText without a total.
QString usageText(const Figures &figures);

} // namespace vesh::meminfo
