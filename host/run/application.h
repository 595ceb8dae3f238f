#pragma once

#include <QCoreApplication>

#include <memory>

namespace vesh {

struct Options;

// The application object the options call for: a QML scene (--qml) needs a
// GUI application, rendered offscreen in software when it only makes a
// screenshot; everything else needs Qt Core only.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv, const Options &options);

} // namespace vesh
