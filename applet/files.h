#pragma once

#include <QStringView>

// The kernel files the applet reads, named once for the applet and the
// runner's account and capture. Paths are the machine's own (/sys/...,
// /proc/...); MachineFiles says where they lie.
namespace vesh::files {
inline constexpr QStringView HwmonClass = u"/sys/class/hwmon";
// Where every device has its own folder, which its class entries lead to.
inline constexpr QStringView DeviceFolders = u"/sys/devices";
// In each device folder: its driver name, its temperatures in millidegrees
// and the label that tells an AMD CPU's Tctl.
inline constexpr QStringView DriverName = u"name";
// Every temperature input, as a name pattern: the capture keeps them all.
inline constexpr QStringView TempInputPattern = u"temp*_input";
// The ones a cycle reads, by index from 1: temp1_input to temp3_input.
inline constexpr QStringView ReadTempInputs[] = {u"temp1_input", u"temp2_input", u"temp3_input"};
inline constexpr QStringView Temp1Label = u"temp1_label";
// The runtime power management of the device behind it, which shows its
// state without waking it: the state, whether it may suspend itself
// ("auto" or "on"), the references held (kernels with PM debugging only)
// and how long after its last use it suspends.
inline constexpr QStringView RuntimeStatus = u"device/power/runtime_status";
inline constexpr QStringView PowerControl = u"device/power/control";
inline constexpr QStringView RuntimeUsage = u"device/power/runtime_usage";
inline constexpr QStringView AutosuspendDelay = u"device/power/autosuspend_delay_ms";
inline constexpr QStringView PowerFiles[] = {RuntimeStatus, PowerControl, RuntimeUsage, AutosuspendDelay};
inline constexpr QStringView NetDev = u"/proc/net/dev";
// Each network interface's folder, whose device link, where it has one,
// leads to the hardware behind it; bridges, VPNs and veth have none. Only
// the runner reads it, for its account and its capture.
inline constexpr QStringView NetClass = u"/sys/class/net";
// In a class folder's entry (hwmon, net): the link to its device.
inline constexpr QStringView DeviceLink = u"device";
inline constexpr QStringView MemInfo = u"/proc/meminfo";
// How far this process's clocks are ahead of the root time namespace's,
// where it runs in another one (a container, a restored checkpoint).
inline constexpr QStringView TimensOffsets = u"/proc/self/timens_offsets";
// In a PCI device's folder: its vendor and device IDs and whether the
// firmware booted on it as the display, which tell two cards of one driver
// apart. The kernel keeps them in memory, so reading them wakes nothing.
// Only the runner reads them, for its account and its capture.
inline constexpr QStringView BootVga = u"boot_vga";
inline constexpr QStringView PciIdFiles[] = {u"vendor", u"device", BootVga};
} // namespace vesh::files
