#include "options.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>

#include <cstdio>

namespace vesh {

CommandLine::CommandLine()
    : m_help(m_parser.addHelpOption())
    , m_version(m_parser.addVersionOption())
    , m_once(QStringLiteral("once"), QStringLiteral("Print once after init and exit."))
    , m_count(QStringLiteral("count"), QStringLiteral("Exit after <n> updates."), QStringLiteral("n"))
    , m_json(QStringLiteral("json"), QStringLiteral("One JSON object per update."))
    , m_machine(QStringLiteral("machine"),
                QStringLiteral("Run on the fixture machine in <dir> (its sys/ and proc/ "
                               "replace /sys and /proc; needs root or user namespaces). "
                               "A folder that holds anything but plain files, folders and "
                               "links that stay inside it is refused."),
                QStringLiteral("dir"))
    , m_capture(QStringLiteral("capture"),
                QStringLiteral("Write what the applet reads of this machine (or of --machine) "
                               "into the new folder <dir>, laid out as a fixture machine, with "
                               "the applet's readings in expected.json."),
                QStringLiteral("dir"))
    , m_explain(QStringLiteral("explain"),
                QStringLiteral("Print what the applet sees on this machine (or on --machine) and "
                               "why: every hwmon device and whether it is read, the readings, and "
                               "why a reading shows 0 or nothing. With --json, as one JSON object."))
    , m_now(QStringLiteral("now"),
            QStringLiteral("Read a graphics card that could suspend itself at once, rather than waiting "
                           "up to a period for its next read window. The read keeps an idle card awake "
                           "for another autosuspend delay and more."))
#ifdef VESH_HOST_QML
    , m_qml(QStringLiteral("qml"),
            QStringLiteral("Show the applet through the QML scene in <file>, whose root has "
                           "\"required property QtObject applet\"."),
            QStringLiteral("file"))
    , m_screenshot(QStringLiteral("screenshot"),
                   QStringLiteral("With --qml: render one frame after init into <png> and exit."), QStringLiteral("png"))
    , m_dark(QStringLiteral("dark"), QStringLiteral("With --qml: dark colours (sets the scene's \"dark\" property)."))
#endif
{
    m_parser.setApplicationDescription(QStringLiteral(
        "Loads panel applet plugins as the shell does and prints their properties on every update."));
    m_parser.addOptions({m_once, m_count, m_json, m_machine, m_capture, m_explain, m_now});
#ifdef VESH_HOST_QML
    m_parser.addOptions({m_qml, m_screenshot, m_dark});
#endif
    m_parser.addPositionalArgument(QStringLiteral("plugins"),
                                   QStringLiteral("Plugin files or folders (default: the built plugins)."),
                                   QStringLiteral("[plugins...]"));
}

bool CommandLine::parse(const QStringList &arguments, Options *options, QString *error)
{
    if (!m_parser.parse(arguments)) {
        *error = m_parser.errorText();
        return false;
    }
    // Help and version are answered whatever else the line holds.
    if (m_parser.isSet(m_help) || m_parser.isSet(m_version))
        return true;

    options->once = m_parser.isSet(m_once);
    options->json = m_parser.isSet(m_json);
    options->machine = m_parser.value(m_machine);
    if (m_parser.isSet(m_count)) {
        bool ok = false;
        options->count = m_parser.value(m_count).toInt(&ok);
        if (!ok || options->count < 1) {
            *error = QStringLiteral("--count takes a whole number of at least 1, not \"%1\"").arg(m_parser.value(m_count));
            return false;
        }
    }
#ifdef VESH_HOST_QML
    options->qml = m_parser.value(m_qml);
    options->screenshot = m_parser.value(m_screenshot);
    options->dark = m_parser.isSet(m_dark);
    if (options->qml.isEmpty() && (m_parser.isSet(m_screenshot) || options->dark)) {
        *error = QStringLiteral("--screenshot and --dark go with --qml");
        return false;
    }
#endif
    options->explain = m_parser.isSet(m_explain);
    options->now = m_parser.isSet(m_now);
    if (options->explain
        && (options->once || m_parser.isSet(m_count) || m_parser.isSet(m_capture) || !options->qml.isEmpty())) {
        *error = QStringLiteral("--explain goes with --machine, --json and --now only");
        return false;
    }
    if (m_parser.isSet(m_capture)) {
        if (options->once || m_parser.isSet(m_count) || options->json || !options->qml.isEmpty()) {
            *error = QStringLiteral("--capture goes with --machine, --now and plugin paths only");
            return false;
        }
        options->capture = QFileInfo(m_parser.value(m_capture)).absoluteFilePath();
    }
    options->plugins = m_parser.positionalArguments();
    return true;
}

bool CommandLine::answerHelpOrVersion()
{
    // As QCommandLineParser's showHelp() and showVersion() print them, but
    // without their exit(), so that the run ends by returning from main.
    if (m_parser.isSet(m_help)) {
        std::fputs(qPrintable(m_parser.helpText()), stdout);
        return true;
    }
    if (m_parser.isSet(m_version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return true;
    }
    return false;
}

void resolvePlugins(Options *options)
{
    // From the build tree, the plugins built beside this runner; once
    // installed, the folder where the shell looks for applets. Resolved
    // before a fixture machine hides the real /proc, which tells where the
    // runner is.
    if (options->plugins.isEmpty()) {
        const QString runner = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
        const QString built = QFileInfo(runner).path() + QStringLiteral("/" VESH_PLUGINS_FROM_RUNNER);
        options->plugins = {QFileInfo(built).isDir()
                                ? built
                                : QLibraryInfo::path(QLibraryInfo::PluginsPath) + QLatin1StringView("/vesh/applets")};
    }
    for (QString &path : options->plugins)
        path = QFileInfo(path).absoluteFilePath();
}

} // namespace vesh
