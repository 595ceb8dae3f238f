#pragma once

#include <QString>

#include <cstdio>

// Memory use from the kernel's /proc/meminfo.
namespace vesh::meminfo {

// Figures in KiB: /proc/meminfo says "kB" but means 1024 bytes.
struct Figures
{
    quint64 totalKb = 0;
    quint64 availableKb = 0;
};

// Reads "MemTotal:" and "MemAvailable:" from an open stream, in pieces of
// at most 255 characters, and stops at the first "MemAvailable:" line.
Figures read(std::FILE *stream);

// "488M" below 1 GiB, "15.3G" from 1 GiB on; the size is in KiB.
QString sizeText(quint64 kb);

// "MEM <used>/<total> <percent>%", or "MEM 0G 0%" without a total.
QString usageText(Figures figures);

} // namespace vesh::meminfo
