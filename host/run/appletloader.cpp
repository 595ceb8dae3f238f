#include "appletloader.h"

#include <vesh/orlappletfactory.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>

namespace vesh {

namespace {

enum class LoadResult { Loaded, OtherKind, Failed };

LoadResult load(const QString &file, LoadedPlugin *plugin, QString *error)
{
    auto loader = std::make_shared<QPluginLoader>(file);
    // Reading the metadata does not run any of the plugin's code.
    const QJsonObject metaData = loader->metaData();
    if (metaData.isEmpty()) {
        *error = QStringLiteral("%1: not a usable Qt plugin: %2").arg(file, loader->errorString());
        return LoadResult::OtherKind;
    }
    const QString iid = metaData.value(u"IID").toString();
    if (iid != QLatin1StringView(VESH_APPLET_FACTORY_IID)) {
        *error = QStringLiteral("%1: a plugin of interface \"%2\", not \"%3\"")
                     .arg(file, iid, QLatin1StringView(VESH_APPLET_FACTORY_IID));
        return LoadResult::OtherKind;
    }
    auto *factory = qobject_cast<OrlAppletFactory *>(loader->instance());
    if (!factory) {
        *error = QStringLiteral("%1: cannot load: %2").arg(file, loader->errorString());
        return LoadResult::Failed;
    }
    *plugin = {std::move(loader), factory};
    return LoadResult::Loaded;
}

} // namespace

QList<LoadedPlugin> loadAppletPlugins(const QStringList &paths, QString *error)
{
    QList<LoadedPlugin> plugins;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.exists()) {
            *error = QStringLiteral("%1: no such file or folder").arg(path);
            return {};
        }
        if (info.isDir()) {
            const QFileInfoList files = QDir(path).entryInfoList(QDir::Files, QDir::Name);
            for (const QFileInfo &file : files) {
                if (!QLibrary::isLibrary(file.fileName()))
                    continue;
                LoadedPlugin plugin;
                switch (load(file.filePath(), &plugin, error)) {
                case LoadResult::Loaded:
                    plugins.append(plugin);
                    break;
                case LoadResult::OtherKind:
                    break;
                case LoadResult::Failed:
                    return {};
                }
            }
            continue;
        }
        LoadedPlugin plugin;
        if (load(info.filePath(), &plugin, error) != LoadResult::Loaded)
            return {};
        plugins.append(plugin);
    }
    if (plugins.isEmpty()) {
        *error = QStringLiteral("no applet plugin found in %1").arg(paths.join(u", "));
        return {};
    }
    error->clear();
    return plugins;
}

} // namespace vesh
