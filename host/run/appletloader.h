#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

QT_BEGIN_NAMESPACE
class QPluginLoader;
QT_END_NAMESPACE

namespace vesh {

class OrlAppletFactory;

struct LoadedPlugin
{
    std::shared_ptr<QPluginLoader> loader;
    OrlAppletFactory *factory = nullptr;
};

// Finds and loads applet plugins the way the shell does: the metadata is
// read first and only plugins of the applet-factory interface are loaded.
// A file named on its own must be such a plugin; in a folder, files of
// other kinds are passed over. On failure, error holds a one-line reason.
QList<LoadedPlugin> loadAppletPlugins(const QStringList &paths, QString *error);

} // namespace vesh
