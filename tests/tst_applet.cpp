#include "temperatureapplet.h"

#include "support/fixturetree.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

using vesh::MachineFiles;
using vesh::TemperatureApplet;
using namespace Qt::Literals::StringLiterals;

namespace {

struct LogLine
{
    QtMsgType type;
    QByteArray category;
    QString file;
    int line;
    QByteArray function;
    QString text;
};

QList<LogLine> logLines;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    logLines.append({type, context.category, QString::fromUtf8(context.file), context.line, context.function, text});
}

// Records the applet's debug lines from construction to destruction.
struct LogCapture
{
    LogCapture()
    {
        logLines.clear();
        previous = qInstallMessageHandler(captureMessage);
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
    QStringList texts() const
    {
        QStringList result;
        for (const LogLine &line : std::as_const(logLines))
            result.append(line.text);
        return result;
    }
    QtMessageHandler previous;
};

QByteArray netDev(quint64 rx, quint64 tx)
{
    return "Inter-|   Receive                                                |  Transmit\n"
           " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed\n"
           "    lo:  999999    1000    0    0    0     0          0         0   999999    1000    0    0    0     0       0          0\n"
           "  eth0: " + QByteArray::number(rx) + " 812 0 0 0 0 0 0 " + QByteArray::number(tx) + " 640 0 0 0 0 0 0\n";
}

QByteArray memInfo(quint64 total, quint64 available)
{
    return "MemTotal:       " + QByteArray::number(total) + " kB\nMemFree:         1000 kB\nMemAvailable:   "
           + QByteArray::number(available) + " kB\nBuffers:          812 kB\n";
}

// Builds hwmon devices from "entry=driver name" items; "!" as the driver
// name makes the name file impossible to open.
void addDevices(FixtureTree &tree, const QStringList &devices)
{
    for (const QString &device : devices) {
        const qsizetype eq = device.indexOf(u'=');
        const QString entry = device.left(eq);
        const QByteArray name = device.mid(eq + 1).toUtf8();
        tree.addHwmon(entry, name == "!" ? QByteArray() : name);
        if (name == "!")
            tree.link(FixtureTree::hwmonDevice(entry) + QLatin1StringView("/name"), QStringLiteral("missing"));
    }
}

// A desktop: GPU amdgpu at hwmon0 (41, 44, 46 degrees), CPU k10temp at
// hwmon1 (48, Tctl 51).
void addDesktop(FixtureTree &tree)
{
    tree.addHwmon(QStringLiteral("hwmon0"), "amdgpu\n",
                  {{"temp1_input", "41000\n"}, {"temp2_input", "44000\n"}, {"temp3_input", "46000\n"}});
    tree.addHwmon(QStringLiteral("hwmon1"), "k10temp\n",
                  {{"temp1_input", "48250\n"}, {"temp1_label", "Tctl\n"}, {"temp3_input", "51000\n"}});
}

void addProcFiles(FixtureTree &tree)
{
    tree.write(QStringLiteral("proc/net/dev"), netDev(1000000, 500000));
    tree.write(QStringLiteral("proc/meminfo"), memInfo(16000000, 10500000));
}

} // namespace

class TestApplet : public QObject
{
    Q_OBJECT

private slots:
    void propertySurface();
    void propertiesAreTheRecords();
    void constructedState();
    void discovery_data();
    void discovery();
    void temperatures_data();
    void temperatures();
    void debugLines();
    void signalsAndTimer();
    void skippedValuesKeepTheirContent();
    void netAndMemoryThroughTheApplet();
    void unreadableFilesRecover();
    void sleepingGpuIsLeftAsleep_data();
    void sleepingGpuIsLeftAsleep();
};

void TestApplet::propertySurface()
{
    const QMetaObject &meta = TemperatureApplet::staticMetaObject;
    QCOMPARE(meta.className(), "vesh::TemperatureApplet");
    QCOMPARE(meta.superClass(), &vesh::OrlApplet::staticMetaObject);

    const QList<std::pair<QByteArray, QMetaType>> expected = {
        {"cpuTemp", QMetaType::fromType<int>()},         {"gpuTemp", QMetaType::fromType<int>()},
        {"cpuTempTctl", QMetaType::fromType<int>()},     {"gpuTempJunction", QMetaType::fromType<int>()},
        {"gpuTempMem", QMetaType::fromType<int>()},      {"cpuLabel", QMetaType::fromType<QString>()},
        {"gpuLabel", QMetaType::fromType<QString>()},    {"netSpeed", QMetaType::fromType<QString>()},
        {"memUsage", QMetaType::fromType<QString>()},
    };
    QCOMPARE(meta.propertyCount() - meta.propertyOffset(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QMetaProperty property = meta.property(meta.propertyOffset() + i);
        QCOMPARE(property.name(), expected[i].first);
        QCOMPARE(property.metaType(), expected[i].second);
        QVERIFY(property.isReadable());
        QVERIFY(!property.isWritable());
        QVERIFY(!property.isResettable());
        QVERIFY(!property.isConstant());
        QVERIFY(!property.isFinal());
        QVERIFY(property.isDesignable());
        QVERIFY(property.isScriptable());
        QVERIFY(property.isStored());
        QCOMPARE(property.notifySignal().methodSignature(), "tempsChanged()");
    }

    QCOMPARE(meta.methodCount() - meta.methodOffset(), 2);
    const QMetaMethod signal = meta.method(meta.methodOffset());
    QCOMPARE(signal.methodSignature(), "tempsChanged()");
    QCOMPARE(signal.methodType(), QMetaMethod::Signal);
    QCOMPARE(signal.access(), QMetaMethod::Public);
    const QMetaMethod slot = meta.method(meta.methodOffset() + 1);
    QCOMPARE(slot.methodSignature(), "refresh()");
    QCOMPARE(slot.methodType(), QMetaMethod::Slot);
    QCOMPARE(slot.access(), QMetaMethod::Public);
    QCOMPARE(slot.returnMetaType(), QMetaType::fromType<void>());

    QCOMPARE(meta.enumeratorCount(), meta.enumeratorOffset());
    QCOMPARE(meta.classInfoCount(), meta.classInfoOffset());
    QCOMPARE(meta.constructorCount(), 0);

    TemperatureApplet applet;
    QCOMPARE(applet.qt_metacast("vesh::TemperatureApplet"), static_cast<void *>(&applet));
    QCOMPARE(applet.qt_metacast("vesh::OrlApplet"), static_cast<void *>(static_cast<vesh::OrlApplet *>(&applet)));
    QCOMPARE(applet.qt_metacast(nullptr), nullptr);
    // Default-constructible for Qt's meta-type system.
    QVERIFY(QMetaType::fromType<TemperatureApplet>().isDefaultConstructible());
}

// The applet publishes the cycle's record: the same names, types and order,
// and each member of the record under its own name.
void TestApplet::propertiesAreTheRecords()
{
    const QMetaObject &applet = TemperatureApplet::staticMetaObject;
    const QMetaObject &record = vesh::cycle::Properties::staticMetaObject;
    QCOMPARE(applet.propertyCount() - applet.propertyOffset(), record.propertyCount() - record.propertyOffset());
    for (int i = 0; i < record.propertyCount() - record.propertyOffset(); ++i) {
        const QMetaProperty published = applet.property(applet.propertyOffset() + i);
        const QMetaProperty recorded = record.property(record.propertyOffset() + i);
        QCOMPARE(published.name(), recorded.name());
        QCOMPARE(published.metaType(), recorded.metaType());
    }

    // Each member set to its place, and named by nameOf as it is set.
    using vesh::cycle::Properties;
    vesh::cycle::Properties values;
    QList<QLatin1StringView> names;
    for (int Properties::*member : {&Properties::cpuTemp, &Properties::gpuTemp, &Properties::cpuTempTctl,
                                    &Properties::gpuTempJunction, &Properties::gpuTempMem}) {
        values.*member = int(names.size()) + 1;
        names.append(vesh::cycle::nameOf(member));
    }
    for (QString Properties::*member : {&Properties::cpuLabel, &Properties::gpuLabel, &Properties::netSpeed,
                                        &Properties::memUsage}) {
        values.*member = QString::number(names.size() + 1);
        names.append(vesh::cycle::nameOf(member));
    }
    const vesh::cycle::NamedValues named = vesh::cycle::named(values);
    QCOMPARE(named.size(), names.size());
    for (qsizetype i = 0; i < named.size(); ++i) {
        QCOMPARE(named.at(i).second.toString(), QString::number(i + 1));
        QCOMPARE(named.at(i).first, names.at(i));
    }
    // A reading that sets no member has no name.
    QVERIFY(vesh::cycle::nameOf(vesh::cycle::Reading().property).isEmpty());
}

void TestApplet::constructedState()
{
    QObject parent;
    auto *applet = new TemperatureApplet(&parent);
    QCOMPARE(applet->parent(), &parent);
    for (int i = TemperatureApplet::staticMetaObject.propertyOffset();
         i < TemperatureApplet::staticMetaObject.propertyCount(); ++i) {
        const QMetaProperty property = TemperatureApplet::staticMetaObject.property(i);
        const QVariant value = property.read(applet);
        QVERIFY2(value == QVariant(property.metaType()), property.name());
    }
    const QList<QTimer *> timers = applet->findChildren<QTimer *>(Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QVERIFY(!timers.first()->isActive());
    QCOMPARE(applet->rootObject(), nullptr);
}

void TestApplet::discovery_data()
{
    QTest::addColumn<bool>("hwmonFolder");
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QString>("cpuLabel");
    QTest::addColumn<QString>("gpuLabel");
    QTest::addColumn<QString>("pathLine");

    const QString none = QStringLiteral("CPU hwmon path: \"\" GPU hwmon path: \"\"");
    QTest::newRow("no hwmon folder") << false << QStringList() << "" << "" << none;
    QTest::newRow("empty hwmon folder") << true << QStringList() << "" << "" << none;
    QTest::newRow("only sensors of drivers it does not read")
        << true << QStringList{"hwmon0=acpitz", "hwmon1=nvme"} << "" << "" << none;
    QTest::newRow("CPU and GPU")
        << true << QStringList{"hwmon0=amdgpu", "hwmon1=nvme", "hwmon2=k10temp"} << "k10temp" << "amdgpu"
        << "CPU hwmon path: \"/sys/class/hwmon/hwmon2\" GPU hwmon path: \"/sys/class/hwmon/hwmon0\"";
    QTest::newRow("hwmon10 is listed before hwmon2, the last wins")
        << true << QStringList{"hwmon2=k10temp", "hwmon10=zenpower"} << "k10temp" << ""
        << "CPU hwmon path: \"/sys/class/hwmon/hwmon2\" GPU hwmon path: \"\"";
    QTest::newRow("two amdgpu, the later wins")
        << true << QStringList{"hwmon0=amdgpu", "hwmon1=amdgpu"} << "" << "amdgpu"
        << "CPU hwmon path: \"\" GPU hwmon path: \"/sys/class/hwmon/hwmon1\"";
    QTest::newRow("unreadable name, then a match")
        << true << QStringList{"hwmon0=!", "hwmon1=coretemp"} << "coretemp" << ""
        << "CPU hwmon path: \"/sys/class/hwmon/hwmon1\" GPU hwmon path: \"\"";
    QTest::newRow("a match, then an unreadable name")
        << true << QStringList{"hwmon0=coretemp", "hwmon1=!"} << "coretemp" << ""
        << "CPU hwmon path: \"/sys/class/hwmon/hwmon0\" GPU hwmon path: \"\"";
    QTest::newRow("name with newline and spaces")
        << true << QStringList{"hwmon3=  k10temp \n"} << "k10temp" << ""
        << "CPU hwmon path: \"/sys/class/hwmon/hwmon3\" GPU hwmon path: \"\"";
    QTest::newRow("zenpower3 kept whole")
        << true << QStringList{"hwmon1=zenpower3", "hwmon4=nouveau"} << "zenpower3" << "nouveau"
        << "CPU hwmon path: \"/sys/class/hwmon/hwmon1\" GPU hwmon path: \"/sys/class/hwmon/hwmon4\"";
    QTest::newRow("names in other case select nothing")
        << true << QStringList{"hwmon0=Coretemp", "hwmon1=AMDGPU", "hwmon2=k10temp2"} << "" << "" << none;
    QTest::newRow("entry names match hwmon* in any case")
        << true << QStringList{"HWMON7=radeon", "sensor0=k10temp"} << "" << "radeon"
        << "CPU hwmon path: \"\" GPU hwmon path: \"/sys/class/hwmon/HWMON7\"";
}

void TestApplet::discovery()
{
    QFETCH(bool, hwmonFolder);
    QFETCH(QStringList, devices);
    QFETCH(QString, cpuLabel);
    QFETCH(QString, gpuLabel);
    QFETCH(QString, pathLine);

    FixtureTree tree;
    tree.makeFolder(QLatin1StringView(hwmonFolder ? "sys/class/hwmon" : "sys/class"));
    addDevices(tree, devices);
    // A plain file that matches the pattern is no device.
    if (hwmonFolder)
        tree.write(QStringLiteral("sys/class/hwmon/hwmon99"), "k10temp\n");

    LogCapture log;
    TemperatureApplet applet(MachineFiles(tree.root()));
    QVERIFY(applet.init());
    QCOMPARE(applet.cpuLabel(), cpuLabel);
    QCOMPARE(applet.gpuLabel(), gpuLabel);
    QVERIFY(logLines.size() >= 2);
    QCOMPARE(logLines.at(1).text, pathLine);
}

void TestApplet::temperatures_data()
{
    using Files = QMap<QString, QByteArray>;
    QTest::addColumn<QByteArray>("cpuDriver");
    QTest::addColumn<Files>("cpuFiles");
    QTest::addColumn<QByteArray>("gpuDriver");
    QTest::addColumn<Files>("gpuFiles");
    QTest::addColumn<QList<int>>("expected"); // cpu, gpu, tctl, junction, mem

    const Files radeon{{"temp1_input", "41000\n"}, {"temp2_input", "44000\n"}, {"temp3_input", "46000\n"}};
    QTest::newRow("Tctl with temp3")
        << QByteArray("k10temp") << Files{{"temp1_input", "48250\n"}, {"temp1_label", "Tctl\n"}, {"temp3_input", "51000\n"}}
        << QByteArray("amdgpu") << radeon << QList<int>{48, 41, 51, 44, 46};
    QTest::newRow("Tctl without temp3")
        << QByteArray("k10temp") << Files{{"temp1_input", "48999\n"}, {"temp1_label", "Tctl\n"}}
        << QByteArray("amdgpu") << radeon << QList<int>{48, 41, 48, 44, 46};
    QTest::newRow("Tctl with temp3 below one degree")
        << QByteArray("k10temp") << Files{{"temp1_input", "48250\n"}, {"temp1_label", "Tctl"}, {"temp3_input", "999\n"}}
        << QByteArray() << Files() << QList<int>{48, 0, 48, 0, 0};
    QTest::newRow("Tctl with unreadable temp3")
        << QByteArray("zenpower") << Files{{"temp1_input", "50000\n"}, {"temp1_label", "Tctl\n"}, {"temp3_input", "N/A\n"}}
        << QByteArray() << Files() << QList<int>{50, 0, 50, 0, 0};
    QTest::newRow("Tdie label")
        << QByteArray("k10temp") << Files{{"temp1_input", "48250\n"}, {"temp1_label", "Tdie\n"}, {"temp3_input", "51000\n"}}
        << QByteArray() << Files() << QList<int>{48, 0, 0, 0, 0};
    QTest::newRow("tctl in lower case")
        << QByteArray("k10temp") << Files{{"temp1_input", "48250\n"}, {"temp1_label", "tctl\n"}, {"temp3_input", "51000\n"}}
        << QByteArray() << Files() << QList<int>{48, 0, 0, 0, 0};
    QTest::newRow("Package id 0")
        << QByteArray("coretemp") << Files{{"temp1_input", "62000\n"}, {"temp1_label", "Package id 0\n"}}
        << QByteArray("nouveau") << Files{{"temp1_input", "39000\n"}} << QList<int>{62, 39, 0, 0, 0};
    QTest::newRow("no label file")
        << QByteArray("k10temp") << Files{{"temp1_input", "-1500\n"}, {"temp3_input", "51000\n"}}
        << QByteArray("radeon") << Files{{"temp1_input", "55000\n"}, {"temp3_input", "3000000000\n"}}
        << QList<int>{-1, 55, 0, 0, 0};
    QTest::newRow("no temperature files") << QByteArray("k10temp") << Files() << QByteArray("amdgpu") << Files()
                                          << QList<int>{0, 0, 0, 0, 0};
}

void TestApplet::temperatures()
{
    using Files = QMap<QString, QByteArray>;
    QFETCH(QByteArray, cpuDriver);
    QFETCH(Files, cpuFiles);
    QFETCH(QByteArray, gpuDriver);
    QFETCH(Files, gpuFiles);
    QFETCH(QList<int>, expected);

    FixtureTree tree;
    tree.addHwmon(QStringLiteral("hwmon0"), gpuDriver.isEmpty() ? QByteArray("acpitz\n") : gpuDriver + '\n', gpuFiles);
    tree.addHwmon(QStringLiteral("hwmon1"), cpuDriver + '\n', cpuFiles);

    LogCapture log;
    TemperatureApplet applet(MachineFiles(tree.root()));
    applet.init();
    const QList<int> values{applet.cpuTemp(), applet.gpuTemp(), applet.cpuTempTctl(), applet.gpuTempJunction(),
                            applet.gpuTempMem()};
    QCOMPARE(values, expected);
    QCOMPARE(logLines.at(2).text, QStringLiteral("Temps - CPU: %1 GPU: %2 CPU Tctl: %3 GPU Junc: %4 GPU Mem: %5")
                                      .arg(expected[0]).arg(expected[1]).arg(expected[2]).arg(expected[3])
                                      .arg(expected[4]));
}

void TestApplet::debugLines()
{
    FixtureTree tree;
    addDesktop(tree);
    tree.write(QStringLiteral("proc/net/dev"), netDev(1000, 2000));
    tree.write(QStringLiteral("proc/meminfo"), memInfo(16000000, 10500000));

    LogCapture log;
    {
        TemperatureApplet applet(MachineFiles(tree.root()));
        applet.init();
        QVERIFY(QMetaObject::invokeMethod(&applet, "refresh"));
    }
    const QStringList expected = {
        QStringLiteral("TemperatureApplet::init() - rootObject set, scanning hwmon..."),
        QStringLiteral("CPU hwmon path: \"/sys/class/hwmon/hwmon1\" GPU hwmon path: \"/sys/class/hwmon/hwmon0\""),
        QStringLiteral("Temps - CPU: 48 GPU: 41 CPU Tctl: 51 GPU Junc: 44 GPU Mem: 46"),
        QStringLiteral("Initial temps - CPU: 48 GPU: 41"),
        QStringLiteral("Temps - CPU: 48 GPU: 41 CPU Tctl: 51 GPU Junc: 44 GPU Mem: 46"),
    };
    // Nothing more, also not on destruction.
    QCOMPARE(log.texts(), expected);
    const QList<QByteArray> functions = {"init", "init", "refresh", "init", "refresh"};
    for (int i = 0; i < logLines.size(); ++i) {
        const LogLine &line = logLines.at(i);
        QCOMPARE(line.type, QtDebugMsg);
        QCOMPARE(line.category, QByteArray("default"));
        QCOMPARE(QFileInfo(line.file).fileName(), QStringLiteral("temperatureapplet.cpp"));
        QVERIFY(line.line > 0);
        QVERIFY2(line.function.contains("vesh::TemperatureApplet::" + functions.at(i) + "()"), line.function);
    }
}

void TestApplet::signalsAndTimer()
{
    FixtureTree tree;
    addProcFiles(tree);

    // The sample times come from a clock the test moves, so the rate the
    // timer's tick shows is exact however late the tick comes.
    vesh::Instant now{1000, 1000, 1700000000000};
    const auto advance = [&now](qint64 ms) {
        now.monotonicMs += ms;
        now.boottimeMs += ms;
        now.epochMs += ms;
    };
    LogCapture log;
    TemperatureApplet applet(MachineFiles(tree.root()), nullptr, [&now] { return now; });
    QSignalSpy spy(&applet, &TemperatureApplet::tempsChanged);
    QVERIFY(applet.init());
    // One sample is announced before the timer starts.
    QCOMPARE(spy.count(), 1);
    QCOMPARE(applet.rootObject(), &applet);
    QCOMPARE(applet.netSpeed(), QStringLiteral("NET 0B/s"));
    QCOMPARE(applet.memUsage(), QStringLiteral("MEM 5.2G/15.3G 34.4%"));

    const QTimer *timer = applet.findChild<QTimer *>();
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 2000);
    QVERIFY(!timer->isSingleShot());

    // A refresh through the meta-object is a whole cycle; equal values
    // are announced all the same.
    advance(2000);
    QVERIFY(QMetaObject::invokeMethod(&applet, "refresh"));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(applet.netSpeed(), QStringLiteral("NET 0B/s  0B/s"));

    // The timer's own tick runs the next cycle: 4096 bytes in the 2 s the
    // clock moved. The timeout only bounds a tick that never comes.
    tree.write(QStringLiteral("proc/net/dev"), netDev(1004096, 500000));
    advance(2000);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, 60000);
    QCOMPARE(applet.netSpeed(), QStringLiteral("NET 2.0K/s  0B/s"));
    QCOMPARE(log.texts().size(), 6);
}

void TestApplet::skippedValuesKeepTheirContent()
{
    FixtureTree tree;
    addDesktop(tree);
    const QString cpu = FixtureTree::hwmonDevice(QStringLiteral("hwmon1"));
    const QString gpu = FixtureTree::hwmonDevice(QStringLiteral("hwmon0"));

    TemperatureApplet applet(MachineFiles(tree.root()));
    applet.init();
    QCOMPARE(applet.cpuTempTctl(), 51);

    // The label no longer reads Tctl: the control temperature is left as it was.
    tree.write(cpu + QLatin1StringView("/temp1_label"), "Tdie\n");
    tree.write(cpu + QLatin1StringView("/temp1_input"), "60000\n");
    tree.write(cpu + QLatin1StringView("/temp3_input"), "70000\n");
    applet.refresh();
    QCOMPARE(applet.cpuTemp(), 60);
    QCOMPARE(applet.cpuTempTctl(), 51);

    // The chosen GPU goes away: its readings become 0, nothing else changes.
    tree.remove(gpu);
    applet.refresh();
    QCOMPARE(applet.gpuTemp(), 0);
    QCOMPARE(applet.gpuTempJunction(), 0);
    QCOMPARE(applet.gpuTempMem(), 0);
    QCOMPARE(applet.gpuLabel(), QStringLiteral("amdgpu"));
    QCOMPARE(applet.cpuTemp(), 60);
}

void TestApplet::netAndMemoryThroughTheApplet()
{
    FixtureTree tree;
    // Neither file exists on the first cycle: the next good one is
    // still a first sample.
    TemperatureApplet applet(MachineFiles(tree.root()));
    applet.init();
    QCOMPARE(applet.netSpeed(), QStringLiteral("NET 0/s"));
    QCOMPARE(applet.memUsage(), QStringLiteral("MEM 0G 0%"));

    // A folder in the file's place does not open either, as with QFile.
    tree.makeFolder(QStringLiteral("proc/net/dev"));
    applet.refresh();
    QCOMPARE(applet.netSpeed(), QStringLiteral("NET 0/s"));
    tree.remove(QStringLiteral("proc/net/dev"));

    tree.write(QStringLiteral("proc/net/dev"), netDev(1000000, 500000));
    tree.write(QStringLiteral("proc/meminfo"), memInfo(800000, 300000));
    applet.refresh();
    QCOMPARE(applet.netSpeed(), QStringLiteral("NET 0B/s"));
    QCOMPARE(applet.memUsage(), QStringLiteral("MEM 488M/781M 62.5%"));

    // Counters that went down show no traffic, never a wrapped figure.
    tree.write(QStringLiteral("proc/net/dev"), netDev(10, 500000));
    tree.write(QStringLiteral("proc/meminfo"), memInfo(1000000, 2000000));
    applet.refresh();
    QCOMPARE(applet.netSpeed(), QStringLiteral("NET 0B/s  0B/s"));
    QCOMPARE(applet.memUsage(), QStringLiteral("MEM 0M/977M 0.0%"));
}

void TestApplet::unreadableFilesRecover()
{
    FixtureTree tree;
    addProcFiles(tree);

    // A clock the test moves by whole cycles, so the rate's interval is known.
    vesh::Instant now{1000, 1000, 1700000000000};
    const auto advance = [&now](qint64 ms) {
        now.monotonicMs += ms;
        now.boottimeMs += ms;
        now.epochMs += ms;
    };
    TemperatureApplet applet(MachineFiles(tree.root()), nullptr, [&now] { return now; });
    applet.init();

    advance(2000);
    tree.remove(QStringLiteral("proc/net/dev"));
    tree.remove(QStringLiteral("proc/meminfo"));
    applet.refresh();
    QCOMPARE(applet.netSpeed(), QStringLiteral("NET 0/s"));
    QCOMPARE(applet.memUsage(), QStringLiteral("MEM 0G 0%"));

    // Readable again: the rate covers the whole gap since the last good
    // sample (8 MiB in 4 s), not the time since the failed one (which
    // would show 4.0M/s).
    advance(2000);
    tree.write(QStringLiteral("proc/net/dev"), netDev(1000000 + 8 * 1048576, 500000));
    tree.write(QStringLiteral("proc/meminfo"), memInfo(16000000, 10500000));
    applet.refresh();

    QCOMPARE(applet.memUsage(), QStringLiteral("MEM 5.2G/15.3G 34.4%"));
    QCOMPARE(applet.netSpeed(), QStringLiteral("NET 2.0M/s  0B/s"));
}

void TestApplet::sleepingGpuIsLeftAsleep_data()
{
    QTest::addColumn<QByteArray>("status"); // null: no runtime_status file
    QTest::addColumn<bool>("asleep");

    QTest::newRow("suspended") << QByteArray("suspended\n") << true;
    QTest::newRow("suspending") << QByteArray("suspending\n") << true;
    QTest::newRow("active") << QByteArray("active\n") << false;
    // A read would wait for the resume, or fail.
    QTest::newRow("resuming") << QByteArray("resuming\n") << true;
    QTest::newRow("unsupported") << QByteArray("unsupported\n") << false;
    QTest::newRow("no power state") << QByteArray() << false;
}

void TestApplet::sleepingGpuIsLeftAsleep()
{
    QFETCH(QByteArray, status);
    QFETCH(bool, asleep);

    FixtureTree tree;
    tree.addHwmon(QStringLiteral("hwmon0"), "k10temp\n", {{"temp1_input", "48250\n"}});
    tree.addHwmon(QStringLiteral("hwmon1"), "amdgpu\n",
                  {{"temp1_input", "41000\n"}, {"temp2_input", "44000\n"}, {"temp3_input", "46000\n"}});
    const QString statusFile = FixtureTree::parentDevice(QStringLiteral("hwmon1")) + QLatin1StringView("/power/runtime_status");
    if (!status.isNull())
        tree.write(statusFile, status);

    TemperatureApplet applet(MachineFiles(tree.root()));
    QSignalSpy spy(&applet, &TemperatureApplet::tempsChanged);
    applet.init();
    const QList<int> awake{41, 44, 46};
    const QList<int> none{0, 0, 0};
    auto gpu = [&] { return QList<int>{applet.gpuTemp(), applet.gpuTempJunction(), applet.gpuTempMem()}; };
    QCOMPARE(gpu(), asleep ? none : awake);
    QCOMPARE(applet.cpuTemp(), 48);
    QCOMPARE(applet.gpuLabel(), QStringLiteral("amdgpu"));

    // The card changes state between two cycles; the next cycle follows.
    tree.write(statusFile, asleep ? "active\n" : "suspended\n");
    applet.refresh();
    QCOMPARE(gpu(), asleep ? awake : none);
    QCOMPARE(spy.count(), 2);
}

QTEST_GUILESS_MAIN(TestApplet)
#include "tst_applet.moc"
