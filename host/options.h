#pragma once

#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QCoreApplication;
QT_END_NAMESPACE

namespace vesh {

// What the runner was asked to do, from its command line.
struct Options
{
    bool once = false;
    int count = 0; // updates to print before exit; 0 runs until a signal
    bool json = false;
    QString machine;
    QString capture; // absolute
    QString qml;
    QString screenshot;
    bool dark = false;
    QStringList plugins; // absolute paths; the built plugins by default
};

// Parses the runner's command line; --help and --version print and exit
// here. False with a one-line reason for a value that makes no sense.
bool parseOptions(const QCoreApplication &app, Options *options, QString *error);

} // namespace vesh
