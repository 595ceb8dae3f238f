#include "gpupower.h"

#include "hwmon.h"
#include "refreshinterval.h"

#include <cerrno>
#include <iterator>

namespace vesh::gpupower {

namespace {

using namespace Qt::Literals::StringLiterals;

// What the reads of a window take past its end: the reads themselves and
// the event loop's wake-up.
constexpr qint64 ReadAllowanceMs = 250;

std::optional<int> integer(QByteArrayView contents)
{
    bool ok = false;
    const int value = contents.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

Decision decide(const hwmon::Driver &driver, const Reader &read)
{
    kernelfile::Buffer contents;
    if (const kernelfile::Result status = read(File::RuntimeStatus, &contents); !status) {
        return status.error == ENOENT ? Decision{Case::EveryCycle, Reason::NoPowerState}
                                      : Decision{Case::Unknown, Reason::StatusUnreadable};
    }
    const QByteArrayView status(contents);
    if (hwmon::isAsleep(status)) {
        return {Case::Asleep,
                hwmon::trimmedEquals(status, "suspended"_L1) ? Reason::Suspended : Reason::Suspending};
    }
    // radeon and nouveau answer an error while the card is off and keep
    // nothing awake.
    if (!driver.readsMarkBusy)
        return {Case::EveryCycle, Reason::ReadsDoNotMarkBusy};
    if (hwmon::trimmedEquals(status, "unsupported"_L1))
        return {Case::EveryCycle, Reason::RuntimePmDisabled};
    if (hwmon::trimmedEquals(status, "error"_L1))
        return {Case::EveryCycle, Reason::RuntimePmError};
    if (!hwmon::trimmedEquals(status, "active"_L1) && !hwmon::trimmedEquals(status, "resuming"_L1))
        return {Case::EveryCycle, Reason::UnknownStatus};

    // A file that is there but does not read is never taken as leave to
    // read the card every cycle: it may still suspend by itself.
    if (const kernelfile::Result control = read(File::Control, &contents); !control) {
        if (control.error == ENOENT)
            return {Case::EveryCycle, Reason::NoControlFile};
    } else if (hwmon::trimmedEquals(QByteArrayView(contents), "on"_L1)) {
        return {Case::EveryCycle, Reason::ControlOn};
    } // The kernel writes "auto" or "on"; anything else counts as unread.
    // Graphics work takes and drops its references around each call, so 0
    // is usual even under load; compute work holds one while it runs.
    if (read(File::RuntimeUsage, &contents) && integer(QByteArrayView(contents)).value_or(0) > 0)
        return {Case::EveryCycle, Reason::InUse};

    const std::optional<int> delayRead =
        read(File::AutosuspendDelay, &contents) ? integer(QByteArrayView(contents)) : std::nullopt;
    const int delayMs = delayRead.value_or(driver.autosuspendDelayMs);
    if (delayMs < 0)
        return {Case::EveryCycle, Reason::NeverAutosuspends};
    return {Case::CouldAutosuspend, Reason::Idle, delayMs, !delayRead, schedule(delayMs)};
}

Schedule schedule(int delayMs)
{
    // amdgpu marks the card busy on every temperature read, and the PM core
    // suspends it between its delay and a quarter more after the last mark.
    // Applets that each spaced their own reads would interleave, and the
    // card would never be left alone that long; so every applet reads only
    // in windows at whole multiples of the period on CLOCK_MONOTONIC, which
    // all processes of a time namespace share, and between them only for a
    // first reading or a stale one. That needs no file, lock or message
    // between applets.
    // QTimer's default coarse timer keeps within 5 % of its interval, as Qt
    // documents, so each applet ticks at least once in every window.
    const qint64 windowMs = (qint64(RefreshIntervalMs) * 105 + 99) / 100;
    // After the window, the quarter's slack and the time of the reads
    // themselves. The price is GPU readings up to a period old while the
    // card is in use: 8.6 s for the default delay.
    const qint64 quietMs = (qint64(delayMs) * 5 + 3) / 4 + ReadAllowanceMs;
    return {windowMs + quietMs, windowMs};
}

Turn turn(const Decision &decision, const Instant &now, const std::optional<Instant> &lastRead)
{
    switch (decision.powerCase) {
    case Case::Asleep:
    case Case::Unknown:
        return Turn::NotRead;
    case Case::EveryCycle:
        return Turn::EveryCycle;
    case Case::CouldAutosuspend:
        break;
    }
    if (!lastRead)
        return Turn::First;
    const Schedule &schedule = decision.schedule;
    // Floor division: the window at or before now, also for times below 0.
    const qint64 windowStart =
        now.monotonicMs - ((now.monotonicMs % schedule.periodMs) + schedule.periodMs) % schedule.periodMs;
    const bool inWindow = now.monotonicMs - windowStart < schedule.windowMs;
    if (inWindow && lastRead->monotonicMs < windowStart)
        return Turn::Window;
    // Out of turn, but no reading a period old is shown: a window missed on
    // a stalled event loop, or a system suspend, which stops CLOCK_MONOTONIC
    // but not CLOCK_BOOTTIME.
    if (now.boottimeMs - lastRead->boottimeMs >= schedule.periodMs)
        return Turn::Stale;
    return inWindow ? Turn::ReadThisWindow : Turn::BetweenWindows;
}

bool reads(Turn turn)
{
    switch (turn) {
    case Turn::EveryCycle:
    case Turn::First:
    case Turn::Stale:
    case Turn::Window:
        return true;
    case Turn::NotRead:
    case Turn::ReadThisWindow:
    case Turn::BetweenWindows:
        return false;
    }
    return false;
}

qint64 readPeriodMs(const Decision &decision)
{
    switch (decision.powerCase) {
    case Case::Asleep:
    case Case::Unknown:
        return 0;
    case Case::EveryCycle:
        return RefreshIntervalMs;
    case Case::CouldAutosuspend:
        return decision.schedule.periodMs;
    }
    return RefreshIntervalMs;
}

QStringView path(File file)
{
    // The files' one list, which File follows in order.
    static_assert(std::size(files::PowerFiles) == 4);
    return files::PowerFiles[int(file)];
}

Reader reader(const MachineFiles &machine, const QString &device)
{
    return [&machine, &device](File file, kernelfile::Buffer *contents) {
        return machine.read({device, u"/", path(file)}, contents, kernelfile::OnePage);
    };
}

} // namespace vesh::gpupower
