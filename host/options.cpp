#include "options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>

namespace vesh {

namespace {

QStringList defaultPluginPaths()
{
    // From the build tree, the plugins built beside this runner; once
    // installed, the folder where the shell looks for applets.
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/" VESH_PLUGINS_FROM_RUNNER);
    if (QFileInfo(built).isDir())
        return {built};
    return {QLibraryInfo::path(QLibraryInfo::PluginsPath) + QLatin1StringView("/vesh/applets")};
}

} // namespace

bool parseOptions(const QCoreApplication &app, Options *options, QString *error)
{
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
    const QCommandLineOption capture(QStringLiteral("capture"),
                                     QStringLiteral("Write what the applet reads of this machine (or of --machine) "
                                                    "into the new folder <dir>, laid out as a fixture machine, with "
                                                    "the applet's readings in expected.json."),
                                     QStringLiteral("dir"));
    parser.addOptions({once, count, json, machine, capture});
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

    options->once = parser.isSet(once);
    options->json = parser.isSet(json);
    options->machine = parser.value(machine);
    if (parser.isSet(count)) {
        bool ok = false;
        options->count = parser.value(count).toInt(&ok);
        if (!ok || options->count < 1) {
            *error = QStringLiteral("--count takes a whole number of at least 1, not \"%1\"").arg(parser.value(count));
            return false;
        }
    }
#ifdef VESH_HOST_QML
    options->qml = parser.value(qml);
    options->screenshot = parser.value(screenshot);
    options->dark = parser.isSet(dark);
    if (options->qml.isEmpty() && (parser.isSet(screenshot) || options->dark)) {
        *error = QStringLiteral("--screenshot and --dark go with --qml");
        return false;
    }
#endif
    if (parser.isSet(capture)) {
        if (options->once || parser.isSet(count) || options->json || !options->qml.isEmpty()) {
            *error = QStringLiteral("--capture goes with --machine and plugin paths only");
            return false;
        }
        options->capture = QFileInfo(parser.value(capture)).absoluteFilePath();
    }

    // Resolved now, before a fixture machine hides the real /proc.
    options->plugins = parser.positionalArguments();
    if (options->plugins.isEmpty())
        options->plugins = defaultPluginPaths();
    for (QString &path : options->plugins)
        path = QFileInfo(path).absoluteFilePath();
    return true;
}

} // namespace vesh
