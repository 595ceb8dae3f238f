#include "elfsection.h"

#include <QFile>

#include <cstring>
#include <elf.h>

ElfSection readElfSection(const QString &fileName, const QByteArray &name)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray image = file.readAll();
    if (image.size() < qsizetype(sizeof(Elf64_Ehdr)) || !image.startsWith(ELFMAG)
        || image.at(EI_CLASS) != ELFCLASS64 || image.at(EI_DATA) != ELFDATA2LSB)
        return {};

    Elf64_Ehdr header;
    std::memcpy(&header, image.constData(), sizeof header);
    auto sectionHeader = [&](int index) {
        Elf64_Shdr section{};
        const quint64 at = header.e_shoff + quint64(index) * header.e_shentsize;
        if (at + sizeof section <= quint64(image.size()))
            std::memcpy(&section, image.constData() + at, sizeof section);
        return section;
    };
    const Elf64_Shdr names = sectionHeader(header.e_shstrndx);
    for (int i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr section = sectionHeader(i);
        const quint64 nameAt = names.sh_offset + section.sh_name;
        if (nameAt >= quint64(image.size()) || name != image.constData() + nameAt)
            continue;
        if (section.sh_offset + section.sh_size > quint64(image.size()))
            return {};
        return {true, section.sh_offset, section.sh_size, section.sh_flags, section.sh_addralign,
                image.mid(qsizetype(section.sh_offset), qsizetype(section.sh_size))};
    }
    return {};
}
