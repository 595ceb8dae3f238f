// vesh-host: plays the shell for applet plugins. It loads them as the shell
// does, creates and initialises one applet of each, and prints the applet's
// properties on every update.

#include "application.h"
#include "appletloader.h"
#include "machine.h"
#include "options.h"
#include "quitonsignal.h"
#include "updateprinter.h"

#include <vesh/orlapplet.h>
#include <vesh/orlappletfactory.h>

#include <QFileInfo>
#include <QPluginLoader>

#include <cstdio>
#include <memory>

#ifdef VESH_HOST_QML
#include "panelpreview.h"
#endif

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "vesh-host: %s\n", qPrintable(message));
    std::exit(1);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> app = vesh::makeApplication(argc, argv);
    vesh::Options options;
    QString error;
    if (!vesh::parseOptions(*app, &options, &error))
        fail(error);

    if (!options.machine.isEmpty() && !vesh::machine::enter(options.machine, &error))
        fail(error);

    const QList<vesh::LoadedPlugin> plugins = vesh::loadAppletPlugins(options.plugins, &error);
    if (plugins.isEmpty())
        fail(error);

    vesh::quitOnTerminationSignals();

    auto panel = std::make_unique<QObject>();
    QList<std::pair<vesh::OrlApplet *, vesh::UpdatePrinter *>> applets;
    for (const vesh::LoadedPlugin &plugin : plugins) {
        vesh::OrlApplet *applet = plugin.factory->create(panel.get());
        if (!applet)
            fail(QStringLiteral("%1: the factory made no applet").arg(plugin.loader->fileName()));
        auto *printer = new vesh::UpdatePrinter(applet, options.json, plugins.size() > 1, options.count, panel.get());
        if (!options.once)
            printer->followUpdates();
        applets.append({applet, printer});
    }

    for (const auto &[applet, printer] : std::as_const(applets)) {
        if (!applet->init())
            fail(QStringLiteral("%1: init() failed").arg(QLatin1StringView(applet->metaObject()->className())));
    }

    int status = 0;
#ifdef VESH_HOST_QML
    vesh::PanelPreview preview;
    if (!options.qml.isEmpty()) {
        if (applets.size() != 1)
            fail(QStringLiteral("--qml shows one applet; %1 were loaded").arg(applets.size()));
        if (!preview.load(QFileInfo(options.qml).absoluteFilePath(), applets.first().first, options.dark, &error))
            fail(error);
        if (!options.screenshot.isEmpty()) {
            if (!preview.saveScreenshot(options.screenshot, &error))
                fail(error);
            // The scene goes before the applet it binds to.
            return 0;
        }
        preview.show();
    }
#endif
    if (options.once) {
        for (const auto &[applet, printer] : std::as_const(applets))
            printer->print();
    } else if (!vesh::UpdatePrinter::done()) {
        status = app->exec();
    }

    // Applets go before the code that made them.
    panel.reset();
    for (const vesh::LoadedPlugin &plugin : plugins)
        plugin.loader->unload();
    return status;
}
