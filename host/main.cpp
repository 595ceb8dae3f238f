// vesh-host: plays the shell for applet plugins. It loads them as the shell
// does, creates and initialises one applet of each, and prints the applet's
// properties on every update.

#include "appletloader.h"
#include "machine.h"
#include "propertyline.h"
#include "quitonsignal.h"

#include <vesh/orlapplet.h>
#include <vesh/orlappletfactory.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QMetaMethod>
#include <QPluginLoader>

#include <cstdio>
#include <cstring>
#include <memory>

#ifdef VESH_HOST_QML
#include "panelpreview.h"

#include <QGuiApplication>
#include <QQuickWindow>
#endif

namespace {

void fail(const QString &message)
{
    std::fprintf(stderr, "vesh-host: %s\n", qPrintable(message));
    std::exit(1);
}

QStringList defaultPluginPaths()
{
    // From the build tree, the plugins built beside this runner; once
    // installed, the folder where the shell looks for applets.
    const QString built = QStringLiteral(VESH_PLUGIN_BUILD_DIR);
    if (QFileInfo(built).isDir())
        return {built};
    return {QLibraryInfo::path(QLibraryInfo::PluginsPath) + QLatin1StringView("/vesh/applets")};
}

// Prints one line per update and ends the run after the requested number.
class UpdatePrinter : public QObject
{
    Q_OBJECT

public:
    UpdatePrinter(QObject *applet, bool json, bool withClassName, int count, QObject *parent)
        : QObject(parent), m_applet(applet), m_json(json), m_withClassName(withClassName), m_remaining(count)
    {
    }

    // True once the requested number of updates has been printed.
    static bool done() { return s_done; }

public slots:
    void print()
    {
        QByteArray line = vesh::propertyLine(m_applet, m_json);
        if (m_withClassName && !m_json)
            line.prepend(m_applet->metaObject()->className() + QByteArray(": "));
        std::fprintf(stdout, "%s\n", line.constData());
        std::fflush(stdout);
        if (m_remaining > 0 && ++s_printed >= m_remaining) {
            s_done = true;
            QCoreApplication::quit();
        }
    }

private:
    QObject *m_applet;
    bool m_json;
    bool m_withClassName;
    int m_remaining;
    static inline int s_printed = 0;
    static inline bool s_done = false;
};

// Connects every distinct NOTIFY signal of the applet's properties.
void connectNotifySignals(QObject *applet, UpdatePrinter *printer)
{
    const QMetaObject *meta = applet->metaObject();
    const QMetaMethod slot = printer->metaObject()->method(printer->metaObject()->indexOfSlot("print()"));
    QList<int> connected;
    for (int i = vesh::OrlApplet::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaMethod signal = meta->property(i).notifySignal();
        if (!signal.isValid() || connected.contains(signal.methodIndex()))
            continue;
        connected.append(signal.methodIndex());
        QObject::connect(applet, signal, printer, slot);
    }
}

// A QML scene needs a GUI application; everything else needs Qt Core only.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv)
{
#ifdef VESH_HOST_QML
    bool qml = false;
    bool screenshot = false;
    for (int i = 1; i < argc; ++i) {
        qml = qml || std::strcmp(argv[i], "--qml") == 0;
        screenshot = screenshot || std::strcmp(argv[i], "--screenshot") == 0;
    }
    if (qml) {
        // A picture needs no display: render offscreen, in software.
        if (screenshot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (screenshot)
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        return std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> application = makeApplication(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("vesh-host"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VESH_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Loads panel applet plugins as the shell does and prints their properties on every update."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption once(QStringLiteral("once"), QStringLiteral("Print once after init and exit."));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("Exit after <n> updates."),
                                   QStringLiteral("n"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("One JSON object per update."));
    const QCommandLineOption machine(QStringLiteral("machine"),
                                     QStringLiteral("Run on the fixture machine in <dir> (its sys/ and proc/ "
                                                    "replace /sys and /proc; needs root or user namespaces)."),
                                     QStringLiteral("dir"));
    parser.addOptions({once, count, json, machine});
#ifdef VESH_HOST_QML
    const QCommandLineOption qml(QStringLiteral("qml"),
                                 QStringLiteral("Show the applet through the QML scene in <file>, whose root has "
                                                "\"required property QtObject applet\"."),
                                 QStringLiteral("file"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("With --qml: render one frame after init into <png> and exit."),
                                        QStringLiteral("png"));
    const QCommandLineOption dark(QStringLiteral("dark"),
                                  QStringLiteral("With --qml: dark colours (sets the scene's \"dark\" property)."));
    parser.addOptions({qml, screenshot, dark});
#endif
    parser.addPositionalArgument(QStringLiteral("plugins"),
                                 QStringLiteral("Plugin files or folders (default: the built plugins)."),
                                 QStringLiteral("[plugins...]"));
    parser.process(app);

    int updates = 0;
    if (parser.isSet(count)) {
        bool ok = false;
        updates = parser.value(count).toInt(&ok);
        if (!ok || updates < 1)
            fail(QStringLiteral("--count takes a whole number of at least 1, not \"%1\"").arg(parser.value(count)));
    }

    // Plugin paths are resolved before the fixture hides the real /proc.
    QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        paths = defaultPluginPaths();
    for (QString &path : paths)
        path = QFileInfo(path).absoluteFilePath();

    if (parser.isSet(machine)) {
        QString error;
        if (!vesh::machine::enter(parser.value(machine), &error))
            fail(error);
    }

    QString error;
    const QList<vesh::LoadedPlugin> plugins = vesh::loadAppletPlugins(paths, &error);
    if (plugins.isEmpty())
        fail(error);

    vesh::quitOnTerminationSignals();

    auto panel = std::make_unique<QObject>();
    QList<std::pair<vesh::OrlApplet *, UpdatePrinter *>> applets;
    for (const vesh::LoadedPlugin &plugin : plugins) {
        vesh::OrlApplet *applet = plugin.factory->create(panel.get());
        if (!applet)
            fail(QStringLiteral("%1: the factory made no applet").arg(plugin.loader->fileName()));
        auto *printer = new UpdatePrinter(applet, parser.isSet(json), plugins.size() > 1, updates, panel.get());
        if (!parser.isSet(once))
            connectNotifySignals(applet, printer);
        applets.append({applet, printer});
    }

    for (const auto &[applet, printer] : applets) {
        if (!applet->init())
            fail(QStringLiteral("%1: init() failed").arg(QLatin1StringView(applet->metaObject()->className())));
    }

    int status = 0;
#ifdef VESH_HOST_QML
    vesh::PanelPreview preview;
    if (parser.isSet(qml)) {
        if (applets.size() != 1)
            fail(QStringLiteral("--qml shows one applet; %1 were loaded").arg(applets.size()));
        if (!preview.load(QFileInfo(parser.value(qml)).absoluteFilePath(), applets.first().first, parser.isSet(dark),
                          &error))
            fail(error);
        if (parser.isSet(screenshot)) {
            if (!preview.saveScreenshot(parser.value(screenshot), &error))
                fail(error);
            // The scene goes before the applet it binds to.
            return 0;
        }
        preview.show();
    } else if (parser.isSet(screenshot) || parser.isSet(dark)) {
        fail(QStringLiteral("--screenshot and --dark go with --qml"));
    }
#endif
    if (parser.isSet(once)) {
        for (const auto &[applet, printer] : applets)
            printer->print();
    } else if (!UpdatePrinter::done()) {
        status = app.exec();
    }

    // Applets go before the code that made them.
    panel.reset();
    for (const vesh::LoadedPlugin &plugin : plugins)
        plugin.loader->unload();
    return status;
}

#include "main.moc"
