#include "temperatureapplet.h"

#include "discovery.h"
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

TemperatureApplet::TemperatureApplet(const MachineFiles &machine, QObject *parent, Clock clock)
    : TemperatureApplet(parent)
{
    m_machine = machine;
    if (clock)
        m_clock = std::move(clock);
}

TemperatureApplet::~TemperatureApplet() = default;

bool TemperatureApplet::init()
{
    setRootObject(this);
    qDebug() << "TemperatureApplet::init() - rootObject set, scanning hwmon...";
    findHwmonDevices();
    qDebug() << "CPU hwmon path:" << m_sensors.cpuPath << "GPU hwmon path:" << m_sensors.gpuPath;

    refresh();
    qDebug() << "Initial temps - CPU:" << cpuTemp() << "GPU:" << gpuTemp();

    m_refreshTimer->setInterval(RefreshIntervalMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &TemperatureApplet::refresh);
    m_refreshTimer->start();
    return true;
}

void TemperatureApplet::refresh()
{
    m_carried = cycle::run(m_machine, m_sensors, m_carried, m_clock()).next;
    // Every cycle, in the default category: see "A debug line on every cycle" in docs/kept-on-purpose.md.
    qDebug() << "Temps - CPU:" << cpuTemp() << "GPU:" << gpuTemp() << "CPU Tctl:" << cpuTempTctl()
             << "GPU Junc:" << gpuTempJunction() << "GPU Mem:" << gpuTempMem();
    emit tempsChanged();
}

void TemperatureApplet::findHwmonDevices()
{
    m_sensors = cycle::sensorsOf(discovery::find(m_machine));
    m_carried = cycle::start(m_machine, m_sensors);
}

} // namespace vesh
