#pragma once

#include "appletloader.h"

#include <QList>
#include <QObject>

#include <memory>

namespace vesh {

class OrlApplet;

// Applets made as the shell makes them: each applet plugin loaded, one
// applet of each created under a panel object, then initialised. They go
// in the shell's order too: the applets first, then the code that made them.
class AppletSession
{
public:
    AppletSession();
    ~AppletSession();
    Q_DISABLE_COPY_MOVE(AppletSession)

    // Loads the plugins and creates their applets; false with a one-line
    // reason when there is none or one fails.
    bool create(const QStringList &pluginPaths, QString *error);
    // Calls init() on every applet; false with a one-line reason if one fails.
    bool init(QString *error);

    const QList<OrlApplet *> &applets() const { return m_applets; }
    QObject *panel() const { return m_panel.get(); }

private:
    QList<LoadedPlugin> m_plugins;
    std::unique_ptr<QObject> m_panel;
    QList<OrlApplet *> m_applets;
};

} // namespace vesh
