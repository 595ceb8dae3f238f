#include "hwmon.h"

#include "kernelfile.h"

#include <algorithm>
#include <limits>

namespace vesh::hwmon {

using namespace Qt::Literals::StringLiterals;

namespace {
// CPU drivers first: a name selects at most one category. k10temp's temp3
// is Tccd1, the first die. amdgpu's reads take a runtime-PM reference and
// mark the card busy, and it sets an autosuspend delay of 5 s; radeon's and
// nouveau's take none and fail while the card is off.
constexpr Driver Drivers[] = {
    {"k10temp"_L1, Category::Cpu, false, false, "Tccd1"_L1, 0},
    {"coretemp"_L1, Category::Cpu, false, false, {}, 0},
    {"zenpower"_L1, Category::Cpu, true, false, {}, 0},
    {"amdgpu"_L1, Category::Gpu, false, true, {}, 5000},
    {"radeon"_L1, Category::Gpu, false, false, {}, 0},
    {"nouveau"_L1, Category::Gpu, false, false, {}, 0},
};
} // namespace

QList<Driver> drivers()
{
    return {std::begin(Drivers), std::end(Drivers)};
}

const Driver *driverOf(const QString &driverName)
{
    for (const Driver &driver : Drivers) {
        if (driver.byPrefix ? driverName.startsWith(driver.name) : driverName == driver.name)
            return &driver;
    }
    return nullptr;
}

Temperature temperatureFromText(const QString &millidegrees)
{
    bool ok = false;
    const qlonglong value = millidegrees.toLongLong(&ok, 10);
    if (!ok)
        return {0, Temperature::Text::NotANumber};
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return {0, Temperature::Text::OutOfRange};
    return {int(value / 1000), Temperature::Text::Millidegrees};
}

int degreesFromText(const QString &millidegrees)
{
    return temperatureFromText(millidegrees).degrees;
}

int degreesFromFile(QByteArrayView contents)
{
    return temperatureFromFile(contents).degrees;
}

Temperature temperatureFromFile(QByteArrayView contents)
{
    // The kernel's own form, decimal digits with an optional minus and a
    // newline, needs no text conversion while it fits in an int.
    QByteArrayView digits = contents;
    if (digits.endsWith('\n'))
        digits.chop(1);
    const bool negative = digits.startsWith('-');
    if (negative)
        digits = digits.sliced(1);
    quint64 magnitude;
    if (kernelfile::plainDecimal(digits, &magnitude) && magnitude <= (negative ? 2147483648ULL : 2147483647ULL))
        return {int((negative ? -qint64(magnitude) : qint64(magnitude)) / 1000), Temperature::Text::Millidegrees};
    return temperatureFromText(QString::fromUtf8(contents).trimmed());
}

bool trimmedEquals(QByteArrayView contents, QLatin1StringView text)
{
    // For ASCII, trimming bytes and trimming text remove the same characters.
    const bool ascii = std::all_of(contents.begin(), contents.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii)
        return contents.trimmed() == QByteArrayView(text.data(), text.size());
    return QString::fromUtf8(contents).trimmed() == text;
}

bool isTctlLabel(QByteArrayView label)
{
    return trimmedEquals(label, "Tctl"_L1);
}

int tctlTemperature(int cpuTemp, int dieTemp)
{
    return dieTemp > 0 ? dieTemp : cpuTemp;
}

bool isAsleep(QByteArrayView runtimeStatus)
{
    return trimmedEquals(runtimeStatus, QLatin1StringView("suspended"))
        || trimmedEquals(runtimeStatus, QLatin1StringView("suspending"));
}

} // namespace vesh::hwmon
