#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>

class QProcess;

// A cross-built tree's programs run under the build's emulator (qemu-user),
// called by name: without a binfmt registration the kernel would refuse to
// start them. In a native build programs run as they are.
namespace emulator {

// Whether this build's programs run under an emulator.
bool active();

// The command that runs program: the emulator's, if any, then program.
QStringList command(const QString &program);

// Starts program with arguments as command() runs it.
void start(QProcess &process, const QString &program, const QStringList &arguments);

// command(), for exec.
QByteArrayList argv(const QString &program);

} // namespace emulator
