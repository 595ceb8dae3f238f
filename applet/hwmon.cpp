#include "hwmon.h"

#include "kernelfile.h"

#include <algorithm>

namespace vesh::hwmon {

Category categoryOf(const QString &driverName)
{
    if (driverName == u"k10temp" || driverName == u"coretemp" || driverName.startsWith(u"zenpower"))
        return Category::Cpu;
    if (driverName == u"amdgpu" || driverName == u"radeon" || driverName == u"nouveau")
        return Category::Gpu;
    return Category::None;
}

int degreesFromText(const QString &millidegrees)
{
    bool ok = false;
    const int value = millidegrees.toInt(&ok, 10);
    return ok ? value / 1000 : 0;
}

int degreesFromFile(QByteArrayView contents)
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
        return int((negative ? -qint64(magnitude) : qint64(magnitude)) / 1000);
    return degreesFromText(QString::fromUtf8(contents).trimmed());
}

bool trimmedEquals(QByteArrayView contents, QLatin1StringView text)
{
    // For ASCII, trimming bytes and trimming text remove the same characters.
    const bool ascii = std::all_of(contents.begin(), contents.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii)
        return contents.trimmed() == QByteArrayView(text.data(), text.size());
    return QString::fromUtf8(contents).trimmed() == text;
}

bool isAsleep(QByteArrayView runtimeStatus)
{
    return trimmedEquals(runtimeStatus, QLatin1StringView("suspended"))
        || trimmedEquals(runtimeStatus, QLatin1StringView("suspending"));
}

} // namespace vesh::hwmon
