#include "machinefiles.h"

#include <QDir>

namespace vesh {

MachineFiles::MachineFiles(const QString &dir)
    : m_root(QDir(dir).absolutePath())
{
    // "/" is this machine; a trailing separator would double the one that
    // every machine path starts with.
    if (m_root == u"/")
        m_root.clear();
}

kernelfile::Result MachineFiles::read(std::initializer_list<QStringView> machinePath, kernelfile::Buffer *contents,
                                      const kernelfile::Form &form) const
{
    return kernelfile::read(m_root, machinePath, contents, form);
}

kernelfile::Result MachineFiles::resolve(std::initializer_list<QStringView> machinePath, QString *resolved) const
{
    return kernelfile::resolve(m_root, machinePath, resolved);
}

QStringList MachineFiles::entryList(QStringView machineFolder, const QStringList &nameFilters, QDir::Filters filters,
                                   QDir::SortFlags sort) const
{
    const QDir folder(path(machineFolder));
    return folder.entryList(nameFilters, filters, sort);
}

} // namespace vesh
