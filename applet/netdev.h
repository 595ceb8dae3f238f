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

// Received and sent bytes summed over every interface but loopback. The
// first two lines are headings; lines without a colon or with fewer than
// 16 counters are skipped; counters that do not parse add 0.
Sample totalsFromText(QByteArrayView text);

// "512B/s", "1.5K/s", "3.3M/s" for a rate in bytes per second.
QString rateText(double bytesPerSecond);

// The display text for the step from previous to current: "NET 0B/s" when
// there is no previous sample, otherwise "NET <down>  <up>".
QString speedText(const Sample &previous, const Sample &current);

} // namespace vesh::netdev
