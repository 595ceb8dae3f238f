#pragma once

#include <QByteArray>
#include <QString>

// One section of an ELF file, 32- or 64-bit, of either byte order, read from the file itself.
struct ElfSection
{
    bool found = false;
    quint64 fileOffset = 0;
    quint64 size = 0;
    quint64 flags = 0;
    quint64 alignment = 0;
    QByteArray contents;
};

ElfSection readElfSection(const QString &file, const QByteArray &name);
