#include "emulator.h"

#include <QFile>
#include <QProcess>

namespace emulator {

QStringList command()
{
    // CMake's emulator list, joined with spaces by the build.
    return QStringLiteral(VESH_EMULATOR).split(u' ', Qt::SkipEmptyParts);
}

void start(QProcess &process, const QString &program, const QStringList &arguments)
{
    QStringList emulated = command();
    if (emulated.isEmpty()) {
        process.start(program, arguments);
        return;
    }
    const QString emulator = emulated.takeFirst();
    process.start(emulator, emulated << program << arguments);
}

QByteArrayList argv(const QString &program)
{
    QByteArrayList arguments;
    for (const QString &part : command())
        arguments << QFile::encodeName(part);
    arguments << QFile::encodeName(program);
    return arguments;
}

} // namespace emulator
