#include "pcidevice.h"

#include "files.h"

#include <QRegularExpression>

namespace vesh::pcidevice {

QString folderOf(const QString &deviceFolder)
{
    // Domain, bus, slot and function, in lower-case hex as the kernel
    // writes them; a domain may take more than four digits (Intel VMD).
    static const QRegularExpression address(QStringLiteral("^[0-9a-f]{4,8}:[0-9a-f]{2}:[0-9a-f]{2}\\.[0-7]$"));
    if (!deviceFolder.startsWith(files::DeviceFolders.toString() + u'/'))
        return {};
    qsizetype end = deviceFolder.size();
    while (end > files::DeviceFolders.size()) {
        const qsizetype slash = deviceFolder.lastIndexOf(u'/', end - 1);
        if (address.matchView(QStringView(deviceFolder).sliced(slash + 1, end - slash - 1)).hasMatch())
            return deviceFolder.first(end);
        end = slash;
    }
    return {};
}

std::optional<Identity> identify(const MachineFiles &machine, const QString &deviceFolder)
{
    Identity identity;
    identity.folder = folderOf(deviceFolder);
    if (identity.folder.isEmpty())
        return std::nullopt;
    identity.address = identity.folder.sliced(identity.folder.lastIndexOf(u'/') + 1);
    for (QStringView file : files::PciIdFiles)
        identity.ids.append(cycle::readFile(machine, {identity.folder, u"/", file}, file, kernelfile::OnePage));
    return identity;
}

} // namespace vesh::pcidevice
