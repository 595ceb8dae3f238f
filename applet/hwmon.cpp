#include "hwmon.h"

#include <QFile>

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

bool isAsleep(const QString &runtimeStatus)
{
    return runtimeStatus == u"suspended" || runtimeStatus == u"suspending";
}

bool readTrimmed(const QString &path, QString *text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    *text = QString::fromUtf8(file.readAll()).trimmed();
    return true;
}

} // namespace vesh::hwmon
