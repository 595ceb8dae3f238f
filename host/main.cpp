// vesh-host: plays the shell for applet plugins. It loads them as the shell
// does, creates and initialises one applet of each, and prints the applet's
// properties on every update.

#include "explain/explain.h"
#include "machinefiles.h"
#include "machinefolder/capture.h"
#include "machinefolder/machinefolder.h"
#include "machinefolder/machinenamespace.h"
#include "printable.h"
#include "run/appletsession.h"
#include "run/application.h"
#include "run/gpuwindow.h"
#include "run/options.h"
#include "run/quitonsignal.h"
#include "run/updateprinter.h"

#include <vesh/orlapplet.h>

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <unistd.h>

#ifdef VESH_HOST_QML
#include "preview/panelpreview.h"
#endif

namespace {

// The run's one line on standard error, and its exit status. Whatever
// part of it came from the machine is escaped already.
int fail(const QString &message)
{
    std::fprintf(stderr, "vesh-host: %s\n", qPrintable(message));
    return 1;
}

// The applet's and Qt's log lines name the machine's paths and values:
// they are shown escaped, as every text from the machine is.
void escapedMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString line =
        vesh::printable::name(qFormatLogMessage(type, context, message).toUtf8(), vesh::printable::PathLimit);
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(escapedMessage);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    vesh::CommandLine commandLine;
    vesh::Options options;
    QString error;
    // A command line that makes no sense gets its one-line error, never a
    // GUI application that may find no display.
    if (!commandLine.parse(arguments, &options, &error))
        return fail(error);
    vesh::resolvePlugins(&options);

    if (!options.machine.isEmpty() && !vesh::machinefolder::check(options.machine, &error))
        return fail(error);
    // The runner's one cycle, or its applets' first, reads a card that
    // could suspend itself in its window, as every applet's later cycles do.
    const vesh::MachineFiles machine =
        options.machine.isEmpty() ? vesh::MachineFiles() : vesh::MachineFiles(options.machine);
    if (options.explain) {
        if (!options.now)
            vesh::waitForGpuWindow(machine, nullptr);
        vesh::explainMachine(options.machine, options.json, options.now);
        return 0;
    }
    if (!options.machine.isEmpty()) {
        // Entered before the application object exists: a GUI application
        // starts threads, and the kernel gives a threaded process no user
        // namespace. A capture reads the folder as it is.
        if (options.capture.isEmpty() && !vesh::machinenamespace::enter(options.machine, &error))
            return fail(error);
    }

    const std::unique_ptr<QCoreApplication> app = vesh::makeApplication(argc, argv, options);
    if (commandLine.answerHelpOrVersion())
        return 0;
    vesh::quitOnTerminationSignals();
    // Unless told to read at once, waits for the card's read window on the
    // machine read; false where a signal ended the wait, and so the run.
    const auto waitedForGpuWindow = [&options](const vesh::MachineFiles &read) {
        if (!options.now)
            vesh::waitForGpuWindow(read, &vesh::quitRequested);
        return !vesh::quitRequested();
    };

    if (!options.capture.isEmpty()) {
        // The capture reads the folder as it is.
        if (!waitedForGpuWindow(machine))
            return 0;
        if (!vesh::captureMachine(options.capture, options.machine, options.plugins, options.now, &error))
            return fail(error);
        return 0;
    }

    vesh::AppletSession session;
    if (!session.create(options.plugins, &error))
        return fail(error);

    // Each line goes out as it is made, whatever standard output is.
    QFile out;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("cannot write to standard output"));
    const QList<vesh::OrlApplet *> &applets = session.applets();
    QList<vesh::UpdatePrinter *> printers;
    vesh::UpdateCount count{options.count};
    for (vesh::OrlApplet *applet : applets) {
        auto *printer =
            new vesh::UpdatePrinter(applet, &out, options.json, applets.size() > 1, &count, session.panel());
        if (!options.once)
            printer->followUpdates();
        printers.append(printer);
    }
    // Right before the applets' first cycle, which reads the machine they
    // are shown.
    if (!waitedForGpuWindow(vesh::MachineFiles()))
        return 0;
    if (!session.init(&error))
        return fail(error);

#ifdef VESH_HOST_QML
    vesh::PanelPreview preview;
    if (!options.qml.isEmpty()) {
        if (applets.size() != 1)
            return fail(QStringLiteral("--qml shows one applet; %1 were loaded").arg(applets.size()));
        if (!preview.load(QFileInfo(options.qml).absoluteFilePath(), applets.first(), options.dark, &error))
            return fail(error);
        if (!options.screenshot.isEmpty()) {
            if (!preview.saveScreenshot(options.screenshot, &error))
                return fail(error);
            // The scene goes before the applet it binds to.
            return 0;
        }
        preview.show();
    }
#endif
    if (options.once) {
        for (vesh::UpdatePrinter *printer : std::as_const(printers))
            printer->print();
        return 0;
    }
    return count.reached() ? 0 : app->exec();
}
