#pragma once

#include "kernelfile.h"

#include <QDir>
#include <QString>
#include <QStringList>

namespace vesh {

// Where the machine's files are read: this machine's own /sys and /proc, or
// a machine folder laid out the same way (DIR/sys, DIR/proc), as fixture
// machines and captures are. Every read of the applet goes through here.
class MachineFiles
{
public:
    // This machine's own files.
    MachineFiles() = default;
    // The files of the machine folder dir.
    explicit MachineFiles(const QString &dir);

    // Where a path of the machine (/sys/..., /proc/...) lies here.
    QString path(QStringView machinePath) const { return m_root + machinePath.toString(); }

    // kernelfile::read of the machine path given in parts.
    kernelfile::Result read(std::initializer_list<QStringView> machinePath, kernelfile::Buffer *contents,
                            const kernelfile::Form &form) const;

    // kernelfile::resolve of the machine path given in parts: where it
    // leads on this machine, as a machine path, never out of it.
    kernelfile::Result resolve(std::initializer_list<QStringView> machinePath, QString *resolved) const;

    // QDir::entryList of the machine folder given: names only, from a QDir
    // made from the path alone, whose own sort (by name, ignoring case) is
    // what QDir::NoSort defers to.
    QStringList entryList(QStringView machineFolder, const QStringList &nameFilters, QDir::Filters filters,
                          QDir::SortFlags sort) const;

private:
    QString m_root; // empty for this machine
};

} // namespace vesh
