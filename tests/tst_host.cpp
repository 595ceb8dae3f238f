#include "support/elfsection.h"
#include "support/fixturetree.h"
#include "support/sandbox.h"

#include <QtEndian>

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString Host = QStringLiteral(VESH_HOST);
const QString Plugin = QStringLiteral(VESH_PLUGIN_FILE);

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runHost(const QStringList &arguments, int timeoutMs = 15000)
{
    QProcess host;
    host.setProcessEnvironment(sandbox::childEnvironment());
    host.start(Host, arguments);
    if (!host.waitForFinished(timeoutMs)) {
        host.kill();
        host.waitForFinished();
        return {};
    }
    return {host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1, host.readAllStandardOutput(),
            host.readAllStandardError()};
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

const QStringList PropertyNames = {"cpuTemp",  "gpuTemp",  "cpuTempTctl", "gpuTempJunction", "gpuTempMem",
                                   "cpuLabel", "gpuLabel", "netSpeed",    "memUsage"};

} // namespace

class TestHost : public QObject
{
    Q_OBJECT

private slots:
    void oncePrintsEveryProperty()
    {
        const Run run = runHost({QStringLiteral("--once")});
        QCOMPARE(run.exitCode, 0);
        const QList<QByteArray> lines = run.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        static const QRegularExpression form(QStringLiteral(
            R"(^cpuTemp=-?\d+ gpuTemp=-?\d+ cpuTempTctl=-?\d+ gpuTempJunction=-?\d+ gpuTempMem=-?\d+ )"
            R"(cpuLabel="[^"]*" gpuLabel="[^"]*" netSpeed="NET [^"]+" memUsage="MEM [^"]+"$)"));
        QVERIFY2(form.match(QString::fromUtf8(lines.first())).hasMatch(), lines.first().constData());
    }

    void jsonLinePerUpdate()
    {
        const Run run = runHost({QStringLiteral("--json"), QStringLiteral("--count"), QStringLiteral("2"), Plugin});
        QCOMPARE(run.exitCode, 0);
        const QList<QByteArray> lines = run.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QStringList netSpeeds;
        for (const QByteArray &line : lines) {
            QJsonParseError error;
            const QJsonObject update = QJsonDocument::fromJson(line, &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(update.value(u"applet").toString(), QStringLiteral("vesh::TemperatureApplet"));
            const QJsonObject properties = update.value(u"properties").toObject();
            QStringList keys = properties.keys();
            QStringList expected = PropertyNames;
            keys.sort();
            expected.sort();
            QCOMPARE(keys, expected);
            QVERIFY(properties.value(u"cpuTemp").isDouble());
            QVERIFY(properties.value(u"memUsage").toString().startsWith(u"MEM "));
            netSpeeds.append(properties.value(u"netSpeed").toString());
        }
        // The first update is the first network sample, the second a rate.
        QCOMPARE(netSpeeds.at(0), QStringLiteral("NET 0B/s"));
        QVERIFY2(netSpeeds.at(1).count(u"/s") == 2, qPrintable(netSpeeds.at(1)));
    }

    void folderWithOtherFilesLoadsTheApplet()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(Plugin, dir.filePath(QStringLiteral("org.brenn.vesh.temperature.so"))));
        QVERIFY(QFile::copy(QStringLiteral(VESH_OTHER_PLUGIN), dir.filePath(QStringLiteral("other.so"))));
        QFile text(dir.filePath(QStringLiteral("README.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a plugin\n");
        text.close();

        const Run run = runHost({QStringLiteral("--once"), dir.path()});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith("cpuTemp="), run.err.constData());
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
        QTest::newRow("count of 0") << QStringList{"--count", "0"} << "--count takes a whole number";
        QTest::newRow("count not a number") << QStringList{"--count", "x"} << "--count takes a whole number";
        QTest::newRow("missing machine") << QStringList{"--machine", "/nonexistent"}
                                         << "/nonexistent: no such machine folder";
        QTest::newRow("capture where nothing can be written")
            << QStringList{"--capture", "/proc/vesh-capture"} << "/proc/vesh-capture: cannot write beside it";
    }

    void errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTemporaryDir scratch;
        for (QString &argument : arguments) {
            if (argument == u"<newer>")
                argument = pluginForNewerQt(scratch);
            else if (argument == u"<empty>")
                argument = scratch.path();
        }
        const Run run = runHost(arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        const QList<QByteArray> lines = run.err.trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("vesh-host: "), run.err.constData());
        QVERIFY2(lines.first().contains(message.toUtf8()), run.err.constData());
    }

    // The panel preview renders the fixture machine's readings offscreen.
    void screenshotOfTheScene()
    {
        if (!runHost({QStringLiteral("--help")}).out.contains("--qml"))
            QSKIP("this runner was built without Qt Quick");
        if (!sandbox::unavailableReason().isEmpty())
            QSKIP("fixture machines need a private mount namespace");
        QTemporaryDir dir;
        QList<QByteArray> pictures;
        for (const char *machine : {"ryzen-radeon", "no-hwmon"}) {
            const QString png = dir.filePath(QLatin1StringView(machine) + QLatin1StringView(".png"));
            const Run run = runHost({QStringLiteral("--machine"), QStringLiteral(VESH_FIXTURES "/machines/") + QLatin1StringView(machine),
                                     QStringLiteral("--qml"), QStringLiteral(VESH_SOURCE "/host/preview/panel.qml"),
                                     QStringLiteral("--screenshot"), png, Plugin});
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
        const Run joinedRun = runHost({QStringLiteral("--machine=" VESH_FIXTURES "/machines/ryzen-radeon"),
                                       QStringLiteral("--qml=" VESH_SOURCE "/host/preview/panel.qml"),
                                       QStringLiteral("--screenshot=") + joined, Plugin});
        QVERIFY2(joinedRun.exitCode == 0, joinedRun.err.constData());
        QFile joinedFile(joined);
        QVERIFY(joinedFile.open(QIODevice::ReadOnly));
        QCOMPARE(joinedFile.readAll(), pictures.at(0));

        const Run broken = runHost({QStringLiteral("--qml"), QStringLiteral("/nonexistent/panel.qml"),
                                    QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("x.png")), Plugin});
        QCOMPARE(broken.exitCode, 1);
        QVERIFY2(broken.err.contains("vesh-host: /nonexistent/panel.qml: the scene does not load"), broken.err.constData());
    }

    // A capture of each fixture machine shows the applet what the machine
    // shows it, holds the machine's files byte for byte, and is never
    // written over.
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
        SANDBOX_REQUIRED();
        QTemporaryDir scratch;
        const QString capture = scratch.filePath(QStringLiteral("capture"));
        const Run made = runHost({QStringLiteral("--machine"), machine, QStringLiteral("--capture"), capture, Plugin});
        QVERIFY2(made.exitCode == 0, made.err.constData());
        QVERIFY2(made.out.contains("Show it with: vesh-host --machine " + capture.toUtf8()), made.out.constData());

        const QStringList once{QStringLiteral("--json"), QStringLiteral("--count"), QStringLiteral("1"), Plugin};
        const Run original = runHost(QStringList{QStringLiteral("--machine"), machine} + once);
        const Run copy = runHost(QStringList{QStringLiteral("--machine"), capture} + once);
        QCOMPARE(original.exitCode, 0);
        QCOMPARE(copy.out, original.out);

        // What the applet read of the capture is the machine's own reading.
        const auto updates = [](const QString &root) {
            QFile file(root + QStringLiteral("/expected.json"));
            return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll())["updates"].toArray()
                                                  : QJsonArray();
        };
        QVERIFY(!updates(capture).isEmpty());
        QCOMPARE(updates(capture), updates(machine));

        const QMap<QString, QByteArray> before = tree(capture);
        for (auto file = before.cbegin(); file != before.cend(); ++file) {
            if (file.key() == u"expected.json" || !file.value().startsWith("file "))
                continue;
            QFile source(machine + u'/' + file.key());
            QVERIFY2(source.open(QIODevice::ReadOnly), qPrintable(file.key()));
            QCOMPARE(file.value(), "file " + source.readAll());
        }
        const Run again = runHost({QStringLiteral("--machine"), machine, QStringLiteral("--capture"), capture, Plugin});
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.err.contains("already exists and is not an empty folder"), again.err.constData());
        QCOMPARE(tree(capture), before);
        QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("capture")});
    }

    // A link of the machine that would lead the capture out of its folder
    // is left out, with a note.
    void captureStaysInItsFolder_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("up past /sys") << "../../../../escape";
        QTest::newRow("absolute, outside /sys") << "/tmp/escape";
        // hwmon0's device link, once made in the capture, leads up to its
        // parent device, so the path as written and the path followed differ.
        QTest::newRow("through a link already made")
            << "../../devices/platform/sensor.hwmon0/hwmon/hwmon0/device/../../../../../escape";
    }

    void captureStaysInItsFolder()
    {
        QFETCH(QString, target);
        SANDBOX_REQUIRED();
        FixtureTree machine;
        machine.addHwmon(QStringLiteral("hwmon0"), "k10temp\n", {{QStringLiteral("temp1_input"), "48250\n"}});
        machine.write(FixtureTree::parentDevice(QStringLiteral("hwmon0")) + QStringLiteral("/power/runtime_status"),
                      "active\n");
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

    void terminationSignalsEndCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void terminationSignalsEndCleanly()
    {
        QFETCH(int, signal);
        QProcess host;
        host.start(Host, {Plugin});
        QVERIFY(host.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(host.canReadLine(), 10000);
        QCOMPARE(::kill(pid_t(host.processId()), signal), 0);
        QVERIFY(host.waitForFinished(10000));
        QCOMPARE(host.exitStatus(), QProcess::NormalExit);
        QCOMPARE(host.exitCode(), 0);
        QVERIFY(!host.readAllStandardError().contains("vesh-host:"));
    }
};

QTEST_GUILESS_MAIN(TestHost)
#include "tst_host.moc"
