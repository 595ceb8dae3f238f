#pragma once

#include <QByteArrayView>
#include <QString>

// Throughput from the kernel's /proc/net/dev, kept free of I/O so it can be
// tested with captured text.
namespace vesh::netdev {

struct Sample
{
    quint64 rxBytes = 0;
    quint64 txBytes = 0;
    qint64 msecsSinceEpoch = 0; // 0 or less: no sample taken yet
};

// One interface line: its name and its received and sent byte counters.
struct Interface
{
    QByteArrayView name;
    quint64 rxBytes = 0;
    quint64 txBytes = 0;
};

// Calls counted(Interface) for every interface line that counts, in order:
// the first two lines are headings; lines without a colon, the loopback
// interface "lo" and lines with fewer than 16 counters are skipped;
// counters that do not parse read as 0.
template <typename Counted>
void forEachInterface(QByteArrayView text, Counted counted);

// Whether name is one the kernel gives an interface, so that it names a
// folder of /sys/class/net and nothing else: 1 to 15 bytes, not "." or
// "..", without '/', ':' or white space.
bool isInterfaceName(QByteArrayView name);

// Received and sent bytes summed over every interface that counts.
Sample totalsFromText(QByteArrayView text);

// "512B/s", "1.5K/s", "3.3M/s" for a rate in bytes per second.
QString rateText(double bytesPerSecond);

// What netSpeed shows when /proc/net/dev does not read.
inline constexpr QLatin1StringView UnreadText("NET 0/s");

// The display text for the step from previous to current: "NET 0B/s" when
// there is no previous sample, otherwise "NET <down>  <up>".
QString speedText(const Sample &previous, const Sample &current);

namespace detail {
// The interface line's figures; false for a line that does not count.
bool interfaceFromLine(QByteArrayView line, Interface *interface);
} // namespace detail

template <typename Counted>
void forEachInterface(QByteArrayView text, Counted counted)
{
    int lineNumber = 0;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf('\n');
        const QByteArrayView line = end < 0 ? text : text.first(end);
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
        // The two heading lines are skipped by position, unread.
        Interface interface;
        if (++lineNumber > 2 && detail::interfaceFromLine(line, &interface))
            counted(interface);
    }
}

} // namespace vesh::netdev
