#include "elfsection.h"

#include <QFile>
#include <QtEndian>

#include <cstring>
#include <elf.h>

namespace {

// The file's sections, read through the header types of its class (32-bit
// on armhf and i386, 64-bit elsewhere) in its own byte order (big-endian on
// s390x).
template <typename Header, typename Section>
ElfSection findSection(const QByteArray &image, const QByteArray &name, bool bigEndian)
{
    if (image.size() < qsizetype(sizeof(Header)))
        return {};
    auto native = [bigEndian](auto value) { return bigEndian ? qFromBigEndian(value) : qFromLittleEndian(value); };
    Header header;
    std::memcpy(&header, image.constData(), sizeof header);
    header.e_shoff = native(header.e_shoff);
    header.e_shentsize = native(header.e_shentsize);
    header.e_shnum = native(header.e_shnum);
    header.e_shstrndx = native(header.e_shstrndx);
    auto sectionHeader = [&](int index) {
        Section section{};
        const quint64 at = header.e_shoff + quint64(index) * header.e_shentsize;
        if (at + sizeof section <= quint64(image.size()))
            std::memcpy(&section, image.constData() + at, sizeof section);
        section.sh_name = native(section.sh_name);
        section.sh_flags = native(section.sh_flags);
        section.sh_offset = native(section.sh_offset);
        section.sh_size = native(section.sh_size);
        section.sh_addralign = native(section.sh_addralign);
        return section;
    };
    const Section names = sectionHeader(header.e_shstrndx);
    for (int i = 0; i < header.e_shnum; ++i) {
        const Section section = sectionHeader(i);
        const quint64 nameAt = quint64(names.sh_offset) + section.sh_name;
        if (nameAt >= quint64(image.size()) || name != image.constData() + nameAt)
            continue;
        if (quint64(section.sh_offset) + section.sh_size > quint64(image.size()))
            return {};
        return {true, section.sh_offset, section.sh_size, section.sh_flags, section.sh_addralign,
                image.mid(qsizetype(section.sh_offset), qsizetype(section.sh_size))};
    }
    return {};
}

} // namespace

ElfSection readElfSection(const QString &fileName, const QByteArray &name)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray image = file.readAll();
    if (image.size() < EI_NIDENT || !image.startsWith(ELFMAG)
        || (image.at(EI_DATA) != ELFDATA2LSB && image.at(EI_DATA) != ELFDATA2MSB))
        return {};
    const bool bigEndian = image.at(EI_DATA) == ELFDATA2MSB;
    switch (image.at(EI_CLASS)) {
    case ELFCLASS32:
        return findSection<Elf32_Ehdr, Elf32_Shdr>(image, name, bigEndian);
    case ELFCLASS64:
        return findSection<Elf64_Ehdr, Elf64_Shdr>(image, name, bigEndian);
    }
    return {};
}
