#include "temperatureapplet.h"

#include "discovery.h"
#include "gpupower.h"
#include "hwmon.h"
#include "kernelfile.h"
#include "meminfo.h"
#include "netdev.h"
#include "refreshinterval.h"

#include <QDebug>
#include <QTimer>

namespace vesh {

TemperatureApplet::TemperatureApplet(QObject *parent)
    : OrlApplet(parent)
    , m_refreshTimer(new QTimer(this))
    , m_clock(&vesh::now)
{
}

TemperatureApplet::TemperatureApplet(const MachineFiles &files, QObject *parent, Clock clock)
    : TemperatureApplet(parent)
{
    m_files = files;
    if (clock)
        m_clock = std::move(clock);
}

TemperatureApplet::~TemperatureApplet() = default;

bool TemperatureApplet::init()
{
    setRootObject(this);
    qDebug() << "TemperatureApplet::init() - rootObject set, scanning hwmon...";
    findHwmonDevices();
    qDebug() << "CPU hwmon path:" << m_cpuHwmonPath << "GPU hwmon path:" << m_gpuHwmonPath;

    refresh();
    qDebug() << "Initial temps - CPU:" << m_cpuTemp << "GPU:" << m_gpuTemp;

    m_refreshTimer->setInterval(RefreshIntervalMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &TemperatureApplet::refresh);
    m_refreshTimer->start();
    return true;
}

void TemperatureApplet::refresh()
{
    const Instant now = m_clock();
    if (!m_cpuHwmonPath.isEmpty()) {
        m_cpuTemp = readTempFromHwmon(m_cpuHwmonPath, 1);
        kernelfile::Buffer label;
        if (m_files.read({m_cpuHwmonPath, u"/", files::CpuLabel}, &label, kernelfile::OnePage)
            && hwmon::isTctlLabel(QByteArrayView(label)))
            m_cpuTempTctl = hwmon::tctlTemperature(m_cpuTemp, readTempFromHwmon(m_cpuHwmonPath, 3));
    }

    if (!m_gpuHwmonPath.isEmpty())
        readGpuTemps(now);

    readNetSpeed(now);
    readMemUsage();

    qDebug() << "Temps - CPU:" << m_cpuTemp << "GPU:" << m_gpuTemp << "CPU Tctl:" << m_cpuTempTctl
             << "GPU Junc:" << m_gpuTempJunction << "GPU Mem:" << m_gpuTempMem;
    emit tempsChanged();
}

void TemperatureApplet::findHwmonDevices()
{
    const discovery::Devices found = discovery::find(m_files);
    if (found.cpu >= 0) {
        const discovery::Device &cpu = found.entries.at(found.cpu);
        m_cpuHwmonPath = discovery::devicePath(cpu.entry);
        m_cpuLabel = cpu.driverName;
    }
    if (found.gpu >= 0) {
        const discovery::Device &gpu = found.entries.at(found.gpu);
        m_gpuHwmonPath = discovery::devicePath(gpu.entry);
        m_gpuLabel = gpu.driverName;
        m_gpuReadsMarkBusy = gpu.readsMarkBusy;
    }
}

void TemperatureApplet::readGpuTemps(const Instant &now)
{
    // Reading a temperature wakes a runtime-suspended card on many drivers,
    // and on amdgpu every read also restarts the card's suspend timer. Its
    // power files show its state without either.
    const gpupower::Decision power =
        gpupower::decide(m_gpuReadsMarkBusy, gpupower::reader(m_files, m_gpuHwmonPath));
    const gpupower::Turn turn = gpupower::turn(power, now, m_gpuReadAt);
    if (turn == gpupower::Turn::NotRead) {
        m_gpuTemp = 0;
        m_gpuTempJunction = 0;
        m_gpuTempMem = 0;
        m_gpuReadAt.reset();
        return;
    }
    if (!gpupower::reads(turn))
        return; // the last readings stay shown
    m_gpuTemp = readTempFromHwmon(m_gpuHwmonPath, 1);
    m_gpuTempJunction = readTempFromHwmon(m_gpuHwmonPath, 2);
    m_gpuTempMem = readTempFromHwmon(m_gpuHwmonPath, 3);
    m_gpuReadAt = now;
}

int TemperatureApplet::readTempFromHwmon(const QString &hwmonPath, int index)
{
    // Read as QFile (read-only, text mode) would, without its stat calls.
    kernelfile::Buffer contents;
    if (!m_files.read({hwmonPath, u"/", files::TempInputPrefix, QString::number(index), files::TempInputSuffix},
                      &contents, kernelfile::OnePage))
        return 0;
    return hwmon::degreesFromFile(QByteArrayView(contents));
}

void TemperatureApplet::readNetSpeed(const Instant &now)
{
    // As QFile (read-only, text mode) would read it, without its stat calls.
    // Files under /proc report a size of 0, so read until a read returns
    // nothing rather than trusting the size or atEnd().
    kernelfile::Buffer contents;
    if (!m_files.read({files::NetDev}, &contents, kernelfile::Table)) {
        m_netSpeed = QStringLiteral("NET 0/s");
        return;
    }
    netdev::Sample current = netdev::totalsFromText(QByteArrayView(contents));
    current.msecsSinceEpoch = now.epochMs;

    m_netSpeed = netdev::speedText({m_lastRxBytes, m_lastTxBytes, m_lastSampleMs}, current);
    m_lastSampleMs = current.msecsSinceEpoch;
    m_lastRxBytes = current.rxBytes;
    m_lastTxBytes = current.txBytes;
}

void TemperatureApplet::readMemUsage()
{
    // The kernel makes the whole file in one go and hands out as much as a
    // read asks for, so one read of a page holds the two figures, which
    // stand near the top.
    kernelfile::Buffer contents;
    if (!m_files.read({files::MemInfo}, &contents, kernelfile::OnePage)) {
        m_memUsage = QStringLiteral("MEM 0G 0%");
        return;
    }
    m_memUsage = meminfo::usageText(meminfo::figuresFromText(QByteArrayView(contents)));
}

} // namespace vesh
