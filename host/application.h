#pragma once

#include <QCoreApplication>

#include <memory>

namespace vesh {

// The application object the command line calls for: a QML scene (--qml)
// needs a GUI application, rendered offscreen in software when it only
// makes a screenshot; everything else needs Qt Core only.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv);

} // namespace vesh
