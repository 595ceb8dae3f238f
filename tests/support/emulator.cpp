#include "emulator.h"

#include <QFile>
#include <QProcess>

namespace emulator {

bool active()
{
    return !QStringLiteral(VESH_EMULATOR).isEmpty();
}

QStringList command(const QString &program)
{
    // CMake's emulator list, joined with spaces by the build.
    return QStringLiteral(VESH_EMULATOR).split(u' ', Qt::SkipEmptyParts) << program;
}

void start(QProcess &process, const QString &program, const QStringList &arguments)
{
    const QStringList run = command(program);
    process.start(run.first(), run.mid(1) + arguments);
}

QByteArrayList argv(const QString &program)
{
    QByteArrayList arguments;
    for (const QString &part : command(program))
        arguments << QFile::encodeName(part);
    return arguments;
}

} // namespace emulator
