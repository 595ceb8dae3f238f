// libFuzzer target: /proc/meminfo text of any shape through the stream
// reader, then the display text.
#include "meminfo.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // fmemopen needs at least one byte; an empty input is read as EOF.
    std::vector<char> buffer(data, data + size);
    buffer.push_back('\0');
    std::FILE *stream = ::fmemopen(buffer.data(), size ? size : 1, "r");
    if (!stream)
        return 0;
    if (size == 0)
        std::fgetc(stream);
    const vesh::meminfo::Figures figures = vesh::meminfo::read(stream);
    std::fclose(stream);
    const QString text = vesh::meminfo::usageText(figures);
    if (!text.startsWith(u"MEM ") || text.contains(u'-'))
        std::abort();
    return 0;
}
