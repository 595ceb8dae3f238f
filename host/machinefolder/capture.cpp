#include "capture.h"

#include "clocks.h"
#include "files.h"
#include "gpupower.h"
#include "hwmon.h"
#include "kernelfile.h"
#include "machinefiles.h"
#include "machinefolder.h"
#include "machinenamespace.h"
#include "netdev.h"
#include "pcidevice.h"
#include "printable.h"
#include "run/appletsession.h"
#include "run/updateprinter.h"

#include <vesh/orlapplet.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vesh {

namespace {

using namespace Qt::Literals::StringLiterals;

// A path of the machine or of the capture, as a note or a message shows it.
QString shownPath(const QString &path)
{
    return printable::name(path, printable::PathLimit);
}

struct Counts
{
    int devices = 0;
    int asleep = 0;
    int files = 0;
    QStringList notes; // what was left out, and why
};

// Why a file was left out: more than its form takes, or, in the words a
// capture has always given, QFile's.
QString notReadWhy(kernelfile::Result result, const kernelfile::Form &form)
{
    switch (result.error) {
    case EFBIG: return u"too large: more than "_s + QString::number(form.limit) + u" bytes"_s;
    case EISDIR: return QCoreApplication::translate("QIODevice", "file to open is a directory");
    }
    return qt_error_string(result.error);
}

// Copies one file of the given form byte for byte, and leaves its bytes in
// copied if given (empty where it is left out). A file that cannot be
// read, or that holds more than the form takes, is left out with a note;
// false only when the capture cannot be written.
bool copyFile(const QString &from, const QString &to, Counts *counts, QString *error,
              kernelfile::Buffer *copied = nullptr, const kernelfile::Form &form = kernelfile::OnePage)
{
    kernelfile::Buffer ownContents;
    kernelfile::Buffer &contents = copied ? *copied : ownContents;
    const kernelfile::Result read = kernelfile::read(from, {}, &contents, kernelfile::copyOf(form));
    if (!read) {
        counts->notes.append(shownPath(from) + u": "_s + notReadWhy(read, form));
        return true;
    }
    QFile target(to);
    if (!QDir().mkpath(QFileInfo(to).path()) || !target.open(QIODevice::WriteOnly | QIODevice::NewOnly)
        || target.write(contents.constData(), contents.size()) != contents.size() || !target.flush()) {
        *error = shownPath(to) + u": "_s + target.errorString();
        return false;
    }
    ++counts->files;
    return true;
}

// Makes the link at place (relative to sys/) with the machine's target, and
// the folder it leads to, which goes into folder (relative to sys/), where
// it leads as the kernel would follow it through the links made so far. A
// link that leads out of sys/ is left out with a note, and folder is empty;
// false only when the capture cannot be written.
bool copyLink(const QString &sys, const QString &place, const QString &target, Counts *counts, QString *error,
              QString *folder)
{
    folder->clear();
    const QString note = shownPath(u"/sys/"_s + place) + u": a link that leads out of /sys ("_s + shownPath(target)
        + u"), left out"_s;
    if (target.startsWith(u'/') && !target.startsWith(QStringLiteral("/sys/"))) {
        counts->notes.append(note);
        return true;
    }
    const QString link = sys + u'/' + place;
    const QString linkFolder = QFileInfo(link).path();
    // Within the capture, a link to /sys/... would lead to the machine that
    // reads it: the capture's own links are relative.
    const QString written =
        target.startsWith(u'/') ? QDir(linkFolder).relativeFilePath(sys + target.sliced(4)) : target;
    if (!QDir().mkpath(linkFolder)
        || ::symlink(QFile::encodeName(written).constData(), QFile::encodeName(link).constData()) != 0) {
        *error = shownPath(link) + u": cannot make the link"_s;
        return false;
    }
    const QString canonicalSys = QFileInfo(sys).canonicalFilePath();
    const QString destination =
        machinefolder::linkDestination(QFileInfo(linkFolder).canonicalFilePath() + u'/' + QFileInfo(link).fileName());
    if (!destination.startsWith(canonicalSys + u'/')) {
        QFile::remove(link);
        counts->notes.append(note);
        return true;
    }
    if (!QDir().mkpath(destination)) {
        *error = shownPath(destination) + u": cannot make the folder"_s;
        return false;
    }
    *folder = destination.sliced(canonicalSys.size() + 1);
    return true;
}

// An entry of a class folder (class/hwmon/hwmon0, class/net/eth0) kept as
// what it is: a link into its device folder, or a plain folder. folder is
// where it leads, relative to sys/; empty where it is left out, with a
// note. False only when the capture cannot be written.
bool copyClassEntry(const QString &sys, const QFileInfo &entry, const QString &place, Counts *counts, QString *error,
                    QString *folder)
{
    *folder = place;
    if (entry.isSymLink())
        return copyLink(sys, place, entry.readSymLink(), counts, error, folder);
    if (entry.isDir()) {
        if (!QDir().mkpath(sys + u'/' + place)) {
            *error = shownPath(sys + u'/' + place) + u": cannot make the folder"_s;
            return false;
        }
        return true;
    }
    counts->notes.append(shownPath(entry.filePath()) + u": neither a link nor a folder, left out"_s);
    folder->clear();
    return true;
}

// The device link of the entry at path, kept as what it is at folder/device;
// nothing beyond it is followed. deviceFolder is where it leads, relative to
// sys/, empty where it is left out; false only when the capture cannot be
// written.
bool copyDeviceLink(const QString &sys, const QString &path, const QString &folder, Counts *counts, QString *error,
                    QString *deviceFolder)
{
    const QString place = folder + u'/' + files::DeviceLink.toString();
    const QFileInfo link(path + u'/' + files::DeviceLink.toString());
    *deviceFolder = place;
    return !link.isSymLink() || copyLink(sys, place, link.readSymLink(), counts, error, deviceFolder);
}

// When the capture reads devices: the applet's power rule, on the machine's
// clock as the rule counts it.
struct PowerRule
{
    const MachineFiles &machine;
    qint64 monotonicOffsetMs; // this process's time namespace's
    bool atStart;             // read as a reader's first cycle: at once
};

// Why the power rule leaves a device's temperatures unread; empty for a
// device that sleeps, which the summary counts.
QString unreadWhy(const gpupower::Decision &power)
{
    if (power.powerCase == gpupower::Case::Unknown)
        return u"its power state does not read: its temperatures are not read, so as not to wake it"_s;
    if (power.reason == gpupower::Reason::Resuming)
        return u"waking up: its temperatures are not read until it is up"_s;
    if (power.powerCase == gpupower::Case::CouldAutosuspend)
        return u"out of its read window: its temperatures are not read, so that it can sleep (--now reads them)"_s;
    return {};
}

// One entry of /sys/class/hwmon, with the files the applet reads.
bool copyHwmonEntry(const QString &sys, const QFileInfo &entry, const PowerRule &rule, Counts *counts, QString *error)
{
    QString folder;
    if (!copyClassEntry(sys, entry, QStringLiteral("class/hwmon/") + entry.fileName(), counts, error, &folder))
        return false;
    if (folder.isEmpty())
        return true;
    ++counts->devices;

    const QString device = entry.filePath();
    const QString driverName = u'/' + files::DriverName.toString();
    kernelfile::Buffer name;
    if (!copyFile(device + driverName, sys + u'/' + folder + driverName, counts, error, &name))
        return false;

    // The device's power files, read through its device link, which is
    // kept as what it is; nothing beyond it is followed.
    if (QFileInfo::exists(device + u'/' + files::RuntimeStatus.toString())) {
        QString deviceFolder;
        if (!copyDeviceLink(sys, device, folder, counts, error, &deviceFolder))
            return false;
        for (const QStringView file : files::PowerFiles) {
            const QString from = device + u'/' + file.toString();
            if (deviceFolder.isEmpty() || (file != files::RuntimeStatus && !QFileInfo::exists(from)))
                continue;
            if (!copyFile(from, sys + u'/' + folder + u'/' + file.toString(), counts, error))
                return false;
        }
    }
    // Reading a temperature may wake the device, or keep it awake: read
    // only where the applet would read it now.
    const QString hwmonFolder = files::HwmonClass.toString() + u'/' + entry.fileName();
    const hwmon::Driver *driver = hwmon::driverOf(QString::fromUtf8(name.constData(), name.size()).trimmed());
    const gpupower::Decision power = gpupower::decide(driver, gpupower::reader(rule.machine, hwmonFolder));
    const Instant now = onRootClock(vesh::now(), rule.monotonicOffsetMs);
    if (!gpupower::reads(gpupower::turn(power, now, {.atStart = rule.atStart}))) {
        const QString why = unreadWhy(power);
        if (why.isEmpty())
            ++counts->asleep;
        else
            counts->notes.append(shownPath(device) + u": "_s + why);
        return true;
    }

    const QFileInfoList temps = QDir(device).entryInfoList(
        {files::TempInputPattern.toString(), files::Temp1Label.toString()}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo &temp : temps) {
        if (!copyFile(temp.filePath(), sys + u'/' + folder + u'/' + temp.fileName(), counts, error))
            return false;
    }
    return true;
}

// The ID files of the PCI device that an entry's device belongs to, which
// --explain shows; a device behind two entries is copied once. Reading them
// wakes nothing, so a sleeping card's are copied too. False only when the
// capture cannot be written.
bool copyPciIds(const MachineFiles &machine, const QString &root, const QString &entry, Counts *counts,
                QString *error)
{
    QString folder;
    if (!machine.resolve({files::HwmonClass, u"/", entry}, &folder))
        return true;
    const QString pci = pcidevice::folderOf(folder);
    for (const QStringView file : files::PciIdFiles) {
        const QString path = pci + u'/' + file.toString();
        if (pci.isEmpty() || !QFileInfo::exists(machine.path(path)) || QFileInfo::exists(root + path))
            continue;
        if (!copyFile(machine.path(path), root + path, counts, error))
            return false;
    }
    return true;
}

// The folder of each interface that /proc/net/dev counts, with its device
// link where it has one: what tells a network card from a bridge or a VPN.
bool copyNetInterfaces(const MachineFiles &machine, const QString &sys, QByteArrayView netDev, Counts *counts,
                       QString *error)
{
    bool written = true;
    netdev::forEachInterface(netDev, [&](const netdev::Interface &interface) {
        if (!written || !netdev::isInterfaceName(interface.name))
            return;
        const QString name = QFile::decodeName(interface.name.toByteArray());
        const QFileInfo entry(machine.path(files::NetClass) + u'/' + name);
        if (!entry.exists() && !entry.isSymLink())
            return;
        QString folder;
        QString deviceFolder;
        written = copyClassEntry(sys, entry, QStringLiteral("class/net/") + name, counts, error, &folder)
            && (folder.isEmpty() || copyDeviceLink(sys, entry.filePath(), folder, counts, error, &deviceFolder));
    });
    return written;
}

bool copyMachine(const MachineFiles &machine, const QString &root, bool readNow, Counts *counts, bool *hwmonFound,
                 QString *error)
{
    const QString sys = root + QStringLiteral("/sys");
    const QString hwmonClass = machine.path(files::HwmonClass);
    *hwmonFound = QFileInfo(hwmonClass).isDir();
    if (*hwmonFound) {
        if (!QDir().mkpath(root + files::HwmonClass.toString())) {
            *error = shownPath(root + files::HwmonClass.toString()) + u": cannot make the folder"_s;
            return false;
        }
        const QFileInfoList entries =
            QDir(hwmonClass).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        const PowerRule rule{machine, gpupower::monotonicOffsetMs(machine), readNow};
        for (const QFileInfo &entry : entries) {
            if (!copyHwmonEntry(sys, entry, rule, counts, error)
                || !copyPciIds(machine, root, entry.fileName(), counts, error))
                return false;
        }
    }
    kernelfile::Buffer netDev;
    return copyFile(machine.path(files::NetDev), root + files::NetDev.toString(), counts, error, &netDev,
                    kernelfile::Table)
        && copyFile(machine.path(files::MemInfo), root + files::MemInfo.toString(), counts, error)
        && copyNetInterfaces(machine, sys, QByteArrayView(netDev.constData(), netDev.size()), counts, error);
}

// Runs the applet on the capture, as --machine shows it, and writes its
// readings after init and after the next update into expected.json.
bool recordReadings(const QString &root, const QStringList &pluginPaths, QString *error)
{
    AppletSession session;
    if (!session.create(pluginPaths, error))
        return false;
    if (session.applets().size() != 1) {
        *error = QStringLiteral("--capture records one applet; %1 were loaded").arg(session.applets().size());
        return false;
    }
    QBuffer lines;
    lines.open(QIODevice::WriteOnly);
    UpdateCount count{2};
    auto *printer = new UpdatePrinter(session.applets().first(), &lines, true, false, &count, session.panel());
    printer->followUpdates();
    if (!session.init(error))
        return false;
    if (!count.reached())
        QCoreApplication::exec();
    if (!count.reached()) {
        *error = QStringLiteral("interrupted before the applet's second update");
        return false;
    }

    QJsonArray updates;
    const QByteArrayList printed = lines.data().split('\n');
    for (const QByteArray &line : printed) {
        if (!line.isEmpty())
            updates.append(QJsonDocument::fromJson(line).object().value(u"properties"));
    }
    const QJsonObject expected{
        {QStringLiteral("description"), QStringLiteral("Captured with vesh-host --capture")},
        {QStringLiteral("updates"), updates},
    };
    QFile file(root + QStringLiteral("/expected.json"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)
        || file.write(QJsonDocument(expected).toJson(QJsonDocument::Indented)) < 0 || !file.flush()) {
        *error = shownPath(file.fileName()) + u": "_s + file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool captureMachine(const QString &dir, const QString &machineDir, const QStringList &pluginPaths, bool readNow,
                    QString *error)
{
    const QFileInfo target(dir);
    if (target.exists() && !(target.isDir() && QDir(dir).isEmpty(QDir::AllEntries | QDir::System | QDir::Hidden
                                                                     | QDir::NoDotAndDotDot))) {
        *error = shownPath(dir) + u": already exists and is not an empty folder; capture into a new one"_s;
        return false;
    }
    if (!QDir().mkpath(target.path())) {
        *error = shownPath(target.path()) + u": cannot make the folder"_s;
        return false;
    }
    // Made beside dir and renamed at the end: never half a capture.
    QTemporaryDir scratch(target.path() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".capture-XXXXXX"));
    if (!scratch.isValid()) {
        *error = shownPath(dir) + u": cannot write beside it: "_s + scratch.errorString();
        return false;
    }
    const QString root = scratch.path();
    // As mkdir would make it, not private as a temporary folder is.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(root).constData(), 0777 & ~mask);

    Counts counts;
    bool hwmonFound = false;
    const MachineFiles machine = machineDir.isEmpty() ? MachineFiles() : MachineFiles(machineDir);
    if (!copyMachine(machine, root, readNow, &counts, &hwmonFound, error))
        return false;

    // Where no mount namespace can be had, the capture is still worth having.
    QString notEntered;
    const bool entered = machinenamespace::enter(root, &notEntered);
    if (entered && !recordReadings(root, pluginPaths, error))
        return false;

    // An empty folder in dir's place is replaced; anything else stops us.
    if (::rename(QFile::encodeName(root).constData(), QFile::encodeName(dir).constData()) != 0) {
        *error = shownPath(dir) + u": cannot put the capture in place: "_s
            + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    scratch.setAutoRemove(false);

    const QString asleepNote =
        counts.asleep > 0 ? QStringLiteral(" (%1 asleep: only name and power state read)").arg(counts.asleep) : QString();
    std::printf("Captured %d hwmon device%s%s and %d file%s into %s\n", counts.devices, counts.devices == 1 ? "" : "s",
                qPrintable(asleepNote), counts.files, counts.files == 1 ? "" : "s", qPrintable(shownPath(dir)));
    if (!hwmonFound)
        std::printf("This machine has no /sys/class/hwmon: the capture holds the proc files only.\n");
    for (const QString &note : std::as_const(counts.notes))
        std::printf("Left out: %s\n", qPrintable(note));
    if (entered)
        std::printf("The applet's readings of it are in expected.json.\n");
    else
        std::printf("No expected.json: %s\n", qPrintable(notEntered));
    std::printf("Show it with: vesh-host --machine %s\n", qPrintable(shownPath(dir)));
    return true;
}

} // namespace vesh
