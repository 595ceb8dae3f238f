#pragma once

#include <QString>

// Rules for the kernel's hwmon class (/sys/class/hwmon), kept free of I/O so
// they can be tested with plain text.
namespace vesh::hwmon {

enum class Category { None, Cpu, Gpu };

// Which sensor a driver name stands for; exact and case-sensitive, except
// that every zenpower variant (zenpower3, ...) counts as a CPU sensor.
Category categoryOf(const QString &driverName);

// Whole degrees Celsius from a trimmed temp*_input text in millidegrees,
// truncated toward zero; 0 for text that is not a 32-bit decimal integer.
int degreesFromText(const QString &millidegrees);

// The same for a temp*_input file's raw contents, as if decoded as UTF-8
// and trimmed first.
int degreesFromFile(QByteArrayView contents);

// Whether a file's contents, decoded as UTF-8 and trimmed, equal text.
bool trimmedEquals(QByteArrayView contents, QLatin1StringView text);

// Whether a device's power/runtime_status contents say it is powered down
// or going down ("suspended", "suspending").
bool isAsleep(QByteArrayView runtimeStatus);

} // namespace vesh::hwmon
