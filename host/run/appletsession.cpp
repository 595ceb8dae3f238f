#include "appletsession.h"

#include <vesh/orlapplet.h>
#include <vesh/orlappletfactory.h>

#include <QPluginLoader>

namespace vesh {

AppletSession::AppletSession()
    : m_panel(std::make_unique<QObject>())
{
}

AppletSession::~AppletSession()
{
    m_panel.reset();
    for (const LoadedPlugin &plugin : std::as_const(m_plugins))
        plugin.loader->unload();
}

bool AppletSession::create(const QStringList &pluginPaths, QString *error)
{
    m_plugins = loadAppletPlugins(pluginPaths, error);
    if (m_plugins.isEmpty())
        return false;
    for (const LoadedPlugin &plugin : std::as_const(m_plugins)) {
        OrlApplet *applet = plugin.factory->create(m_panel.get());
        if (!applet) {
            *error = QStringLiteral("%1: the factory made no applet").arg(plugin.loader->fileName());
            return false;
        }
        m_applets.append(applet);
    }
    return true;
}

bool AppletSession::init(QString *error)
{
    for (OrlApplet *applet : std::as_const(m_applets)) {
        if (!applet->init()) {
            *error = QStringLiteral("%1: init() failed").arg(QLatin1StringView(applet->metaObject()->className()));
            return false;
        }
    }
    return true;
}

} // namespace vesh
