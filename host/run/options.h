#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace vesh {

// What the runner was asked to do, from its command line.
struct Options
{
    bool once = false;
    int count = 0; // updates to print before exit; 0 runs until a signal
    bool json = false;
    QString machine;
    QString capture; // absolute
    bool explain = false;
    // Read a card that could autosuspend at once, not in its next window.
    bool now = false;
    QString qml;
    QString screenshot;
    bool dark = false;
    QStringList plugins; // absolute paths; the built plugins by default
};

// The runner's command line, parsed once and before the application object
// exists, since the options decide which kind of application that is.
class CommandLine
{
public:
    CommandLine();

    // False with a one-line reason for an unknown option or a value that
    // makes no sense. Plugin paths are resolved by resolvePlugins().
    bool parse(const QStringList &arguments, Options *options, QString *error);

    // Prints the help or the version, if either was asked for, and says
    // whether it did; needs the application object, which names the program.
    bool answerHelpOrVersion();

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_once;
    QCommandLineOption m_count;
    QCommandLineOption m_json;
    QCommandLineOption m_machine;
    QCommandLineOption m_capture;
    QCommandLineOption m_explain;
    QCommandLineOption m_now;
#ifdef VESH_HOST_QML
    QCommandLineOption m_qml;
    QCommandLineOption m_screenshot;
    QCommandLineOption m_dark;
#endif
};

// Makes the plugin paths absolute, defaulting to the built plugins; before
// a fixture machine is entered, as the runner's own folder is read from
// /proc.
void resolvePlugins(Options *options);

} // namespace vesh
