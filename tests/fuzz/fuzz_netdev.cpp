// libFuzzer target: /proc/net/dev text of any shape, then the rate text
// for the totals it gave.
#include "netdev.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const vesh::netdev::Sample totals =
        vesh::netdev::totalsFromText(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QString text = vesh::netdev::speedText({totals.txBytes, totals.rxBytes, 1000}, {totals.rxBytes, totals.txBytes, 1001});
    if (!text.startsWith(u"NET ") || text.contains(u'-'))
        std::abort();
    return 0;
}
