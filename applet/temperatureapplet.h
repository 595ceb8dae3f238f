#pragma once

#include "clocks.h"
#include "machinefiles.h"

#include <vesh/orlapplet.h>

#include <QString>

#include <functional>
#include <optional>

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
    // An applet of the machine folder in files, timed by clock if one is
    // given, for this project's tests and tools. Not exported: what the
    // shell gets from the plugin's factory always reads this machine's own
    // files on its own clock.
    Q_DECL_HIDDEN explicit TemperatureApplet(const MachineFiles &files, QObject *parent = nullptr,
                                             Clock clock = {});
    ~TemperatureApplet() override;

    bool init() override;

    int cpuTemp() const { return m_cpuTemp; }
    int gpuTemp() const { return m_gpuTemp; }
    int cpuTempTctl() const { return m_cpuTempTctl; }
    int gpuTempJunction() const { return m_gpuTempJunction; }
    int gpuTempMem() const { return m_gpuTempMem; }
    QString cpuLabel() const { return m_cpuLabel; }
    QString gpuLabel() const { return m_gpuLabel; }
    QString netSpeed() const { return m_netSpeed; }
    QString memUsage() const { return m_memUsage; }

signals:
    void tempsChanged();

public slots:
    void refresh();

private:
    void findHwmonDevices();
    int readTempFromHwmon(const QString &hwmonPath, int index);
    void readGpuTemps(const Instant &now);
    void readNetSpeed(const Instant &now);
    void readMemUsage();

    QTimer *m_refreshTimer;
    int m_cpuTemp = 0;
    int m_gpuTemp = 0;
    int m_cpuTempTctl = 0;
    int m_gpuTempJunction = 0;
    int m_gpuTempMem = 0;
    QString m_cpuLabel;
    QString m_gpuLabel;
    QString m_cpuHwmonPath;
    QString m_gpuHwmonPath;
    quint64 m_lastRxBytes = 0;
    quint64 m_lastTxBytes = 0;
    qint64 m_lastSampleMs = 0;
    QString m_netSpeed;
    QString m_memUsage;
    MachineFiles m_files;
    Clock m_clock;
    bool m_gpuReadsMarkBusy = false;
    std::optional<Instant> m_gpuReadAt; // the cycle that last read the GPU, since it last slept
};

} // namespace vesh
