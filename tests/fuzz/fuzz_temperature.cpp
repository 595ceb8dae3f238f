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
    // The lean reading of raw file contents must agree with the text one.
    if (vesh::hwmon::degreesFromFile(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size))) != degrees)
        std::abort();
    vesh::hwmon::driverOf(text);
    // The byte comparison must agree with comparing the trimmed text.
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (vesh::hwmon::trimmedEquals(bytes, QLatin1StringView("Tctl")) != (text == u"Tctl"))
        std::abort();
    return 0;
}
