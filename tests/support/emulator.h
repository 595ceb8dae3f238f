#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>

class QProcess;

// A cross-built tree's programs run under the build's emulator (qemu-user),
// called by name: without a binfmt registration the kernel would refuse to
// start them. In a native build all of this passes programs through as
// they are.
namespace emulator {

// The emulator's command, empty where programs run natively.
QStringList command();

// Starts program under the emulator where there is one.
void start(QProcess &process, const QString &program, const QStringList &arguments);

// The argument vector that runs program, for exec.
QByteArrayList argv(const QString &program);

} // namespace emulator
