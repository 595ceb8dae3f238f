#pragma once

#include <QList>
#include <QString>

// Rules for the kernel's hwmon class (/sys/class/hwmon), kept free of I/O so
// they can be tested with plain text.
namespace vesh::hwmon {

enum class Category { None, Cpu, Gpu };

// A driver whose sensor the applet reads.
struct Driver
{
    QLatin1StringView name;
    Category category;
    // Any name that begins with name (zenpower3, ...), not only name itself.
    bool byPrefix;
    // Each temperature read takes a runtime-PM reference and marks the
    // device busy, so that reading it often keeps it from suspending.
    bool readsMarkBusy;
    // A CPU driver's name for the die temperature in temp3, where known.
    QLatin1StringView dieName;
    // The autosuspend delay a GPU driver sets at probe, in ms; 0: none.
    int autosuspendDelayMs;
};

// The drivers, in the order they are tested.
QList<Driver> drivers();

// The driver a name stands for, or null; exact and case-sensitive, except
// for a prefix driver.
const Driver *driverOf(const QString &driverName);

// A temp*_input text as the applet reads it: whole degrees Celsius,
// truncated toward zero, or 0 and why.
struct Temperature
{
    enum class Text { Millidegrees, NotANumber, OutOfRange /* a number beyond 32 bits */ };
    int degrees = 0;
    Text text = Text::Millidegrees;
};

// From a trimmed temp*_input text in millidegrees: a 32-bit decimal integer.
Temperature temperatureFromText(const QString &millidegrees);
int degreesFromText(const QString &millidegrees);

// The same for a temp*_input file's raw contents, as if decoded as UTF-8
// and trimmed first.
Temperature temperatureFromFile(QByteArrayView contents);
int degreesFromFile(QByteArrayView contents);

// Whether a file's contents, decoded as UTF-8 and trimmed, equal text.
bool trimmedEquals(QByteArrayView contents, QLatin1StringView text);

// Whether a CPU device's temp1_label contents name temp1 Tctl, AMD's control
// temperature, which may carry an offset: the device then also shows a
// die's own temperature (temp3, Tccd1 on k10temp) as cpuTempTctl.
bool isTctlLabel(QByteArrayView label);

// cpuTempTctl on such a device: the die's temperature where it is above
// 0 °C, else cpuTemp.
int tctlTemperature(int cpuTemp, int dieTemp);

// Whether a device's power/runtime_status contents say it is powered down
// or going down ("suspended", "suspending").
bool isAsleep(QByteArrayView runtimeStatus);

} // namespace vesh::hwmon
