#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// A machine's kernel files in a scratch folder, laid out as the kernel does:
// sys/class/hwmon/hwmonN are symbolic links to device folders under
// sys/devices, and proc/ holds net/dev and meminfo.
class FixtureTree
{
public:
    FixtureTree();

    QString root() const { return m_dir.path(); }
    bool isValid() const { return m_dir.isValid(); }

    // Adds the device listed as /sys/class/hwmon/<entry> with its driver
    // name and attribute files (temp1_input, temp1_label, ...), contents
    // written as given.
    void addHwmon(const QString &entry, const QByteArray &name, const QMap<QString, QByteArray> &files = {});
    // The hwmon folder behind /sys/class/hwmon/<entry>, relative to the root;
    // its "device" link leads to parentDevice(entry).
    static QString hwmonDevice(const QString &entry);
    static QString parentDevice(const QString &entry);

    // Writes a file below the root (parent folders made as needed).
    void write(const QString &relativePath, const QByteArray &contents);
    void makeFolder(const QString &relativePath);
    // Writes a file at an absolute path, e.g. inside the sandbox.
    static void writeFile(const QString &path, const QByteArray &contents);
    void remove(const QString &relativePath);
    // A symbolic link below the root, which need not point anywhere.
    void link(const QString &relativePath, const QString &target);
    // proc/self/timens_offsets of a process whose monotonic clock is
    // monotonicOffsetMs ahead of the root time namespace's.
    void writeTimensOffsets(qint64 monotonicOffsetMs);

    // Copies a folder tree (symbolic links kept as links) into the root.
    bool copyFrom(const QString &folder);

private:
    QTemporaryDir m_dir;
};
