// libFuzzer target: hwmon text of any shape as a temperature, a driver name
// and a power state.
#include "hwmon.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)).trimmed();
    const int degrees = vesh::hwmon::degreesFromText(text);
    if (degrees < -2147483 || degrees > 2147483)
        std::abort();
    vesh::hwmon::categoryOf(text);
    vesh::hwmon::isAsleep(text);
    return 0;
}
