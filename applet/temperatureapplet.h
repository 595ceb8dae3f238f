#pragma once

#include "clocks.h"
#include "cycle.h"
#include "machinefiles.h"

#include <vesh/orlapplet.h>

#include <QString>

QT_BEGIN_NAMESPACE
class QTimer;
QT_END_NAMESPACE

namespace vesh {

// Samples CPU and GPU temperatures, network throughput and memory use every
// 2000 ms and publishes them as read-only properties for the panel; a GPU
// that could autosuspend is read less often, so that it can.
class Q_DECL_EXPORT TemperatureApplet : public OrlApplet
{
    Q_OBJECT
    Q_PROPERTY(int cpuTemp READ cpuTemp NOTIFY tempsChanged)
    Q_PROPERTY(int gpuTemp READ gpuTemp NOTIFY tempsChanged)
    Q_PROPERTY(int cpuTempTctl READ cpuTempTctl NOTIFY tempsChanged)
    Q_PROPERTY(int gpuTempJunction READ gpuTempJunction NOTIFY tempsChanged)
    Q_PROPERTY(int gpuTempMem READ gpuTempMem NOTIFY tempsChanged)
    Q_PROPERTY(QString cpuLabel READ cpuLabel NOTIFY tempsChanged)
    Q_PROPERTY(QString gpuLabel READ gpuLabel NOTIFY tempsChanged)
    Q_PROPERTY(QString netSpeed READ netSpeed NOTIFY tempsChanged)
    Q_PROPERTY(QString memUsage READ memUsage NOTIFY tempsChanged)

public:
    explicit TemperatureApplet(QObject *parent = nullptr);
    // An applet of the machine folder machine, timed by clock if one is
    // given, for this project's tests and tools. Not exported: what the
    // shell gets from the plugin's factory always reads this machine's own
    // files on its own clock.
    Q_DECL_HIDDEN explicit TemperatureApplet(const MachineFiles &machine, QObject *parent = nullptr,
                                             Clock clock = {});
    ~TemperatureApplet() override;

    bool init() override;

    int cpuTemp() const { return shown().cpuTemp; }
    int gpuTemp() const { return shown().gpuTemp; }
    int cpuTempTctl() const { return shown().cpuTempTctl; }
    int gpuTempJunction() const { return shown().gpuTempJunction; }
    int gpuTempMem() const { return shown().gpuTempMem; }
    QString cpuLabel() const { return shown().cpuLabel; }
    QString gpuLabel() const { return shown().gpuLabel; }
    QString netSpeed() const { return shown().netSpeed; }
    QString memUsage() const { return shown().memUsage; }

signals:
    void tempsChanged();

public slots:
    void refresh();

private:
    void findHwmonDevices();
    const cycle::Properties &shown() const { return m_carried.properties; }

    QTimer *m_refreshTimer;
    cycle::Sensors m_sensors;
    // The values shown and what the next cycle needs of this one.
    cycle::Carried m_carried;
    MachineFiles m_machine;
    Clock m_clock;
};

} // namespace vesh
