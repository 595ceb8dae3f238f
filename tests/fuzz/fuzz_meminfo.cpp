// libFuzzer target: /proc/meminfo text of any shape through the parser,
// then the display text.
#include "meminfo.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const vesh::meminfo::Figures figures =
        vesh::meminfo::figuresFromText(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QString text = vesh::meminfo::usageText(figures);
    if (!text.startsWith(u"MEM ") || text.contains(u'-'))
        std::abort();
    return 0;
}
