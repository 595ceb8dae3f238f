#include "support/elfsection.h"
#include "support/emulator.h"
#include "support/fixturetree.h"
#include "support/sandbox.h"

#include "clocks.h"
#include "gpupower.h"
#include "printable.h"

#include <QtEndian>

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace {

const QString Host = QStringLiteral(VESH_HOST);
const QString Plugin = QStringLiteral(VESH_PLUGIN_FILE);
// The stand-in applet, which publishes the table a test gives it and reads
// nothing of any machine: the runner's own behaviour is tested with it.
const QString StandIn = QStringLiteral(VESH_TABLE_PLUGIN);
const QString Machines = QStringLiteral(VESH_FIXTURES "/machines");
// The machine the real plugin runs on wherever a test does not make one:
// never the machine the tests run on.
const QString Machine = Machines + QStringLiteral("/ryzen-radeon");
// Its first update as the runner prints it.
const QByteArray MachineLine = R"(cpuTemp=52 gpuTemp=43 cpuTempTctl=49 gpuTempJunction=45 gpuTempMem=50 )"
                               R"(cpuLabel="k10temp" gpuLabel="amdgpu" netSpeed="NET 0B/s" memUsage="MEM 11.0G/31.3G 35.2%")";

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Root reads whatever it likes, so what an ordinary user meets is seen as
// nobody; a test run by an ordinary user is one already.
void asOrdinaryUser(QProcess &process)
{
    if (::geteuid() != 0)
        return;
    process.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(126);
    });
}

// The runner with its stand-in of the shell, the plugin, the preview's
// scene and a fixture machine, copied where any user can read them: an
// ordinary user cannot reach into every checkout (a home folder, a
// sandbox's own folders).
struct ReadableCopy
{
    QTemporaryDir dir;
    QString host;
    QString plugin;
    QString scene;
    QString machine;

    bool make(const QString &machineName)
    {
        host = dir.filePath(QStringLiteral("host/vesh-host"));
        plugin = dir.filePath(QStringLiteral("plugin.so"));
        scene = dir.filePath(QStringLiteral("panel.qml"));
        machine = dir.filePath(QStringLiteral("machine"));
        // Laid out as in the build tree, which the runner's run path expects.
        return QDir().mkpath(dir.filePath(QStringLiteral("host"))) && QDir().mkpath(dir.filePath(QStringLiteral("shell")))
            && QFile::copy(Host, host)
            && QFile::copy(QStringLiteral(VESH_SHELL_LIBRARY), dir.filePath(QStringLiteral("shell/libbrenn-shell.so.1")))
            && QFile::copy(Plugin, plugin) && QFile::copy(QStringLiteral(VESH_SOURCE "/host/preview/panel.qml"), scene)
            && QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), QStringLiteral(VESH_FIXTURES "/machines/") + machineName, machine}) == 0
            && QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("a+rX"), dir.path()}) == 0;
    }
};

// The timeout only ends a run that hangs; it bounds no run's speed.
Run runHost(const QStringList &arguments, int timeoutMs = 60000, bool ordinaryUser = false,
            const QString &host = Host, const QProcessEnvironment &environment = sandbox::childEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (ordinaryUser)
        asOrdinaryUser(process);
    emulator::start(process, host, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// The updates recorded with the machine folder at root: what the applet
// publishes there after init and after the next cycle (tst_proof holds the
// applet to them). Empty where there are none.
QJsonArray recordedUpdates(const QString &root)
{
    QFile file(root + QStringLiteral("/expected.json"));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll())[u"updates"].toArray() : QJsonArray();
}

// The stand-in applet's table: the updates it publishes, in order.
QJsonObject tableOf(const QJsonArray &updates)
{
    return {{QStringLiteral("updates"), updates}};
}

// The environment that gives the stand-in applet its table.
QProcessEnvironment withTable(const QJsonObject &table)
{
    QProcessEnvironment environment = sandbox::childEnvironment();
    environment.insert(QStringLiteral(VESH_TABLE_VARIABLE), QString::fromUtf8(QJsonDocument(table).toJson(QJsonDocument::Compact)));
    return environment;
}

// The runner with the stand-in applet's table: no fixture machine, so no
// namespace, and nothing of this machine read, not even the power state of
// its graphics card, whose window the runner would otherwise wait for.
Run runWithTable(const QJsonObject &table, const QStringList &arguments)
{
    return runHost(QStringList{QStringLiteral("--now")} + arguments, 60000, false, Host, withTable(table));
}

// A copy of the plugin whose metadata claims a Qt newer than this one.
QString pluginForNewerQt(const QTemporaryDir &dir)
{
    const QString copy = dir.filePath(QStringLiteral("newer.so"));
    QFile::copy(Plugin, copy);
    const ElfSection note = readElfSection(copy, ".note.qt.metadata");
    QFile file(copy);
    if (!note.found || !file.open(QIODevice::ReadWrite))
        return {};
    // Descriptor after the 12-byte note header and 12-byte name; byte 2 is
    // the minor version.
    file.seek(qint64(note.fileOffset) + 24 + 2);
    file.write(QByteArray(1, char(QT_VERSION_MINOR + 1)));
    return copy;
}

// Every entry under root: "dir", "link <target>" or "file <bytes>".
QMap<QString, QByteArray> tree(const QString &root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        const QString path = QDir(root).relativeFilePath(entry.filePath());
        if (entry.isSymLink()) {
            entries.insert(path, "link " + QFile::encodeName(entry.readSymLink()));
        } else if (entry.isDir()) {
            entries.insert(path, "dir");
        } else {
            QFile file(entry.filePath());
            entries.insert(path, file.open(QIODevice::ReadOnly) ? "file " + file.readAll() : QByteArray("unreadable"));
        }
    }
    return entries;
}

} // namespace

class TestHost : public QObject
{
    Q_OBJECT

private slots:
    // --once prints one line, of the first update: every property the
    // applet's class declares, in its order, numbers as they are and text in
    // quotes, escaped.
    void oncePrintsEveryProperty_data()
    {
        QTest::addColumn<QJsonObject>("update");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("a fixture machine's readings") << recordedUpdates(Machine).at(0).toObject() << MachineLine;
        QTest::newRow("nothing published")
            << QJsonObject()
            << QByteArray(R"(cpuTemp=0 gpuTemp=0 cpuTempTctl=0 gpuTempJunction=0 gpuTempMem=0 cpuLabel="" gpuLabel="" )"
                          R"(netSpeed="" memUsage="")");
        QTest::newRow("below zero, quotes, a newline, terminal escapes and a right-to-left mark")
            << QJsonObject{{QStringLiteral("cpuTemp"), -12},
                           {QStringLiteral("gpuTempMem"), 105},
                           {QStringLiteral("cpuLabel"), QStringLiteral("a \"b\"\n")},
                           {QStringLiteral("gpuLabel"), QStringLiteral("amd\x1b]0;x\x07gpu")},
                           {QStringLiteral("netSpeed"), QString::fromUtf8("NET \u202e1B/s")}}
            << QByteArray("cpuTemp=-12 gpuTemp=0 cpuTempTctl=0 gpuTempJunction=0 gpuTempMem=105 cpuLabel=\"a \\\"b\\\"\\n\" "
                          "gpuLabel=\"amd\\x1b]0;x\\x07gpu\" netSpeed=\"NET \\u202e1B/s\" memUsage=\"\"");
    }

    void oncePrintsEveryProperty()
    {
        QFETCH(QJsonObject, update);
        QFETCH(QByteArray, line);
        const QJsonObject later{{QStringLiteral("cpuTemp"), 99}};
        const Run run = runWithTable(tableOf({update, later}), {QStringLiteral("--once"), StandIn});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(run.out, line + '\n');
    }

    // --json prints one object per update, with the applet's class and its
    // properties, text escaped; --count ends the run.
    void jsonLinePerUpdate()
    {
        const QJsonArray recorded = recordedUpdates(Machine);
        QJsonObject escape = recorded.at(1).toObject();
        escape.insert(QStringLiteral("gpuLabel"), QStringLiteral("amd\x1b[2Jgpu"));
        const Run run = runWithTable(tableOf({recorded.at(0), escape, recorded.at(0)}),
                                     {QStringLiteral("--json"), QStringLiteral("--count"), QStringLiteral("2"), StandIn});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        const QList<QByteArray> lines = run.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        escape.insert(QStringLiteral("gpuLabel"), QStringLiteral("amd\\x1b[2Jgpu"));
        const QJsonArray expected{recorded.at(0), escape};
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QJsonParseError error;
            const QJsonObject update = QJsonDocument::fromJson(lines.at(i), &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(update.value(u"applet").toString(), QStringLiteral("TableApplet"));
            QCOMPARE(update.value(u"properties").toObject(), expected.at(i).toObject());
        }
    }

    void folderWithOtherFilesLoadsTheApplet()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(StandIn, dir.filePath(QStringLiteral("applet.so"))));
        QVERIFY(QFile::copy(QStringLiteral(VESH_OTHER_PLUGIN), dir.filePath(QStringLiteral("other.so"))));
        QFile text(dir.filePath(QStringLiteral("README.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a plugin\n");
        text.close();

        const Run run = runWithTable(tableOf({recordedUpdates(Machine).at(0)}), {QStringLiteral("--once"), dir.path()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, MachineLine + '\n');
    }

    // The real applet through the runner's loading, end to end: the runner
    // finds the built plugin itself, enters the fixture machine and prints
    // the machine's readings; --explain, which needs no namespace, tells the
    // same.
    void theRealAppletOnAFixtureMachine()
    {
        SANDBOX_REQUIRED();
        const Run once = runHost(sandbox::runnerOn(Machine) + QStringList{QStringLiteral("--once")});
        QVERIFY2(once.exitCode == 0, once.err.constData());
        QCOMPARE(once.out, MachineLine + '\n');

        const Run json = runHost(sandbox::runnerOn(Machine) + QStringList{QStringLiteral("--once"), QStringLiteral("--json"), Plugin});
        QVERIFY2(json.exitCode == 0, json.err.constData());
        const QJsonObject update = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(update.value(u"applet").toString(), QStringLiteral("vesh::TemperatureApplet"));
        const QJsonObject properties = update.value(u"properties").toObject();
        // The first update is the first network sample: no rate yet.
        QCOMPARE(properties.value(u"netSpeed").toString(), QStringLiteral("NET 0B/s"));
        QCOMPARE(properties, recordedUpdates(Machine).at(0).toObject());

        const Run explain = runHost({QStringLiteral("--machine"), Machine, QStringLiteral("--explain"), QStringLiteral("--json")});
        QVERIFY2(explain.exitCode == 0, explain.err.constData());
        QCOMPARE(QJsonDocument::fromJson(explain.out)[u"properties"].toObject(), properties);
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");

        QTest::newRow("missing file") << QStringList{"/nonexistent/applet.so"}
                                      << "vesh-host: /nonexistent/applet.so: no such file or folder";
        QTest::newRow("text file") << QStringList{QStringLiteral(VESH_FIXTURES "/netdev/desktop.txt")}
                                   << "desktop.txt: not a usable Qt plugin";
        QTest::newRow("library that is no plugin")
            << QStringList{QStringLiteral(VESH_SHELL_LIBRARY)} << ": not a usable Qt plugin";
        QTest::newRow("plugin of another interface")
            << QStringList{QStringLiteral(VESH_OTHER_PLUGIN)}
            << "a plugin of interface \"org.example.other-interface\", not \"org.brenn.vesh.applet-factory\"";
        QTest::newRow("plugin for a newer Qt") << QStringList{"<newer>"} << "uses incompatible Qt library";
        QTest::newRow("folder without applets") << QStringList{"<empty>"} << "vesh-host: no applet plugin found in ";
        QTest::newRow("applet whose init() fails") << QStringList{"<refusing applet>"} << "vesh-host: TableApplet: init() failed";
        QTest::newRow("count of 0") << QStringList{"--count", "0"} << "--count takes a whole number";
        QTest::newRow("count not a number") << QStringList{"--count", "x"} << "--count takes a whole number";
        QTest::newRow("missing machine") << QStringList{"--machine", "/nonexistent"}
                                         << "/nonexistent: no such machine folder";
        QTest::newRow("explain with count") << QStringList{"--explain", "--count", "2"}
                                            << "--explain goes with --machine, --json and --now only";
        QTest::newRow("capture where nothing can be written")
            << QStringList{"--capture", "/proc/vesh-capture"} << "/proc/vesh-capture: cannot write beside it";
    }

    void errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTemporaryDir scratch;
        QProcessEnvironment environment = sandbox::childEnvironment();
        for (QString &argument : arguments) {
            if (argument == u"<newer>") {
                argument = pluginForNewerQt(scratch);
            } else if (argument == u"<empty>") {
                argument = scratch.path();
            } else if (argument == u"<refusing applet>") {
                // A table that names a property the applet does not have.
                argument = StandIn;
                environment = withTable(tableOf({QJsonObject{{QStringLiteral("fanSpeed"), 1200}}}));
            }
        }
        // Nothing of this machine read, not even its graphics card's power state.
        const Run run = runHost(arguments + QStringList{QStringLiteral("--now")}, 60000, false, Host, environment);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        const QList<QByteArray> lines = run.err.trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("vesh-host: "), run.err.constData());
        QVERIFY2(lines.first().contains(message.toUtf8()), run.err.constData());
    }

    // The panel preview renders the applet's readings offscreen.
    void screenshotOfTheScene()
    {
        if (!runHost({QStringLiteral("--help")}).out.contains("--qml"))
            QSKIP("this runner was built without Qt Quick");
        const QString scene = QStringLiteral(VESH_SOURCE "/host/preview/panel.qml");
        const QJsonObject table = tableOf({recordedUpdates(Machine).at(0)});
        QTemporaryDir dir;
        QList<QByteArray> pictures;
        for (const char *machine : {"ryzen-radeon", "no-hwmon"}) {
            const QString png = dir.filePath(QLatin1StringView(machine) + QLatin1StringView(".png"));
            const Run run = runWithTable(tableOf({recordedUpdates(Machines + u'/' + QLatin1StringView(machine)).at(0)}),
                                         {QStringLiteral("--qml"), scene, QStringLiteral("--screenshot"), png, StandIn});
            QVERIFY2(run.exitCode == 0, run.err.constData());
            QVERIFY2(!run.err.contains("TypeError") && !run.err.contains("qml:"), run.err.constData());
            QFile file(png);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
            // IHDR: width and height, big-endian, from byte 16.
            const quint32 width = qFromBigEndian<quint32>(bytes.constData() + 16);
            const quint32 height = qFromBigEndian<quint32>(bytes.constData() + 20);
            QVERIFY2(width > 300 && height == 34, qPrintable(QStringLiteral("%1x%2").arg(width).arg(height)));
            pictures.append(bytes);
        }
        QVERIFY(pictures.at(0) != pictures.at(1));

        // Qt's other form of the same options draws the same picture.
        const QString joined = dir.filePath(QStringLiteral("joined.png"));
        const Run joinedRun = runWithTable(table, {QStringLiteral("--qml=") + scene, QStringLiteral("--screenshot=") + joined, StandIn});
        QVERIFY2(joinedRun.exitCode == 0, joinedRun.err.constData());
        QFile joinedFile(joined);
        QVERIFY(joinedFile.open(QIODevice::ReadOnly));
        QCOMPARE(joinedFile.readAll(), pictures.at(0));

        const Run broken = runWithTable(table, {QStringLiteral("--qml"), QStringLiteral("/nonexistent/panel.qml"),
                                                QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("x.png")), StandIn});
        QCOMPARE(broken.exitCode, 1);
        QVERIFY2(broken.err.contains("vesh-host: /nonexistent/panel.qml: the scene does not load"), broken.err.constData());
    }

    // The preview as an ordinary user on a real X display: the machine is
    // entered before the GUI application starts its threads, and the
    // window shows the fixture's readings as the offscreen picture does.
    void previewOnADisplay()
    {
        if (!runHost({QStringLiteral("--help")}).out.contains("--qml"))
            QSKIP("this runner was built without Qt Quick");
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("Xvfb not installed");
        if (emulator::active())
            QSKIP("the runner as an ordinary user needs a user namespace, which the kernel refuses a process "
                  "with threads, and qemu-user runs threads of its own");
        ReadableCopy copy;
        QVERIFY(copy.make(QStringLiteral("ryzen-radeon")));
        QProcess server;
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1280x200x24")});
        QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 60000);
        const QString display = u':' + QString::fromLatin1(server.readLine().trimmed());

        // The readings the applet printed, and the picture's size.
        QList<QByteArray> shown;
        for (const char *platform : {"xcb", "offscreen"}) {
            QProcessEnvironment environment = sandbox::childEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QLatin1StringView(platform));
            environment.insert(QStringLiteral("DISPLAY"), display);
            environment.insert(QStringLiteral("HOME"), copy.dir.path());
            const QString png = copy.dir.filePath(QLatin1StringView(platform) + QLatin1StringView(".png"));
            QVERIFY(QFile(png).open(QIODevice::WriteOnly));
            QVERIFY(QFile::setPermissions(png, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
            const Run run = runHost(sandbox::runnerOn(copy.machine)
                                        + QStringList{QStringLiteral("--qml"), copy.scene, QStringLiteral("--screenshot"),
                                                      png, copy.plugin},
                                    30000, true, copy.host, environment);
            if (run.err.contains("cannot make a private mount namespace"))
                QSKIP(qPrintable(QStringLiteral("fixture machines need a private mount namespace: ")
                                 + QString::fromUtf8(run.err.trimmed())));
            QVERIFY2(run.exitCode == 0, run.err.constData());
            QFile file(png);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
            // IHDR: width and height, big-endian, from byte 16.
            shown.append(run.out + bytes.mid(16, 8).toHex());
        }
        server.terminate();
        server.waitForFinished();
        QVERIFY2(shown.at(0).startsWith(MachineLine + '\n'), shown.at(0).constData());
        QCOMPARE(shown.at(0), shown.at(1));
    }

    // A capture of each fixture machine holds the machine's files byte for
    // byte, records the applet's readings of it where a mount namespace can
    // be had, and is never written over.
    void captureRoundTrip_data()
    {
        QTest::addColumn<QString>("machine");
        const QDir machines(QStringLiteral(VESH_FIXTURES "/machines"));
        for (const QString &name : machines.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QTest::newRow(qPrintable(name)) << machines.filePath(name);
    }

    void captureRoundTrip()
    {
        QFETCH(QString, machine);
        QTemporaryDir scratch;
        const QString capture = scratch.filePath(QStringLiteral("capture"));
        const Run made = runHost({QStringLiteral("--machine"), machine, QStringLiteral("--now"), QStringLiteral("--capture"), capture, Plugin});
        QVERIFY2(made.exitCode == 0, made.err.constData());
        QVERIFY2(made.out.contains("Show it with: vesh-host --machine " + capture.toUtf8()), made.out.constData());

        // What the applet read of the capture is the machine's own reading;
        // without a namespace to show it the capture, the capture says so.
        const QString noNamespace = sandbox::unavailableReason();
        if (noNamespace.isEmpty()) {
            QVERIFY(!recordedUpdates(capture).isEmpty());
            QCOMPARE(recordedUpdates(capture), recordedUpdates(machine));
        } else {
            QVERIFY2(made.out.contains("No expected.json: " + noNamespace.toUtf8()), made.out.constData());
            QVERIFY(!QFileInfo::exists(capture + QStringLiteral("/expected.json")));
        }

        const QMap<QString, QByteArray> before = tree(capture);
        for (auto file = before.cbegin(); file != before.cend(); ++file) {
            if (file.key() == u"expected.json" || !file.value().startsWith("file "))
                continue;
            QFile source(machine + u'/' + file.key());
            QVERIFY2(source.open(QIODevice::ReadOnly), qPrintable(file.key()));
            QCOMPARE(file.value(), "file " + source.readAll());
        }
        // So do the power files that decide how often a card is read, and
        // the PCI IDs that tell which card it is.
        const QMap<QString, QByteArray> original = tree(machine);
        for (auto file = original.cbegin(); file != original.cend(); ++file) {
            if (file.key().contains(u"/power/")
                || (file.value().startsWith("file ")
                    && QStringList{"vendor", "device", "boot_vga"}.contains(QFileInfo(file.key()).fileName())))
                QCOMPARE(before.value(file.key()), file.value());
        }
        // A capture passes the checks of a machine folder.
        QVERIFY2(runHost({QStringLiteral("--machine"), capture, QStringLiteral("--now"), QStringLiteral("--capture"),
                          scratch.filePath(QStringLiteral("again")), Plugin})
                         .exitCode
                     == 0,
                 "a capture of a capture failed");
        const Run again = runHost({QStringLiteral("--machine"), machine, QStringLiteral("--now"), QStringLiteral("--capture"), capture, Plugin});
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.err.contains("already exists and is not an empty folder"), again.err.constData());
        QCOMPARE(tree(capture), before);
        QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("again"), QStringLiteral("capture")}));
    }

    // A link of the machine that would lead the capture out of its sys/
    // is left out, with a note.
    void captureStaysInItsFolder_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("up past sys/, into proc/") << "../../../proc";
        // hwmon0's device link, once made in the capture, leads up to its
        // parent device, so the path as written and the path followed differ.
        QTest::newRow("through a link already made")
            << "../../devices/platform/sensor.hwmon0/hwmon/hwmon0/device/../../../../proc";
    }

    void captureStaysInItsFolder()
    {
        QFETCH(QString, target);
        FixtureTree machine;
        machine.addHwmon(QStringLiteral("hwmon0"), "k10temp\n", {{QStringLiteral("temp1_input"), "48250\n"}});
        machine.write(FixtureTree::parentDevice(QStringLiteral("hwmon0")) + QStringLiteral("/power/runtime_status"),
                      "active\n");
        machine.write(QStringLiteral("proc/meminfo"), "MemTotal: 1000 kB\n");
        machine.link(QStringLiteral("sys/class/hwmon/hwmon1"), target);
        QTemporaryDir scratch;
        const QString capture = scratch.filePath(QStringLiteral("capture"));
        const Run run = runHost({QStringLiteral("--machine"), machine.root(), QStringLiteral("--capture"), capture, Plugin});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QVERIFY2(run.out.contains("Left out: /sys/class/hwmon/hwmon1: a link that leads out of /sys"), run.out.constData());
        QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("capture")});
        QVERIFY(!QFileInfo::exists(capture + QStringLiteral("/sys/class/hwmon/hwmon1")));
        QVERIFY(QFileInfo::exists(capture + QStringLiteral("/sys/class/hwmon/hwmon0/temp1_input")));
    }

    // A capture copies each file's bytes as they are, whatever they hold,
    // up to the most the applet would read of it; a file that does not read
    // is left out with the system's reason.
    void captureKeepsBytesAsTheyAre_data()
    {
        QTest::addColumn<QString>("file"); // below the machine's root
        QTest::addColumn<QByteArray>("contents"); // null: a folder in its place
        QTest::addColumn<QString>("leftOut");     // why it is left out, or empty where copied

        const QString name = FixtureTree::hwmonDevice(QStringLiteral("hwmon0")) + QStringLiteral("/name");
        QTest::newRow("carriage returns") << QStringLiteral("proc/meminfo")
                                          << QByteArray("MemTotal: 1000 kB\r\nMemAvailable: 500 kB\r\n") << QString();
        QTest::newRow("a name padded with NULs") << name << QByteArray("k10temp\0\0\0\n", 11) << QString();
        QByteArray table("Inter-|   Receive\n face |bytes\n");
        for (int k = 0; table.size() <= 3 * 64 * 1024; ++k)
            table += "vpn" + QByteArray::number(k) + ": 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\r\n";
        QTest::newRow("a table of more than a page") << QStringLiteral("proc/net/dev") << table << QString();
        QTest::newRow("a folder in a file's place") << name << QByteArray()
                                                    << QStringLiteral("file to open is a directory");
    }

    void captureKeepsBytesAsTheyAre()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, contents);
        QFETCH(QString, leftOut);

        FixtureTree machine;
        machine.addHwmon(QStringLiteral("hwmon0"), "k10temp\n", {{QStringLiteral("temp1_input"), "48250\n"}});
        machine.write(QStringLiteral("proc/meminfo"), "MemTotal: 1000 kB\n");
        machine.write(QStringLiteral("proc/net/dev"), "Inter-|   Receive\n face |bytes\n");
        machine.remove(file);
        if (contents.isNull())
            machine.makeFolder(file);
        else
            machine.write(file, contents);
        QTemporaryDir scratch;
        const QString capture = scratch.filePath(QStringLiteral("capture"));
        const Run run = runHost({QStringLiteral("--machine"), machine.root(), QStringLiteral("--capture"), capture, Plugin});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        if (leftOut.isEmpty()) {
            QVERIFY2(!run.out.contains("Left out: "), run.out.constData());
            QFile copy(capture + u'/' + file);
            QVERIFY2(copy.open(QIODevice::ReadOnly), qPrintable(file));
            QCOMPARE(copy.readAll(), contents);
        } else {
            const QByteArray note =
                '/' + QFile::encodeName(QFileInfo(file).fileName()) + ": " + leftOut.toUtf8() + '\n';
            QVERIFY2(run.out.contains("Left out: ") && run.out.contains(note), run.out.constData());
            QVERIFY(!QFileInfo::exists(capture + u'/' + file));
        }
    }

    // Machine folders come from strangers: anything that could hang or
    // mislead the runner is refused at once, in one line; what real
    // machines and captures hold passes.
    void machineFolders_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("message"); // empty: the folder passes

        QTest::newRow("FIFO as proc/meminfo") << "fifo" << "/proc/meminfo: a FIFO, which no machine folder holds";
        QTest::newRow("socket as proc/net/dev") << "socket" << "/proc/net/dev: a socket, which no machine folder holds";
        QTest::newRow("device node as proc/meminfo") << "device" << "/proc/meminfo: a device node, which no machine";
        QTest::newRow("link to /dev/zero as proc/meminfo") << "zero" << "/proc/meminfo: a link out of the machine folder (to /dev/zero)";
        QTest::newRow("link up out of the folder") << "up" << "/sys/class/hwmon/hwmon1: a link out of the machine folder";
        QTest::newRow("absolute link") << "absolute" << "/sys/class/hwmon/hwmon1: a link out of the machine folder (to /sys/";
        QTest::newRow("sys/ that cannot be read") << "unreadable" << "/sys: cannot be read: Permission denied";
        QTest::newRow("a loop of links") << "loop" << "/sys/loop: links that the kernel would not follow: more than 40";
        QTest::newRow("41 links, each naming the next three times")
            << "chain" << "links that the kernel would not follow: more than 40 in one lookup";
        QTest::newRow("a sparse 1 GiB name file")
            << "huge" << "/name: too large: 1073741824 bytes, where the runner reads 65536 at most";
        QTest::newRow("device links that lead nowhere") << "dangling" << "";
    }

    void machineFolders()
    {
        QFETCH(QString, shape);
        QFETCH(QString, message);
        FixtureTree machine;
        machine.addHwmon(QStringLiteral("hwmon0"), "k10temp\n", {{QStringLiteral("temp1_input"), "48250\n"}});
        machine.write(QStringLiteral("proc/net/dev"), "Inter-|\n face |\n");
        const QByteArray meminfo = QFile::encodeName(machine.root() + QStringLiteral("/proc/meminfo"));
        if (shape == u"fifo") {
            QCOMPARE(::mkfifo(meminfo.constData(), 0644), 0);
        } else if (shape == u"socket") {
            const QByteArray netDev = QFile::encodeName(machine.root() + QStringLiteral("/proc/net/dev"));
            QVERIFY(QFile::remove(QFile::decodeName(netDev)));
            sockaddr_un address = {};
            address.sun_family = AF_UNIX;
            QVERIFY(size_t(netDev.size()) < sizeof address.sun_path);
            std::memcpy(address.sun_path, netDev.constData(), size_t(netDev.size()));
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
            ::close(fd);
        } else if (shape == u"device") {
            if (::mknod(meminfo.constData(), S_IFCHR | 0644, makedev(1, 5)) != 0)
                QSKIP("making a device node needs root");
        } else if (shape == u"zero") {
            machine.link(QStringLiteral("proc/meminfo"), QStringLiteral("/dev/zero"));
        } else if (shape == u"up") {
            machine.link(QStringLiteral("sys/class/hwmon/hwmon1"), QStringLiteral("../../../../escape"));
        } else if (shape == u"absolute") {
            machine.link(QStringLiteral("sys/class/hwmon/hwmon1"), QStringLiteral("/sys/class/hwmon"));
        } else if (shape == u"unreadable") {
            QVERIFY(QFile::setPermissions(machine.root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                              | QFile::ReadOther | QFile::ExeOther));
            QVERIFY(QFile::setPermissions(machine.root() + QStringLiteral("/sys"), QFile::Permissions()));
        } else if (shape == u"dangling") {
            machine.link(FixtureTree::hwmonDevice(QStringLiteral("hwmon0")) + QStringLiteral("/device"),
                         QStringLiteral("../../../0000:00:18.3"));
        } else if (shape == u"loop") {
            machine.link(QStringLiteral("sys/loop"), QStringLiteral("loop"));
        } else if (shape == u"chain") {
            for (int k = 0; k <= 40; ++k)
                machine.link(QStringLiteral("sys/chain/L%1").arg(k), QStringLiteral("L%1/../L%1/../L%1").arg(k + 1));
            machine.makeFolder(QStringLiteral("sys/chain/L41"));
        } else if (shape == u"huge") {
            QFile name(machine.root() + u'/' + FixtureTree::hwmonDevice(QStringLiteral("hwmon0")) + QStringLiteral("/name"));
            QVERIFY(name.resize(qint64(1) << 30));
        }

        // A capture reads the folder as it is and needs no namespace. What
        // root could read is tried as an ordinary user.
        const bool ordinaryUser = shape == u"unreadable";
        ReadableCopy copy;
        QVERIFY(!ordinaryUser || copy.make(QStringLiteral("no-hwmon")));
        QTemporaryDir scratch;
        // A runner that read the FIFO would hang there until the timeout.
        const Run run = runHost({QStringLiteral("--machine"), machine.root(), QStringLiteral("--capture"),
                                 scratch.filePath(QStringLiteral("capture")), Plugin},
                                60000, ordinaryUser, ordinaryUser ? copy.host : Host);
        if (shape == u"unreadable")
            QFile::setPermissions(machine.root() + QStringLiteral("/sys"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (message.isEmpty()) {
            QVERIFY2(run.exitCode == 0, run.err.constData());
            return;
        }
        QCOMPARE(run.exitCode, 1);
        // Refused before the capture began: nothing captured, nothing on
        // standard output, and no line but the refusal (the applet, had it
        // run, would have logged its start).
        QVERIFY(run.out.isEmpty());
        QVERIFY(QDir(scratch.path()).isEmpty(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot));
        const QList<QByteArray> lines = run.err.trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("vesh-host: " + QFile::encodeName(machine.root())), run.err.constData());
        QVERIFY2(lines.first().contains(message.toUtf8()), run.err.constData());
    }

    // --explain names every hwmon entry of a machine, chooses what the
    // applet chooses, and says why a reading is missing.
    void explain_data()
    {
        QTest::addColumn<QString>("machine");  // a fixture machine, or a made-up one below
        QTest::addColumn<QString>("cpuLabel"); // the chosen devices' driver names
        QTest::addColumn<QString>("gpuLabel");
        QTest::addColumn<QStringList>("reasons"); // "where: why" lines of the JSON object

        const QDir machines(Machines);
        for (const QString &name : machines.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QJsonObject first = recordedUpdates(machines.filePath(name)).at(0).toObject();
            QVERIFY(!first.isEmpty());
            QStringList reasons;
            if (name == u"laptop-dgpu-asleep")
                reasons << QStringLiteral("gpuTemp: the card is asleep") << QStringLiteral("hwmon2: a later GPU device wins");
            else if (name == u"laptop-dgpu-idle")
                reasons << QStringLiteral("GPU: could autosuspend, read every 8600 ms")
                        << QStringLiteral("text:   read here at once (--now), outside its window if need be");
            else if (name == u"ryzen-radeon")
                reasons << QStringLiteral("GPU: read every cycle, read every 2000 ms");
            else if (name == u"intel-nouveau")
                reasons << QStringLiteral("cpuTempTctl: temp1_label reads \"Package id 0\\n\", not \"Tctl\"");
            else if (name == u"arm-server")
                reasons << QStringLiteral("hwmon1: not a driver the applet reads")
                        << QStringLiteral("gpuLabel: no GPU sensor of a driver the applet reads");
            else if (name == u"no-hwmon")
                reasons << QStringLiteral("cpuLabel: the machine shows no hardware sensors");
            QTest::newRow(qPrintable(name)) << machines.filePath(name) << first[u"cpuLabel"].toString()
                                            << first[u"gpuLabel"].toString() << reasons;
        }
        // Made-up machines, by shape below; "text: ..." is a line of the text output.
        QTest::newRow("a name file missing, one padded with NUL, two CPU devices")
            << "<names>" << "coretemp" << ""
            << QStringList{"hwmon0: it has no driver name",
                           "hwmon1: \"amdgpu\" followed by \"\\0\\0\\0\\n\"; the applet compares the whole name",
                           "hwmon2: a later CPU device wins"};
        QTest::newRow("a page of NUL after the name")
            << "<page>" << "" << ""
            << QStringList{"hwmon0: \"amdgpu\\n\" followed by 4089 NUL bytes; the applet compares the whole name",
                           "text:   hwmon0  \"amdgpu\\n\" + 4089 × \\0  none  passed over"};
        QTest::newRow("%1 in a captured file")
            << "<format>" << "k10temp" << ""
            << QStringList{"text:   temp1_input  \"%1%2\\n\"  0 °C  cpuTemp (not a whole number of millidegrees)"};
        QTest::newRow("no MemAvailable") << "<old kernel>" << "" << ""
                                         << QStringList{"memUsage: /proc/meminfo has no MemAvailable",
                                                        "text: Memory: /proc/meminfo, MemTotal 3774128 kB, MemAvailable missing"};
        QTest::newRow("a VPN beside its carrier")
            << "<vpn>" << "" << ""
            << QStringList{"netSpeed: counts interfaces with no device behind them",
                           "text:   netSpeed: counts interfaces with no device behind them (a bridge, veth, VPN, bond, "
                           "VLAN, macvlan or PPP): tun0; what they carry also crosses"};
        QTest::newRow("an emoji and a terminal escape in interface names")
            << "<names of interfaces>" << "" << ""
            << QStringList{"text: Network: /proc/net/dev, every interface but lo: \U0001F4690, \\x1b[2J"};
        QTest::newRow("an entry that sets the terminal's title and colour, a driver name with a colour after it")
            << "<escapes>" << "zenpower\\x1b[31m" << ""
            << QStringList{"text:   hwmon\\x1b]0;PWNED\\x07\\x1b[31m\\u202e\\u200b  \"zenpower\\x1b[31m\\n\"  CPU  chosen",
                           "text: CPU sensor: /sys/class/hwmon/hwmon\\x1b]0;PWNED\\x07\\x1b[31m\\u202e\\u200b (zenpower\\x1b[31m)"};
    }

    void explain()
    {
        QFETCH(QString, machine);
        QFETCH(QString, cpuLabel);
        QFETCH(QString, gpuLabel);
        QFETCH(QStringList, reasons);
        FixtureTree madeUp;
        const QByteArray header = "Inter-|   Receive |  Transmit\n face |bytes packets|bytes packets\n";
        const QByteArray counters = ": 1000 10 0 0 0 0 0 0 2000 20 0 0 0 0 0 0\n";
        if (machine == u"<names>") {
            madeUp.addHwmon(QStringLiteral("hwmon0"), "k10temp\n");
            madeUp.remove(FixtureTree::hwmonDevice(QStringLiteral("hwmon0")) + QStringLiteral("/name"));
            madeUp.addHwmon(QStringLiteral("hwmon1"), QByteArray("amdgpu\0\0\0\n", 10));
            madeUp.addHwmon(QStringLiteral("hwmon2"), "coretemp\n", {{QStringLiteral("temp1_input"), "40000\n"}});
            madeUp.addHwmon(QStringLiteral("hwmon3"), "coretemp\n", {{QStringLiteral("temp1_input"), "41000\n"}});
        } else if (machine == u"<page>") {
            // As an RX 7900 XTX's name file was captured.
            madeUp.addHwmon(QStringLiteral("hwmon0"), "amdgpu\n" + QByteArray(4089, '\0'));
            QByteArray many = header;
            for (int i = 0; i < 500; ++i)
                many += "veth" + QByteArray::number(i) + counters;
            madeUp.write(QStringLiteral("proc/net/dev"), many);
        } else if (machine == u"<format>") {
            madeUp.addHwmon(QStringLiteral("hwmon0"), "k10temp\n", {{QStringLiteral("temp1_input"), "%1%2\n"}});
        } else if (machine == u"<old kernel>") {
            madeUp.write(QStringLiteral("proc/meminfo"), "MemTotal:        3774128 kB\nMemFree:          812344 kB\n");
        } else if (machine == u"<vpn>") {
            madeUp.write(QStringLiteral("proc/net/dev"), header + "    lo" + counters + "  eth0" + counters + "  tun0" + counters);
            madeUp.makeFolder(QStringLiteral("sys/devices/virtual/net/tun0"));
            madeUp.link(QStringLiteral("sys/class/net/tun0"), QStringLiteral("../../devices/virtual/net/tun0"));
            madeUp.makeFolder(QStringLiteral("sys/devices/pci0000:00/0000:00:1f.6/net/eth0"));
            madeUp.link(QStringLiteral("sys/devices/pci0000:00/0000:00:1f.6/net/eth0/device"), QStringLiteral("../../../0000:00:1f.6"));
            madeUp.link(QStringLiteral("sys/class/net/eth0"), QStringLiteral("../../devices/pci0000:00/0000:00:1f.6/net/eth0"));
        } else if (machine == u"<names of interfaces>") {
            madeUp.write(QStringLiteral("proc/net/dev"), header + "\xf0\x9f\x91\xa9" "0" + counters + "\x1b[2J" + counters);
        } else if (machine == u"<escapes>") {
            madeUp.addHwmon(QString::fromUtf8("hwmon\x1b]0;PWNED\x07\x1b[31m\u202e\u200b"), "zenpower\x1b[31m\n",
                            {{QStringLiteral("temp1_input"), "48250\n"}});
        }
        if (machine.startsWith(u'<'))
            machine = madeUp.root();
        const Run text = runHost({QStringLiteral("--explain"), QStringLiteral("--now"), QStringLiteral("--machine"), machine});
        const Run json = runHost({QStringLiteral("--machine"), machine, QStringLiteral("--now"), QStringLiteral("--explain"), QStringLiteral("--json")});
        QVERIFY2(text.exitCode == 0 && json.exitCode == 0, text.err.constData());
        QJsonParseError error;
        const QJsonObject report = QJsonDocument::fromJson(json.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY2(!json.out.contains("\u202e") && !json.out.contains("\u200b"), json.out.constData());

        // Every entry, in the applet's order, and the two it reads.
        QStringList listed = QDir(machine + QStringLiteral("/sys/class/hwmon"))
                                 .entryList({QStringLiteral("hwmon*")}, QDir::Dirs, QDir::NoSort);
        for (QString &entry : listed)
            entry = vesh::printable::escaped(entry);
        QStringList named;
        QStringList chosen;
        QStringList found;
        for (const QJsonValue &entry : report[u"hwmon"][u"entries"].toArray()) {
            named << entry[u"entry"].toString();
            QVERIFY2(text.out.contains("  " + entry[u"entry"].toString().toUtf8() + "  "), text.out.constData());
            if (entry[u"chosen"].toBool())
                chosen << entry[u"name"].toString().remove(QStringLiteral("\\n"));
            found << entry[u"entry"].toString() + QStringLiteral(": ") + entry[u"why"].toString();
        }
        QCOMPARE(named, listed);
        chosen.sort();
        QStringList labels{cpuLabel, gpuLabel};
        labels.removeAll(QString());
        labels.sort();
        QCOMPARE(chosen, labels);
        QCOMPARE(report[u"cpu"][u"driver"].toString(), cpuLabel);
        QCOMPARE(report[u"gpu"][u"driver"].toString(), gpuLabel);

        const QJsonObject power = report[u"gpu"][u"power"].toObject();
        if (!power.isEmpty())
            found << QStringLiteral("GPU: ") + power[u"case"].toString() + QStringLiteral(", read every ")
                    + QString::number(power[u"readPeriodMs"].toInteger()) + QStringLiteral(" ms");
        for (const char *notes : {"missing", "surprising"}) {
            for (const QJsonValue &item : report[QLatin1StringView(notes)].toArray()) {
                found << item[u"property"].toString() + QStringLiteral(": ") + item[u"why"].toString();
                QVERIFY2(text.out.contains(item[u"why"].toString().toUtf8()), text.out.constData());
            }
        }
        // Whatever the machine holds, every line fits a screen and nothing
        // reaches the terminal unescaped.
        const QList<QByteArray> lines = text.out.split('\n');
        for (const QByteArray &line : lines) {
            QVERIFY2(QString::fromUtf8(line).size() <= 300, line.left(400).constData());
            QVERIFY2(!line.contains('\x1b') && !line.contains("\u202e") && !line.contains("\u200b"), line.constData());
            found << QStringLiteral("text: ") + QString::fromUtf8(line);
        }
        for (const QString &reason : std::as_const(reasons)) {
            QVERIFY2(std::any_of(found.cbegin(), found.cend(), [&](const QString &line) { return line.startsWith(reason); }),
                     qPrintable(reason + QStringLiteral(" not in: ") + found.join(QStringLiteral(" | "))));
        }
    }

    // A run waits for the card's next read window, on the window the
    // applet's own rule computes: the fixture's clock offset puts the run
    // just past a window, so it must wait, however fast it starts. --now
    // reads at once; what either prints is the same.
    void runnerWaitsForTheCardsWindow()
    {
        FixtureTree machine;
        QVERIFY(machine.copyFrom(QStringLiteral(VESH_FIXTURES "/machines/laptop-dgpu-idle")));
        const QString power = QStringLiteral("sys/devices/pci0000:00/0000:00:01.1/0000:01:00.0/0000:02:00.0/0000:03:00.0/power/");
        QVERIFY(QFileInfo::exists(machine.root() + u'/' + power + QStringLiteral("runtime_status")));
        // A quiet time of 10 s: room for a slow start under emulation.
        machine.write(power + QStringLiteral("autosuspend_delay_ms"), "8000\n");
        const vesh::gpupower::Schedule schedule = vesh::gpupower::schedule(8000);
        // An offset that puts the root namespace's clock 50 ms past the end
        // of a window now, and so a period less than that from the next.
        const qint64 now = vesh::now().monotonicMs;
        const qint64 rootNow = now - now % schedule.periodMs + schedule.windowMs + 50;
        machine.writeTimensOffsets(now - rootNow);

        QFile file(QStringLiteral(VESH_FIXTURES "/machines/laptop-dgpu-idle/expected.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject expected = QJsonDocument::fromJson(file.readAll())["updates"][0].toObject();
        const QRegularExpression waiting(
            QStringLiteral("^vesh-host: waiting ([0-9.]+) s at most for the graphics card's next read window"));
        for (const bool readNow : {false, true}) {
            QStringList arguments{QStringLiteral("--machine"), machine.root(), QStringLiteral("--explain"),
                                  QStringLiteral("--json")};
            if (readNow)
                arguments << QStringLiteral("--now");
            const Run run = runHost(arguments);
            QVERIFY2(run.exitCode == 0, run.err.constData());
            const QRegularExpressionMatch wait = waiting.match(QString::fromUtf8(run.err));
            QCOMPARE(wait.hasMatch(), !readNow);
            if (!readNow) {
                const double seconds = wait.captured(1).toDouble();
                QVERIFY2(seconds > 0 && seconds * 1000 <= schedule.periodMs - schedule.windowMs, run.err.constData());
            }
            const QJsonObject report = QJsonDocument::fromJson(run.out).object();
            QCOMPARE(report[u"gpu"][u"power"][u"readInWindow"].toBool(), !readNow);
            QCOMPARE(report[u"properties"].toObject(), expected);
        }
    }

    // A capture reads a device's temperatures only where the applet's power
    // rule would: never a card asleep, waking up, or whose power state does
    // not read.
    void captureFollowsThePowerRule_data()
    {
        QTest::addColumn<QByteArray>("driver");
        QTest::addColumn<QByteArray>("status"); // "<folder>": there, but does not read
        QTest::addColumn<bool>("temperatures"); // read into the capture
        QTest::addColumn<QString>("said");

        QTest::newRow("power state does not read") << QByteArray("amdgpu") << QByteArray("<folder>") << false
                                                   << "its power state does not read";
        QTest::newRow("power state does not read, nvme") << QByteArray("nvme") << QByteArray("<folder>") << false
                                                         << "its power state does not read";
        QTest::newRow("resuming") << QByteArray("amdgpu") << QByteArray("resuming\n") << false
                                  << "waking up: its temperatures are not read";
        QTest::newRow("suspended") << QByteArray("nouveau") << QByteArray("suspended\n") << false
                                   << "(1 asleep: only name and power state read)";
        QTest::newRow("active, read every cycle") << QByteArray("nouveau") << QByteArray("active\n") << true
                                                  << "Captured 1 hwmon device";
        QTest::newRow("idle, in its window") << QByteArray("amdgpu") << QByteArray("active\n") << true
                                             << "Captured 1 hwmon device";
    }

    void captureFollowsThePowerRule()
    {
        QFETCH(QByteArray, driver);
        QFETCH(QByteArray, status);
        QFETCH(bool, temperatures);
        QFETCH(QString, said);

        FixtureTree machine;
        machine.addHwmon(QStringLiteral("hwmon0"), driver + '\n',
                         {{QStringLiteral("temp1_input"), "41000\n"}, {QStringLiteral("temp2_input"), "44000\n"}});
        const QString power = FixtureTree::parentDevice(QStringLiteral("hwmon0")) + QStringLiteral("/power/");
        if (status == "<folder>")
            machine.makeFolder(power + QStringLiteral("runtime_status"));
        else
            machine.write(power + QStringLiteral("runtime_status"), status);
        machine.write(power + QStringLiteral("control"), "auto\n");
        // Windows 2.475 s apart: the capture waits for one.
        machine.write(power + QStringLiteral("autosuspend_delay_ms"), "100\n");
        machine.write(QStringLiteral("proc/meminfo"), "MemTotal: 1000 kB\n");
        QTemporaryDir scratch;
        const QString capture = scratch.filePath(QStringLiteral("capture"));
        const Run run = runHost({QStringLiteral("--machine"), machine.root(), QStringLiteral("--capture"), capture, Plugin});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QVERIFY2(run.out.contains(said.toUtf8()), run.out.constData());
        const QString device = capture + u'/' + FixtureTree::hwmonDevice(QStringLiteral("hwmon0"));
        QVERIFY(QFileInfo::exists(device + QStringLiteral("/name")));
        QCOMPARE(QFileInfo::exists(device + QStringLiteral("/temp1_input")), temperatures);
        QCOMPARE(QFileInfo::exists(device + QStringLiteral("/temp2_input")), temperatures);
    }

    // --explain names the device each entry leads to, and the PCI device it
    // belongs to, on every fixture machine and on a made-up one: a capture's
    // plain folder, a disk behind Intel's VMD (a five-digit PCI domain), a
    // SATA disk whose SCSI device has a vendor file of its own, and a card
    // whose device ID holds a terminal escape.
    void explainNamesEachDevice_data()
    {
        QTest::addColumn<QString>("machine");
        const QDir machines(QStringLiteral(VESH_FIXTURES "/machines"));
        for (const QString &name : machines.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QTest::newRow(qPrintable(name)) << machines.filePath(name);
        QTest::newRow("made up") << QString();
    }

    void explainNamesEachDevice()
    {
        QFETCH(QString, machine);
        FixtureTree madeUp;
        if (machine.isEmpty()) {
            madeUp.write(QStringLiteral("sys/class/hwmon/hwmon0/name"), "k10temp\n");
            const QList<std::pair<QString, QString>> devices{
                {QStringLiteral("pci0000:00/0000:00:0e.0/pci10000:e0/10000:e0:06.0/10000:e1:00.0/nvme/nvme0"), QStringLiteral("nvme")},
                {QStringLiteral("pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0"), QStringLiteral("drivetemp")},
                {QStringLiteral("pci0000:00/0000:00:01.1/0000:01:00.0"), QStringLiteral("amdgpu")}};
            for (qsizetype i = 0; i < devices.size(); ++i) {
                const QString entry = QStringLiteral("hwmon%1").arg(i + 1);
                const QString folder = QStringLiteral("sys/devices/") + devices.at(i).first + QStringLiteral("/hwmon/") + entry;
                madeUp.write(folder + QStringLiteral("/name"), devices.at(i).second.toUtf8() + '\n');
                madeUp.link(QStringLiteral("sys/class/hwmon/") + entry, QStringLiteral("../../") + folder.mid(4));
            }
            const QList<std::pair<QString, QByteArray>> ids{
                {QStringLiteral("pci0000:00/0000:00:0e.0/vendor"), "0x8086\n"},
                {QStringLiteral("pci0000:00/0000:00:0e.0/device"), "0x467f\n"},
                {QStringLiteral("pci0000:00/0000:00:0e.0/pci10000:e0/10000:e0:06.0/vendor"), "0x8086\n"},
                {QStringLiteral("pci0000:00/0000:00:0e.0/pci10000:e0/10000:e0:06.0/10000:e1:00.0/vendor"), "0x144d\n"},
                {QStringLiteral("pci0000:00/0000:00:0e.0/pci10000:e0/10000:e0:06.0/10000:e1:00.0/device"), "0xa80a\n"},
                {QStringLiteral("pci0000:00/0000:00:17.0/vendor"), "0x8086\n"},
                {QStringLiteral("pci0000:00/0000:00:17.0/device"), "0x7ae2\n"},
                {QStringLiteral("pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/vendor"), "ATA     \n"},
                {QStringLiteral("pci0000:00/0000:00:01.1/0000:01:00.0/vendor"), "0x1002\n"},
                {QStringLiteral("pci0000:00/0000:00:01.1/0000:01:00.0/device"), "\x1b]0;PWNED\x07\n"},
                {QStringLiteral("pci0000:00/0000:00:01.1/0000:01:00.0/boot_vga"), "0\n"}};
            for (const auto &[file, contents] : ids)
                madeUp.write(QStringLiteral("sys/devices/") + file, contents);
            machine = madeUp.root();
        }
        const Run text = runHost({QStringLiteral("--explain"), QStringLiteral("--now"), QStringLiteral("--machine"), machine});
        const Run json = runHost({QStringLiteral("--machine"), machine, QStringLiteral("--now"), QStringLiteral("--explain"), QStringLiteral("--json")});
        QVERIFY2(text.exitCode == 0 && json.exitCode == 0, text.err.constData());
        QVERIFY2(!text.out.contains('\x1b'), text.out.constData());
        const QString root = QFileInfo(machine).canonicalFilePath();
        const auto contents = [&root](const QString &file) {
            QFile attribute(root + file);
            return attribute.open(QIODevice::ReadOnly) ? attribute.readAll() : QByteArray();
        };
        const QJsonArray entries = QJsonDocument::fromJson(json.out)[u"hwmon"][u"entries"].toArray();
        QCOMPARE(entries.size(), QDir(machine + QStringLiteral("/sys/class/hwmon")).entryList({QStringLiteral("hwmon*")}, QDir::Dirs).size());
        for (const QJsonValue &entry : entries) {
            // Where the file system says the entry leads.
            const QString folder = QFileInfo(machine + QStringLiteral("/sys/class/hwmon/") + entry[u"entry"].toString())
                                       .canonicalFilePath()
                                       .sliced(root.size());
            const QJsonObject device = entry[u"device"].toObject();
            QCOMPARE(device[u"folder"].toString(), folder);
            // Its PCI device: the deepest folder on the way with a PCI vendor ID.
            QString pci;
            for (QString up = folder; pci.isEmpty() && up.startsWith(u"/sys/devices/"); up.truncate(up.lastIndexOf(u'/'))) {
                if (contents(up + QStringLiteral("/vendor")).startsWith("0x"))
                    pci = up;
            }
            QString line = QStringLiteral("    device: ") + folder;
            const QString address = pci.sliced(pci.lastIndexOf(u'/') + 1);
            QCOMPARE(device[u"pci"][u"address"].toString(), address);
            if (!pci.isEmpty()) {
                line += QStringLiteral(", PCI ") + address + QStringLiteral(" (vendor ")
                    + QString::fromUtf8(contents(pci + QStringLiteral("/vendor")).trimmed()) + QStringLiteral(", device ")
                    + vesh::printable::name(contents(pci + QStringLiteral("/device")).trimmed());
                const QByteArray bootVga = contents(pci + QStringLiteral("/boot_vga")).trimmed();
                if (!bootVga.isEmpty()) {
                    QCOMPARE(device[u"pci"][u"bootDisplay"].toBool(), bootVga == "1");
                    line += bootVga == "1" ? QStringLiteral(", the boot display") : QStringLiteral(", not the boot display");
                }
                line += u')';
            } else if (folder.startsWith(u"/sys/class/")) {
                line += QStringLiteral(", the entry's own folder");
            }
            QVERIFY2(text.out.contains((line + u'\n').toUtf8()), qPrintable(line + QStringLiteral(" not in:\n") + QString::fromUtf8(text.out)));
        }
    }

    // --explain's properties are what the applet publishes on that machine:
    // on every fixture machine, its recorded first update, and on a capture
    // made to be hostile, the same escaped as the runner escapes it. The
    // applet is not loaded, so no namespace is needed.
    void explainTellsWhatTheAppletPublishes_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QJsonObject>("properties");
        const QDir machines(Machines);
        for (const QString &name : machines.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QTest::newRow(qPrintable(name)) << machines.filePath(name) << recordedUpdates(machines.filePath(name)).at(0).toObject();
        // The one sensor, labelled Tctl, gives both CPU readings; there is no
        // GPU and no /proc/net/dev, and without MemAvailable all memory
        // counts as used.
        QTest::newRow("escapes in names and a label")
            << QString()
            << QJsonObject{{QStringLiteral("cpuTemp"), 48},         {QStringLiteral("gpuTemp"), 0},
                           {QStringLiteral("cpuTempTctl"), 48},     {QStringLiteral("gpuTempJunction"), 0},
                           {QStringLiteral("gpuTempMem"), 0},       {QStringLiteral("cpuLabel"), QStringLiteral("zenpower\\x1b[31m")},
                           {QStringLiteral("gpuLabel"), QString()}, {QStringLiteral("netSpeed"), QStringLiteral("NET 0/s")},
                           {QStringLiteral("memUsage"), QStringLiteral("MEM 1M/1M 100.0%")}};
    }

    void explainTellsWhatTheAppletPublishes()
    {
        QFETCH(QString, machine);
        QFETCH(QJsonObject, properties);
        FixtureTree madeUp;
        if (machine.isEmpty()) {
            madeUp.addHwmon(QString::fromUtf8("hwmon\x1b]0;PWNED\x07\u202e"), "zenpower\x1b[31m\n",
                            {{QStringLiteral("temp1_input"), "48250\n"}, {QStringLiteral("temp1_label"), "Tctl\n"}});
            madeUp.write(QStringLiteral("proc/meminfo"), "MemTotal: 1000 kB\n");
            machine = madeUp.root();
        }
        const Run explain = runHost({QStringLiteral("--machine"), machine, QStringLiteral("--now"), QStringLiteral("--explain"), QStringLiteral("--json")});
        QVERIFY2(explain.exitCode == 0, explain.err.constData());
        QCOMPARE(QJsonDocument::fromJson(explain.out)[u"properties"].toObject(), properties);
    }

    void terminationSignalsEndCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("stuck"); // in a cycle that does not return
        QTest::newRow("SIGINT") << SIGINT << false;
        QTest::newRow("SIGTERM") << SIGTERM << false;
        QTest::newRow("SIGTERM twice, stuck in a read that never returns") << SIGTERM << true;
    }

    void terminationSignalsEndCleanly()
    {
        QFETCH(int, signal);
        QFETCH(bool, stuck);
        QJsonObject table = tableOf({recordedUpdates(Machine).at(0)});
        if (!stuck) {
            QProcess host;
            host.setProcessEnvironment(withTable(table));
            emulator::start(host, Host, {QStringLiteral("--now"), StandIn});
            QVERIFY(host.waitForStarted());
            // Timeouts here only end a run that hangs.
            QTRY_VERIFY_WITH_TIMEOUT(host.canReadLine(), 60000);
            QCOMPARE(::kill(pid_t(host.processId()), signal), 0);
            QVERIFY(host.waitForFinished(60000));
            QCOMPARE(host.exitStatus(), QProcess::NormalExit);
            QCOMPARE(host.exitCode(), 0);
            QVERIFY(!host.readAllStandardError().contains("vesh-host:"));
            return;
        }
        // A FIFO that the applet reads in init() holds it there, where the
        // event loop that the first signal asks to quit never runs.
        QTemporaryDir scratch;
        const QByteArray fifo = QFile::encodeName(scratch.filePath(QStringLiteral("held")));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        table.insert(QStringLiteral("read"), scratch.filePath(QStringLiteral("held")));
        QByteArrayList arguments = emulator::argv(Host);
        arguments << "--now" << QFile::encodeName(StandIn);
        QByteArrayList variables;
        for (const QString &variable : withTable(table).toStringList())
            variables << variable.toLocal8Bit();
        std::vector<char *> argv;
        for (QByteArray &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::vector<char *> environment;
        for (QByteArray &variable : variables)
            environment.push_back(variable.data());
        environment.push_back(nullptr);
        // Forked, not a QProcess, for the signal that ended it.
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execve(argv.front(), argv.data(), environment.data());
            ::_exit(127);
        }
        QVERIFY(pid > 0);
        int writer = -1;
        int status = 0;
        bool ended = false;
        // A failed check leaves no runner behind.
        const auto cleanUp = qScopeGuard([&] {
            if (!ended) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
            }
            if (writer >= 0)
                ::close(writer);
        });
        // The applet waits for a writer, then in its read for data.
        QTRY_VERIFY_WITH_TIMEOUT((writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0, 60000);
        QTest::qWait(200);
        QCOMPARE(::kill(pid, signal), 0);
        QTest::qWait(300);
        QCOMPARE(::waitpid(pid, &status, WNOHANG), 0);
        QCOMPARE(::kill(pid, signal), 0);
        QElapsedTimer timer;
        timer.start();
        while (!(ended = ::waitpid(pid, &status, WNOHANG) == pid) && timer.elapsed() < 60000)
            QTest::qWait(20);
        QVERIFY(ended);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), signal);
    }
};

QTEST_GUILESS_MAIN(TestHost)
#include "tst_host.moc"
