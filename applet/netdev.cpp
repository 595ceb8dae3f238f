#include "netdev.h"

#include "kernelfile.h"

#include <algorithm>

namespace vesh::netdev {

namespace {

constexpr int CountersPerLine = 16;
constexpr int TxBytesCounter = 8;

quint64 counterValue(QByteArrayView piece)
{
    // The usual case, plain decimal digits, without a temporary string.
    quint64 value;
    if (kernelfile::plainDecimal(piece, &value))
        return value;
    // Anything else as Qt reads it; a piece that does not convert (letters,
    // overflow) yields 0.
    return QString::fromLatin1(piece).toULongLong(nullptr, 10);
}

} // namespace

bool detail::interfaceFromLine(QByteArrayView line, Interface *interface)
{
    line = line.trimmed();
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return false;
    const QByteArrayView name = line.first(colon).trimmed();
    // Every other interface counts: see "Every interface but lo" in docs/kept-on-purpose.md.
    if (name == "lo")
        return false;

    // Only spaces separate counters; a run of them counts as one.
    QByteArrayView rest = line.sliced(colon + 1).trimmed();
    QByteArrayView rxBytes;
    QByteArrayView txBytes;
    int counters = 0;
    while (!rest.isEmpty() && counters < CountersPerLine) {
        const qsizetype space = rest.indexOf(' ');
        const QByteArrayView piece = space < 0 ? rest : rest.first(space);
        rest = space < 0 ? QByteArrayView() : rest.sliced(space + 1);
        if (piece.isEmpty())
            continue;
        if (counters == 0)
            rxBytes = piece;
        else if (counters == TxBytesCounter)
            txBytes = piece;
        ++counters;
    }
    if (counters < CountersPerLine)
        return false;

    *interface = {name, counterValue(rxBytes), counterValue(txBytes)};
    return true;
}

namespace {

double growthPerSecond(quint64 previous, quint64 current, double seconds)
{
    // A total that went down (an interface went away, counters were reset)
    // would wrap into a figure of many digits; show no traffic instead.
    if (current < previous)
        return 0.0;
    return double(current - previous) / seconds;
}

} // namespace

bool isInterfaceName(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > 15 || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == ':' || c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    });
}

Sample totalsFromText(QByteArrayView text)
{
    Sample totals;
    forEachInterface(text, [&totals](const Interface &interface) {
        totals.rxBytes += interface.rxBytes;
        totals.txBytes += interface.txBytes;
    });
    return totals;
}

QString rateText(double bytesPerSecond)
{
    constexpr double KiB = 1024.0;
    constexpr double MiB = 1048576.0;
    if (bytesPerSecond < KiB)
        return QString::number(int(bytesPerSecond)) + QStringLiteral("B/s");
    if (bytesPerSecond < MiB)
        return QString::number(bytesPerSecond / KiB, 'f', 1) + QStringLiteral("K/s");
    return QString::number(bytesPerSecond / MiB, 'f', 1) + QStringLiteral("M/s");
}

QString speedText(const Sample &previous, const Sample &current)
{
    if (previous.msecsSinceEpoch <= 0)
        return QStringLiteral("NET 0B/s");

    double seconds = double(current.msecsSinceEpoch - previous.msecsSinceEpoch) / 1000.0;
    // A clock that stood still or was set back gives no usable interval.
    // The wall clock, 2 s past a step: see "The wall clock" in docs/kept-on-purpose.md.
    if (seconds <= 0.0)
        seconds = 2.0;

    const double down = growthPerSecond(previous.rxBytes, current.rxBytes, seconds);
    const double up = growthPerSecond(previous.txBytes, current.txBytes, seconds);
    return QStringLiteral("NET %1  %2").arg(rateText(down), rateText(up));
}

} // namespace vesh::netdev
