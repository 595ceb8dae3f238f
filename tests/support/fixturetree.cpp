#include "fixturetree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

FixtureTree::FixtureTree()
{
    m_dir.setAutoRemove(true);
}

QString FixtureTree::parentDevice(const QString &entry)
{
    return QStringLiteral("sys/devices/platform/sensor.%1").arg(entry);
}

QString FixtureTree::hwmonDevice(const QString &entry)
{
    return parentDevice(entry) + QLatin1StringView("/hwmon/") + entry;
}

void FixtureTree::addHwmon(const QString &entry, const QByteArray &name, const QMap<QString, QByteArray> &files)
{
    const QString device = hwmonDevice(entry);
    write(device + QLatin1StringView("/name"), name);
    for (auto it = files.begin(); it != files.end(); ++it)
        write(device + u'/' + it.key(), it.value());
    // As in sysfs, "device" leads from the hwmon folder to its parent device.
    link(device + QLatin1StringView("/device"), QStringLiteral("../.."));
    // The kernel's class entries are relative links into sys/devices.
    link(QStringLiteral("sys/class/hwmon/") + entry, QLatin1StringView("../../") + device.mid(4));
}

void FixtureTree::write(const QString &relativePath, const QByteArray &contents)
{
    writeFile(m_dir.filePath(relativePath), contents);
}

void FixtureTree::makeFolder(const QString &relativePath)
{
    QDir().mkpath(m_dir.filePath(relativePath));
}

void FixtureTree::writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        qFatal("cannot write fixture file %s", qPrintable(path));
}

void FixtureTree::remove(const QString &relativePath)
{
    const QString path = m_dir.filePath(relativePath);
    if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

void FixtureTree::link(const QString &relativePath, const QString &target)
{
    const QString path = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).path());
    QFile::remove(path);
    if (!QFile::link(target, path))
        qFatal("cannot link fixture %s", qPrintable(path));
}

void FixtureTree::writeTimensOffsets(qint64 monotonicOffsetMs)
{
    // Seconds may be negative, nanoseconds not, as the kernel writes them.
    const qint64 seconds = monotonicOffsetMs >= 0 ? monotonicOffsetMs / 1000 : -((-monotonicOffsetMs + 999) / 1000);
    const qint64 nanoseconds = (monotonicOffsetMs - seconds * 1000) * 1000000;
    write(QStringLiteral("proc/self/timens_offsets"),
          "monotonic " + QByteArray::number(seconds) + ' ' + QByteArray::number(nanoseconds) + "\nboottime 0 0\n");
}

bool FixtureTree::copyFrom(const QString &folder)
{
    // cp -a keeps the relative hwmon links exactly as written.
    return QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), folder + QLatin1StringView("/."), root()}) == 0;
}
