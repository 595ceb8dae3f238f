// Refresh cost of the applet, loaded from the built plugin as the shell
// loads it, beside the floor: the same files read with plain
// open/read/close into a stack buffer and parsed minimally. It reads the
// machine it runs on; bench/run puts it on a fixture machine.
//
//   vesh-refresh-bench PLUGIN [--rounds R] [--cycles K]
//       times R rounds of K applet cycles and K floor cycles, interleaved,
//       and prints the medians per cycle;
//   vesh-refresh-bench PLUGIN --only applet|floor --cycles N
//       runs exactly N cycles of one kind after the same set-up, for
//       counting system calls or instructions against a run of 0 cycles.

#include "cycle.h"
#include "discovery.h"
#include "machinefiles.h"

#include <vesh/orlapplet.h>
#include <vesh/orlappletfactory.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaMethod>
#include <QPluginLoader>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// The files one cycle reads on the machine, by the applet's own discovery,
// rules and decisions, where it reads them (in each device's own folder):
// the CPU's temp1_input, temp1_label and temp3_input, the power files that
// the GPU's power rule reads and its temperatures on a cycle that reads
// them, then the network and memory files.
std::vector<QByteArray> cycleFiles()
{
    namespace cycle = vesh::cycle;
    const vesh::MachineFiles machine;
    const cycle::Sensors sensors = cycle::sensorsOf(vesh::discovery::find(machine));
    const cycle::Record record = cycle::run(machine, sensors, cycle::start(machine, sensors), vesh::now());
    QStringList paths;
    auto add = [&paths](const QString &device, const cycle::FileRead &file) {
        paths << (device.isEmpty() ? file.file.toString() : device + u'/' + file.file.toString());
    };
    if (const std::optional<cycle::CpuRead> &cpu = record.cpu) {
        add(sensors.cpuFolder, cpu->temp.file);
        add(sensors.cpuFolder, cpu->temp1Label);
        if (cpu->die)
            add(sensors.cpuFolder, cpu->die->file);
    }
    if (const std::optional<cycle::GpuRead> &gpu = record.gpu) {
        for (const cycle::FileRead &file : gpu->powerFiles)
            add(sensors.gpuFolder, file);
        for (const cycle::Reading &reading : gpu->readings)
            add(sensors.gpuFolder, reading.file);
    }
    add({}, record.network);
    add({}, record.memory);
    std::vector<QByteArray> encoded;
    for (const QString &path : std::as_const(paths))
        encoded.push_back(QFile::encodeName(path));
    return encoded;
}

volatile long long sink;

long long floorCycle(const std::vector<QByteArray> &files)
{
    long long total = 0;
    char buffer[4096];
    for (const QByteArray &name : files) {
        const char *path = name.constData();
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
        // /proc/net/dev is read to its end, as any reader must; a sysfs
        // attribute comes whole in one read.
        if (n > 0 && path[1] == 'p' && path[6] == 'n') {
            ssize_t more;
            while ((more = ::read(fd, buffer + n, sizeof buffer - 1 - size_t(n))) > 0)
                n += more;
        }
        ::close(fd);
        if (n <= 0)
            continue;
        buffer[n] = '\0';
        if (path[1] == 's') {
            total += std::strtol(buffer, nullptr, 10) / 1000;
        } else if (const char *at = std::strstr(buffer, "MemAvailable:")) {
            total += std::strtol(at + 13, nullptr, 10);
        } else {
            for (const char *line = std::strchr(buffer, ':'); line; line = std::strchr(line + 1, ':'))
                total += std::strtoll(line + 1, nullptr, 10);
        }
    }
    return total;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: vesh-refresh-bench PLUGIN [--rounds R] [--cycles K] [--only applet|floor]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        usage();
    int rounds = 200;
    int cycles = 50;
    QString only;
    for (int i = 2; i < args.size(); ++i) {
        if (args[i] == u"--rounds" && i + 1 < args.size())
            rounds = args[++i].toInt();
        else if (args[i] == u"--cycles" && i + 1 < args.size())
            cycles = args[++i].toInt();
        else if (args[i] == u"--only" && i + 1 < args.size())
            only = args[++i];
        else
            usage();
    }

    const std::vector<QByteArray> files = cycleFiles();
    // A shell that filters debug output: the lines are made, then dropped.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    QPluginLoader loader(args[1]);
    auto *factory = qobject_cast<vesh::OrlAppletFactory *>(loader.instance());
    if (!factory) {
        std::fprintf(stderr, "vesh-refresh-bench: %s\n", qPrintable(loader.errorString()));
        return 1;
    }
    QObject panel;
    vesh::OrlApplet *applet = factory->create(&panel);
    applet->init();
    const QMetaMethod refresh = applet->metaObject()->method(applet->metaObject()->indexOfSlot("refresh()"));

    if (only == u"applet") {
        for (int i = 0; i < cycles; ++i)
            refresh.invoke(applet);
        return 0;
    }
    if (only == u"floor") {
        for (int i = 0; i < cycles; ++i)
            sink = floorCycle(files);
        return 0;
    }
    if (!only.isEmpty())
        usage();

    std::vector<double> appletUs;
    std::vector<double> floorUs;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        for (int i = 0; i < cycles; ++i)
            refresh.invoke(applet);
        appletUs.push_back(double(timer.nsecsElapsed()) / cycles / 1000.0);
        timer.start();
        for (int i = 0; i < cycles; ++i)
            sink = floorCycle(files);
        floorUs.push_back(double(timer.nsecsElapsed()) / cycles / 1000.0);
    }
    const double a = median(appletUs);
    const double f = median(floorUs);
    std::printf("applet %.1f us, floor %.1f us, ratio %.2f\n", a, f, a / f);
    return 0;
}
