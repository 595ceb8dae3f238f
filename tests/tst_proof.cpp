// Proof against real machines, faults and bad input: the applet on each
// fixture machine and on copies of one that the cases break, and the built
// plugin loaded by the runner as the shell loads it. Every case run is
// written to a results table (VESH_PROOF_TABLE) with its outcome.

#include "refreshinterval.h"
#include "temperatureapplet.h"

#include "support/emulator.h"
#include "support/fixturetree.h"
#include "support/sandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <optional>

namespace {

const QString Machines = QStringLiteral(VESH_FIXTURES "/machines");
const QString Plugin = QStringLiteral(VESH_PLUGIN_FILE);
const QString Host = QStringLiteral(VESH_HOST);

// Open file descriptors, counted without /proc, which a runner's fixture
// machine replaces.
int openFileDescriptors()
{
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd)
        count += ::fcntl(fd, F_GETFD) != -1;
    return count;
}

QByteArray garbage(quint32 seed, int size)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    // At least one NUL wherever the random bytes gave none.
    bytes[size / 2] = '\0';
    return bytes;
}

QByteArray netDev(quint64 rx, quint64 tx, int extraInterfaces = 0)
{
    QByteArray text = "Inter-|   Receive                                                |  Transmit\n"
                      " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed\n"
                      "    lo: 5000 50 0 0 0 0 0 0 5000 50 0 0 0 0 0 0\n"
                      "  eth0: " + QByteArray::number(rx) + " 10 0 0 0 0 0 0 " + QByteArray::number(tx) + " 10 0 0 0 0 0 0\n";
    for (int i = 0; i < extraInterfaces; ++i)
        text += "  veth" + QByteArray::number(i) + ": 1 1 0 0 0 0 0 0 2 1 0 0 0 0 0 0\n";
    return text;
}

const QRegularExpression RateForm(QStringLiteral(R"(^NET \d+(\.\d)?[BKM]/s  \d+(\.\d)?[BKM]/s$)"));

// The applet on a machine folder, used only through the meta-object system
// as the shell uses it.
struct Harness
{
    QString root;
    QObject panel;
    QObject *applet = nullptr;
    // Counted, not recorded: a spy's record would grow by every cycle.
    qsizetype announced = 0;
    int baselineFds = 0;

    // Where set, the applet's clock: one that cycle() moves by a whole
    // period, so rates are exact whatever the machine's speed.
    std::optional<vesh::Instant> steppedClock;

    bool create()
    {
        vesh::Clock clock;
        if (steppedClock)
            clock = [this] { return *steppedClock; };
        auto *made = new vesh::TemperatureApplet(vesh::MachineFiles(root), &panel, clock);
        applet = made;
        return bool(QObject::connect(made, &vesh::TemperatureApplet::tempsChanged, &panel, [this] { ++announced; }));
    }

    void init()
    {
        QVERIFY(static_cast<vesh::OrlApplet *>(applet)->init());
        QCOMPARE(announced, 1);
        baselineFds = openFileDescriptors();
    }

    // One refresh through the meta-object: it completes, announces itself
    // and leaves no file open.
    void cycle()
    {
        const qsizetype before = announced;
        if (steppedClock) {
            steppedClock->monotonicMs += vesh::RefreshIntervalMs;
            steppedClock->boottimeMs += vesh::RefreshIntervalMs;
            steppedClock->epochMs += vesh::RefreshIntervalMs;
        }
        QVERIFY(QMetaObject::invokeMethod(applet, "refresh"));
        QCOMPARE(announced, before + 1);
        QCOMPARE(openFileDescriptors(), baselineFds);
    }

    int number(const char *name) const { return applet->property(name).toInt(); }
    QString text(const char *name) const { return applet->property(name).toString(); }

    // A file of the machine, named by its path there.
    QString file(const QString &machinePath) const { return root + machinePath; }
    void write(const QString &machinePath, const QByteArray &contents) const
    {
        FixtureTree::writeFile(file(machinePath), contents);
    }
};

void silence(QtMsgType, const QMessageLogContext &, const QString &) {}

// A failed check in a helper returns from the helper alone; the case stops
// there too.
#define CHECKED(call)                        \
    do {                                     \
        call;                                \
        if (QTest::currentTestFailed())      \
            return;                          \
    } while (false)

using Scenario = std::function<void(Harness &)>;

const QString GpuEntry = QStringLiteral("/sys/class/hwmon/hwmon1");
const QString CpuEntry = QStringLiteral("/sys/class/hwmon/hwmon2");

struct Result
{
    QString section;
    QString name;
    QString outcome;
};

QList<Result> results;

} // namespace

// Skips the case where fixture machines cannot be entered, and notes it.
#define REQUIRE_SANDBOX()                                          \
    do {                                                           \
        m_skipped = !sandbox::unavailableReason().isEmpty();      \
        SANDBOX_REQUIRED();                                        \
    } while (false)

class TestProof : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        const QString function = QString::fromLatin1(QTest::currentTestFunction());
        const QString section = function == u"machines" || function == u"runner" ? QStringLiteral("Fixture machine")
                              : function == u"faults" || function == u"hwmonNumbersReused"
                                  ? QStringLiteral("Fault or bad input")
                                                        : QStringLiteral("Long run");
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        results.append({section, tag.isEmpty() ? m_description : tag,
                        QTest::currentTestFailed() ? QStringLiteral("FAIL")
                        : m_skipped                ? QStringLiteral("skipped")
                                                   : QStringLiteral("pass")});
        m_description.clear();
        m_skipped = false;
    }

    void cleanupTestCase()
    {
        QFile table(QStringLiteral(VESH_PROOF_TABLE));
        QVERIFY(table.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text));
        QTextStream out(&table);
        out << "| Kind | Case | Result |\n|---|---|---|\n";
        for (const Result &result : std::as_const(results))
            out << "| " << result.section << " | " << result.name << " | " << result.outcome << " |\n";
    }

    void machines_data()
    {
        QTest::addColumn<QString>("machine");
        for (const QString &name : QDir(Machines).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QJsonObject expected = expectedFor(name);
            QTest::newRow(qPrintable(name + QLatin1StringView(": ") + expected.value(u"description").toString())) << name;
        }
    }

    void machines()
    {
        QFETCH(QString, machine);
        const QtMessageHandler previous = qInstallMessageHandler(silence);
        Harness h;
        h.root = Machines + u'/' + machine;
        QVERIFY(h.create());
        CHECKED(h.init());
        // The updates after init and after the next cycle.
        const QJsonArray updates = expectedFor(machine).value(u"updates").toArray();
        QCOMPARE(updates.size(), 2);
        for (int i = 0; i < updates.size(); ++i) {
            if (i > 0)
                CHECKED(h.cycle());
            const QJsonObject expected = updates.at(i).toObject();
            QCOMPARE(expected.size(), h.applet->metaObject()->propertyCount() - h.applet->metaObject()->propertyOffset());
            for (auto property = expected.begin(); property != expected.end(); ++property)
                QCOMPARE(QJsonValue::fromVariant(h.applet->property(qPrintable(property.key()))), property.value());
        }
        qInstallMessageHandler(previous);
    }

    void runner()
    {
        m_description = QStringLiteral("vesh-host --machine on every fixture machine, the plugin loaded as the shell loads it");
        REQUIRE_SANDBOX();
        const QStringList machineNames = QDir(Machines).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &machine : machineNames) {
            QProcess host;
            host.setProcessEnvironment(sandbox::childEnvironment());
            emulator::start(host, Host,
                            sandbox::runnerOn(Machines + u'/' + machine)
                                + QStringList{QStringLiteral("--json"), QStringLiteral("--count"), QStringLiteral("2"), Plugin});
            QVERIFY(host.waitForFinished(60000));
            QVERIFY2(host.exitCode() == 0, host.readAllStandardError().constData());
            const QList<QByteArray> lines = host.readAllStandardOutput().trimmed().split('\n');
            const QJsonArray updates = expectedFor(machine).value(u"updates").toArray();
            QCOMPARE(lines.size(), updates.size());
            for (int i = 0; i < lines.size(); ++i) {
                const QJsonObject properties = QJsonDocument::fromJson(lines.at(i)).object().value(u"properties").toObject();
                QVERIFY2(properties == updates.at(i).toObject(), qPrintable(machine));
            }
        }
    }

    void faults_data()
    {
        QTest::addColumn<Scenario>("scenario");

        QTest::newRow("the chosen GPU disappears after init: its readings become 0") << Scenario([](Harness &h) {
            CHECKED(h.init());
            const QString memBefore = h.text("memUsage");
            // Its folder goes with its entry, as the kernel removes them.
            QVERIFY(QDir(QFileInfo(h.file(GpuEntry)).canonicalFilePath()).removeRecursively());
            QVERIFY(QFile::remove(h.file(GpuEntry)));
            CHECKED(h.cycle());
            QCOMPARE(h.number("gpuTemp"), 0);
            QCOMPARE(h.number("gpuTempJunction"), 0);
            QCOMPARE(h.number("gpuTempMem"), 0);
            QCOMPARE(h.text("gpuLabel"), QStringLiteral("amdgpu"));
            QCOMPARE(h.number("cpuTemp"), 52);
            QCOMPARE(h.number("cpuTempTctl"), 49);
            QCOMPARE(h.text("memUsage"), memBefore);
        });
        QTest::newRow("/proc/net/dev unreadable, then readable again") << Scenario([](Harness &h) {
            CHECKED(h.init());
            QVERIFY(QFile::remove(h.file(QStringLiteral("/proc/net/dev"))));
            CHECKED(h.cycle());
            QCOMPARE(h.text("netSpeed"), QStringLiteral("NET 0/s"));
            h.write(QStringLiteral("/proc/net/dev"), netDev(6036108453ULL, 411221422ULL));
            CHECKED(h.cycle());
            // Not a first sample: a rate over the gap, here of 1 GiB received.
            QVERIFY2(RateForm.match(h.text("netSpeed")).hasMatch(), qPrintable(h.text("netSpeed")));
            QVERIFY(h.text("netSpeed").endsWith(u"  0B/s"));
            QVERIFY(h.text("netSpeed").contains(u"M/s  "));
        });
        QTest::newRow("byte counters go down: no figure of many digits") << Scenario([](Harness &h) {
            CHECKED(h.init());
            h.write(QStringLiteral("/proc/net/dev"), netDev(1000, 2000));
            CHECKED(h.cycle());
            QCOMPARE(h.text("netSpeed"), QStringLiteral("NET 0B/s  0B/s"));
            h.write(QStringLiteral("/proc/net/dev"), netDev(1000 + 2048, 2000));
            CHECKED(h.cycle());
            QVERIFY2(RateForm.match(h.text("netSpeed")).hasMatch(), qPrintable(h.text("netSpeed")));
        });
        QTest::newRow("/proc/meminfo empty") << Scenario([](Harness &h) {
            CHECKED(h.init());
            h.write(QStringLiteral("/proc/meminfo"), {});
            CHECKED(h.cycle());
            QCOMPARE(h.text("memUsage"), QStringLiteral("MEM 0G 0%"));
        });
        QTest::newRow("/proc/meminfo unreadable, then readable again") << Scenario([](Harness &h) {
            CHECKED(h.init());
            const QString before = h.text("memUsage");
            QVERIFY(QFile::remove(h.file(QStringLiteral("/proc/meminfo"))));
            CHECKED(h.cycle());
            QCOMPARE(h.text("memUsage"), QStringLiteral("MEM 0G 0%"));
            h.write(QStringLiteral("/proc/meminfo"), "MemTotal: 32768264 kB\nMemAvailable: 21234567 kB\n");
            CHECKED(h.cycle());
            QCOMPARE(h.text("memUsage"), before);
        });
        QTest::newRow("/proc/meminfo with MemAvailable above MemTotal") << Scenario([](Harness &h) {
            CHECKED(h.init());
            h.write(QStringLiteral("/proc/meminfo"), "MemTotal: 1000000 kB\nMemFree: 5 kB\nMemAvailable: 1000001 kB\n");
            CHECKED(h.cycle());
            QCOMPARE(h.text("memUsage"), QStringLiteral("MEM 0M/977M 0.0%"));
        });
        QTest::newRow("/proc/net/dev with 100,000 interface lines") << Scenario([](Harness &h) {
            h.write(QStringLiteral("/proc/net/dev"), netDev(0, 0, 100000));
            CHECKED(h.init());
            h.write(QStringLiteral("/proc/net/dev"), netDev(0, 0, 100000).replace(" 1 1 0", " 3 1 0"));
            CHECKED(h.cycle());
            // Every line counted: 2 more bytes each, 200,000 in the cycle's
            // 2 s. What a cycle costs is the benchmark's to measure.
            QCOMPARE(h.text("netSpeed"), QStringLiteral("NET 97.7K/s  0B/s"));
        });
        QTest::newRow("lines longer than 255 characters in every file") << Scenario([](Harness &h) {
            CHECKED(h.init());
            const QByteArray longLine(300, '7');
            h.write(CpuEntry + QLatin1StringView("/temp1_input"), longLine + '\n');
            h.write(CpuEntry + QLatin1StringView("/temp1_label"), "Tctl" + QByteArray(300, ' ') + "x\n");
            h.write(GpuEntry + QLatin1StringView("/temp2_input"), "0000" + QByteArray(300, '0') + "45000\n");
            h.write(QStringLiteral("/proc/meminfo"),
                  "Comment:" + QByteArray(400, 'x') + "\nMemTotal: 2097152 kB\nMemAvailable: 1048576 kB\n");
            h.write(QStringLiteral("/proc/net/dev"), netDev(0, 0).replace("eth0", QByteArray(300, 'e')));
            CHECKED(h.cycle());
            QCOMPARE(h.number("cpuTemp"), 0);
            QCOMPARE(h.number("cpuTempTctl"), 49);
            QCOMPARE(h.number("gpuTempJunction"), 45);
            QCOMPARE(h.text("memUsage"), QStringLiteral("MEM 1.0G/2.0G 50.0%"));
            QCOMPARE(h.text("netSpeed"), QStringLiteral("NET 0B/s  0B/s"));
        });
        QTest::newRow("binary garbage and NUL bytes in every file read per cycle") << Scenario([](Harness &h) {
            CHECKED(h.init());
            const QStringList files = {
                CpuEntry + QLatin1StringView("/temp1_input"), CpuEntry + QLatin1StringView("/temp1_label"),
                CpuEntry + QLatin1StringView("/temp3_input"), GpuEntry + QLatin1StringView("/temp1_input"),
                GpuEntry + QLatin1StringView("/temp2_input"), GpuEntry + QLatin1StringView("/temp3_input"),
                GpuEntry + QLatin1StringView("/device/power/runtime_status"),
                QStringLiteral("/proc/net/dev"),          QStringLiteral("/proc/meminfo")};
            for (int round = 0; round < 20; ++round) {
                for (int i = 0; i < files.size(); ++i)
                    h.write(files.at(i), garbage(quint32(round * 100 + i), 64 << (round % 8)));
                CHECKED(h.cycle());
                QCOMPARE(h.number("cpuTemp"), 0);
                QCOMPARE(h.number("gpuTemp"), 0);
                QCOMPARE(h.number("cpuTempTctl"), 49);
                QCOMPARE(h.text("memUsage"), QStringLiteral("MEM 0G 0%"));
                QVERIFY2(RateForm.match(h.text("netSpeed")).hasMatch(), qPrintable(h.text("netSpeed")));
            }
        });
        QTest::newRow("binary garbage in the hwmon name files at start-up") << Scenario([](Harness &h) {
            for (int i = 0; i < 3; ++i)
                h.write(QStringLiteral("/sys/class/hwmon/hwmon%1/name").arg(i), garbage(quint32(i), 100));
            CHECKED(h.init());
            QCOMPARE(h.text("cpuLabel"), QString());
            QCOMPARE(h.text("gpuLabel"), QString());
            QCOMPARE(h.number("cpuTemp"), 0);
            CHECKED(h.cycle());
        });
    }

    void faults()
    {
        QFETCH(Scenario, scenario);
        FixtureTree tree;
        QVERIFY(tree.copyFrom(Machines + QLatin1StringView("/ryzen-radeon")));
        const QtMessageHandler previous = qInstallMessageHandler(silence);
        Harness harness;
        harness.root = tree.root();
        harness.steppedClock = vesh::Instant{1000, 1000, 1700000000000};
        QVERIFY(harness.create());
        scenario(harness);
        qInstallMessageHandler(previous);
    }

    // The kernel gives a new hwmon device the lowest free number, which may
    // be one that a device left. A device that went reads 0, and neither
    // another device at its number nor the same one back at another is
    // read; the same device back in its own folder is. Each row changes a
    // copy of the Ryzen desktop (GPU hwmon1, CPU hwmon2) while the applet
    // runs on it: "go N" removes the device of entry N as the kernel does,
    // folder and entry, "nvme N" and "drivetemp N" add such a sensor as N,
    // "back N M" brings N's device back as M, "cycle" runs one.
    void hwmonNumbersReused_data()
    {
        QTest::addColumn<QStringList>("steps");
        // After one more cycle: cpuTemp, gpuTemp, cpuTempTctl, gpuTempJunction, gpuTempMem.
        QTest::addColumn<QList<int>>("temperatures");

        const QList<int> gpuGone{52, 0, 49, 0, 0};
        const QList<int> cpuGone{0, 43, 0, 45, 50};
        QTest::newRow("a GPU's number reused by an nvme sensor") << QStringList{"go hwmon1", "nvme hwmon1"} << gpuGone;
        QTest::newRow("a CPU sensor's number reused by a drivetemp sensor")
            << QStringList{"go hwmon2", "drivetemp hwmon2"} << cpuGone;
        QTest::newRow("a CPU sensor's number reused by an nvme sensor, which has a label")
            << QStringList{"go hwmon2", "cycle", "nvme hwmon2"} << cpuGone;
        QTest::newRow("a GPU gone, nothing in its place") << QStringList{"go hwmon1"} << gpuGone;
        QTest::newRow("a CPU sensor gone, nothing in its place") << QStringList{"go hwmon2"} << cpuGone;
        QTest::newRow("the GPU back at a new number") << QStringList{"go hwmon1", "cycle", "back hwmon1 hwmon5"}
                                                      << gpuGone;
        QTest::newRow("the CPU sensor back at a new number, an nvme sensor at its old one")
            << QStringList{"go hwmon2", "nvme hwmon2", "back hwmon2 hwmon3"} << cpuGone;
        QTest::newRow("the GPU back in its own folder, read again")
            << QStringList{"go hwmon1", "cycle", "back hwmon1 hwmon1"} << QList<int>{52, 43, 49, 45, 50};
        QTest::newRow("both chosen devices go, an nvme and a drivetemp sensor take their numbers")
            << QStringList{"go hwmon1", "go hwmon2", "nvme hwmon1", "drivetemp hwmon2"} << QList<int>{0, 0, 0, 0, 0};
    }

    void hwmonNumbersReused()
    {
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, temperatures);
        FixtureTree tree;
        QVERIFY(tree.copyFrom(Machines + QLatin1StringView("/ryzen-radeon")));
        const QString root = QFileInfo(tree.root()).canonicalFilePath();
        const QDir hwmon(root + QStringLiteral("/sys/class/hwmon"));
        const QtMessageHandler previous = qInstallMessageHandler(silence);
        Harness h;
        h.root = root;
        h.steppedClock = vesh::Instant{1000, 1000, 1700000000000};
        QVERIFY(h.create());
        CHECKED(h.init());
        // A newcomer's folder and files, readings as measured on such disks.
        const QMap<QString, std::pair<QString, QMap<QString, QByteArray>>> newcomers{
            {QStringLiteral("nvme"),
             {QStringLiteral("sys/devices/pci0000:00/0000:00:01.3/0000:02:00.0/nvme/nvme1/hwmon/"),
              {{"name", "nvme\n"}, {"temp1_input", "35850\n"}, {"temp1_label", "Composite\n"},
               {"temp2_input", "36850\n"}, {"temp3_input", "37850\n"}}}},
            {QStringLiteral("drivetemp"),
             {QStringLiteral("sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/hwmon/"),
              {{"name", "drivetemp\n"}, {"temp1_input", "33000\n"}}}}};
        QMap<QString, QString> folders; // of the devices that went, by entry
        for (const QString &step : std::as_const(steps)) {
            const QStringList words = step.split(u' ');
            const QString entry = words.last();
            const QString aside = root + QStringLiteral("/aside-") + words.value(1);
            if (words.first() == u"cycle") {
                CHECKED(h.cycle());
            } else if (words.first() == u"go") {
                folders.insert(entry, QFileInfo(hwmon.filePath(entry)).canonicalFilePath());
                QVERIFY(QDir().rename(folders.value(entry), aside));
                QVERIFY(QFile::remove(hwmon.filePath(entry)));
            } else if (words.first() == u"back") {
                const QString back = QFileInfo(folders.value(words.value(1))).path() + u'/' + entry;
                QVERIFY(QDir().rename(aside, back));
                QVERIFY(QFile::link(hwmon.relativeFilePath(back), hwmon.filePath(entry)));
            } else {
                const auto &[parent, files] = newcomers.value(words.first());
                for (auto file = files.cbegin(); file != files.cend(); ++file)
                    tree.write(parent + entry + u'/' + file.key(), file.value());
                tree.link(parent + entry + QStringLiteral("/device"), QStringLiteral("../.."));
                QVERIFY(QFile::link(hwmon.relativeFilePath(root + u'/' + parent + entry), hwmon.filePath(entry)));
            }
        }
        CHECKED(h.cycle());
        QCOMPARE((QList<int>{h.number("cpuTemp"), h.number("gpuTemp"), h.number("cpuTempTctl"),
                             h.number("gpuTempJunction"), h.number("gpuTempMem")}),
                 temperatures);
        // The labels stay as found.
        QCOMPARE(h.text("cpuLabel"), QStringLiteral("k10temp"));
        QCOMPARE(h.text("gpuLabel"), QStringLiteral("amdgpu"));
        qInstallMessageHandler(previous);
    }

    void soak()
    {
        m_description = QStringLiteral("200,000 refresh cycles: resident memory and open files stay level");
        FixtureTree tree;
        QVERIFY(tree.copyFrom(Machines + QLatin1StringView("/ryzen-radeon")));
        const int statm = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
        QVERIFY(statm >= 0);
        // Under an emulator the resident set is the emulator's, whose cache
        // of translated code grows with whatever ran before; there the heap
        // in use, as glibc counts it, is judged instead.
        const bool emulated = emulator::active();
#if !defined(__GLIBC__)
        if (emulated)
            QSKIP("under an emulator the heap is judged, and only glibc counts it");
#endif
        auto memoryKb = [statm, emulated] {
#if defined(__GLIBC__)
            if (emulated) {
                const struct mallinfo2 info = ::mallinfo2();
                return qint64((info.uordblks + info.hblkhd) / 1024);
            }
#endif
            char buffer[128] = {};
            const ssize_t n = ::pread(statm, buffer, sizeof buffer - 1, 0);
            const QList<QByteArray> fields = QByteArray(buffer, n > 0 ? int(n) : 0).split(' ');
            return fields.size() > 1 ? fields.at(1).toLongLong() * (::sysconf(_SC_PAGESIZE) / 1024) : -1;
        };
        const QtMessageHandler previous = qInstallMessageHandler(silence);
        Harness h;
        h.root = tree.root();
        QVERIFY(h.create());
        CHECKED(h.init());
        for (int i = 0; i < 1000; ++i)
            QMetaObject::invokeMethod(h.applet, "refresh");
        const qint64 memoryAfterWarmUp = memoryKb();
        const int fdsAfterWarmUp = openFileDescriptors();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 199000; ++i)
            QMetaObject::invokeMethod(h.applet, "refresh");
        const qint64 elapsedMs = timer.elapsed();
        const qint64 memoryAtEnd = memoryKb();
        qInstallMessageHandler(previous);
        std::printf("soak: %lld KiB %s after 1,000 cycles, %lld KiB after 200,000; %d open files; "
                    "%.1f us per cycle\n",
                    memoryAfterWarmUp, emulated ? "heap in use" : "resident", memoryAtEnd, openFileDescriptors(), elapsedMs * 1000.0 / 199000);
        QCOMPARE(h.announced, 200001);
        QCOMPARE(openFileDescriptors(), fdsAfterWarmUp);
        // A leak of even 1 byte per cycle would add 194 KiB; allow the
        // allocator 64 KiB (16 pages) of slack for its own bookkeeping.
        // AddressSanitizer holds freed memory back in quarantine, so there
        // resident memory grows by design, and LeakSanitizer judges leaks
        // at exit instead.
        if (!sandbox::AddressSanitizer)
            QVERIFY2(memoryAtEnd - memoryAfterWarmUp <= 64, qPrintable(QString::number(memoryAtEnd - memoryAfterWarmUp)));
        ::close(statm);
    }

    void memcheck()
    {
        m_description = QStringLiteral("valgrind memcheck of vesh-host --machine ryzen-radeon --count 3: no leak from the plugin");
        if (sandbox::AddressSanitizer) {
            m_skipped = true;
            QSKIP("valgrind cannot run an AddressSanitizer build");
        }
        if (emulator::active()) {
            m_skipped = true;
            QSKIP("valgrind runs programs of its own machine's architecture, not one built for another");
        }
        if (QStandardPaths::findExecutable(QStringLiteral("valgrind")).isEmpty()) {
            m_skipped = true;
            QSKIP("valgrind not installed");
        }
        REQUIRE_SANDBOX();
        QProcess valgrind;
        valgrind.start(QStringLiteral("valgrind"),
                       QStringList{QStringLiteral("--leak-check=full"), QStringLiteral("--show-leak-kinds=definite,indirect"),
                        QStringLiteral("--errors-for-leak-kinds=definite,indirect"),
                        QStringLiteral("--num-callers=40"), Host}
                           + sandbox::runnerOn(Machines + QLatin1StringView("/ryzen-radeon"))
                           + QStringList{QStringLiteral("--count"), QStringLiteral("3"), Plugin});
        QVERIFY(valgrind.waitForFinished(300000));
        QCOMPARE(valgrind.exitCode(), 0);
        const QByteArray report = valgrind.readAllStandardError();
        QVERIFY2(report.contains("ERROR SUMMARY: 0 errors"), report.right(2000).constData());
        // The runner unloads the plugin before exit, which leaves valgrind no
        // names for the plugin's frames; so no definite or indirect loss at
        // all is accepted, which covers the plugin's.
        QVERIFY2(report.contains("definitely lost: 0 bytes in 0 blocks") || report.contains("no leaks are possible"),
                 report.right(2000).constData());
        QVERIFY2(report.contains("indirectly lost: 0 bytes in 0 blocks") || report.contains("no leaks are possible"),
                 report.right(2000).constData());
    }

private:
    static QJsonObject expectedFor(const QString &machine)
    {
        QFile file(Machines + u'/' + machine + QLatin1StringView("/expected.json"));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("no expected.json for %s", qPrintable(machine));
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    QString m_description;
    bool m_skipped = false;
};

QTEST_GUILESS_MAIN(TestProof)
#include "tst_proof.moc"
