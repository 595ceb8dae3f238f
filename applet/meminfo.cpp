#include "meminfo.h"

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

} // namespace

Figures read(std::FILE *stream)
{
    static_assert(sizeof(unsigned long) == sizeof(quint64), "%lu must scan 64 bits");
    unsigned long total = 0;
    unsigned long available = 0;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, stream)) {
        // A missing number leaves the figure as it was.
        if (startsWith(buffer, TotalKey)) {
            std::sscanf(buffer + sizeof(TotalKey) - 1, "%lu", &total);
        } else if (startsWith(buffer, AvailableKey)) {
            std::sscanf(buffer + sizeof(AvailableKey) - 1, "%lu", &available);
            break;
        }
    }
    return {total, available};
}

QString sizeText(quint64 kb)
{
    const double gib = double(kb) / 1048576.0;
    if (gib < 1.0)
        return QString::number(double(kb) / 1024.0, 'f', 0) + u'M';
    return QString::number(gib, 'f', 1) + u'G';
}

QString usageText(Figures figures)
{
    if (figures.totalKb == 0)
        return QStringLiteral("MEM 0G 0%");

    // The kernel never reports more available than total; should a file do
    // so, show nothing used rather than a wrapped figure.
    const quint64 used = figures.availableKb > figures.totalKb ? 0 : figures.totalKb - figures.availableKb;
    const double percent = (100.0 * double(used)) / double(figures.totalKb);
    return QStringLiteral("MEM %1/%2 %3%")
        .arg(sizeText(used), sizeText(figures.totalKb), QString::number(percent, 'f', 1));
}

} // namespace vesh::meminfo
