#include "machinefiles.h"

#include <QDir>

namespace vesh {

QString files::tempInput(int index)
{
    return TempInputPrefix.toString() + QString::number(index) + TempInputSuffix.toString();
}

MachineFiles::MachineFiles(const QString &dir)
    : m_root(QDir(dir).absolutePath())
{
    // "/" is this machine; a trailing separator would double the one that
    // every machine path starts with.
    if (m_root == u"/")
        m_root.clear();
}

kernelfile::Result MachineFiles::read(std::initializer_list<QStringView> machinePath, kernelfile::Buffer *contents,
                                      kernelfile::End end) const
{
    return kernelfile::read(m_root, machinePath, contents, end);
}

QStringList MachineFiles::hwmonEntries() const
{
    // A QDir made from the path alone sorts by name, ignoring case, and
    // NoSort keeps that sort; without CaseSensitive the pattern ignores
    // case too. Dirs takes in links to folders, which the entries are.
    const QDir hwmonClass(path(files::HwmonClass));
    return hwmonClass.entryList(QStringList{files::HwmonEntries.toString()}, QDir::Dirs, QDir::NoSort);
}

} // namespace vesh
