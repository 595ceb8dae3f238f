#include "gpupower.h"

#include "files.h"
#include "hwmon.h"
#include "refreshinterval.h"

#include <cerrno>
#include <iterator>
#include <tuple>
#include <utility>

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

// The card's autosuspend delay, as read, or the driver's default where it
// does not read.
std::pair<int, bool> delayOf(const hwmon::Driver &driver, const Reader &read, kernelfile::Buffer *contents)
{
    const std::optional<int> delayRead =
        read(File::AutosuspendDelay, contents) ? integer(QByteArrayView(*contents)) : std::nullopt;
    return {delayRead.value_or(driver.autosuspendDelayMs), !delayRead};
}

} // namespace

Decision decide(const hwmon::Driver *driver, const Reader &read)
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
    // A read during a resume waits for it (and blocks the shell's thread),
    // or fails on newer kernels: the card is read once it is up. A card
    // whose reads mark it busy then keeps the windows of its delay, which
    // a reader that starts now waits for.
    if (hwmon::trimmedEquals(status, "resuming"_L1)) {
        Decision resuming{Case::Asleep, Reason::Resuming};
        if (driver && driver->readsMarkBusy) {
            std::tie(resuming.delayMs, resuming.delayIsDefault) = delayOf(*driver, read, &contents);
            if (resuming.delayMs >= 0)
                resuming.schedule = schedule(resuming.delayMs);
        }
        return resuming;
    }
    // radeon and nouveau answer an error while the card is off and keep
    // nothing awake.
    if (!driver || !driver->readsMarkBusy)
        return {Case::EveryCycle, Reason::ReadsDoNotMarkBusy};
    if (hwmon::trimmedEquals(status, "unsupported"_L1))
        return {Case::EveryCycle, Reason::RuntimePmDisabled};
    if (hwmon::trimmedEquals(status, "error"_L1))
        return {Case::EveryCycle, Reason::RuntimePmError};
    if (!hwmon::trimmedEquals(status, "active"_L1))
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

    const auto [delayMs, delayIsDefault] = delayOf(*driver, read, &contents);
    if (delayMs < 0)
        return {Case::EveryCycle, Reason::NeverAutosuspends};
    return {Case::CouldAutosuspend, Reason::Idle, delayMs, delayIsDefault, schedule(delayMs)};
}

Schedule schedule(int delayMs)
{
    // amdgpu marks the card busy on every temperature read, and the PM core
    // suspends it between its delay and a quarter more after the last mark.
    // Readers that each spaced their own reads would interleave, and the
    // card would never be left alone that long; so every reader reads only
    // in windows at whole multiples of the period on the root time
    // namespace's CLOCK_MONOTONIC, the clock of the PM core's own timer.
    // That needs no file, lock or message between readers.
    // QTimer's default coarse timer keeps within 5 % of its interval, as Qt
    // documents, so each applet ticks at least once in every window.
    const qint64 windowMs = (qint64(RefreshIntervalMs) * 105 + 99) / 100;
    // After the window, the quarter's slack and the time of the reads
    // themselves. The price is GPU readings up to a period old while the
    // card is in use; docs/runner.md gives the figures.
    const qint64 quietMs = (qint64(delayMs) * 5 + 3) / 4 + ReadAllowanceMs;
    return {windowMs + quietMs, windowMs};
}

qint64 windowStart(Schedule schedule, qint64 hostMonotonicMs)
{
    // Floor division: the window at or before the moment, also below 0.
    const qint64 period = schedule.periodMs;
    return hostMonotonicMs - ((hostMonotonicMs % period) + period) % period;
}

bool inWindow(Schedule schedule, qint64 hostMonotonicMs)
{
    return hostMonotonicMs - windowStart(schedule, hostMonotonicMs) < schedule.windowMs;
}

qint64 untilWindowMs(Schedule schedule, qint64 hostMonotonicMs)
{
    const qint64 start = windowStart(schedule, hostMonotonicMs);
    if (hostMonotonicMs - start + ReadAllowanceMs <= schedule.windowMs)
        return 0;
    return start + schedule.periodMs - hostMonotonicMs;
}

bool systemSleptBetween(const Instant &before, const Instant &after)
{
    // The two clocks are read one after the other, so their difference
    // wavers by a little; a system suspend and resume takes far longer.
    constexpr qint64 LeastSleepMs = 100;
    return (after.boottimeMs - after.monotonicMs) - (before.boottimeMs - before.monotonicMs) > LeastSleepMs;
}

Turn turn(const Decision &decision, const Instant &now, const Past &past)
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
    if (past.atStart)
        return Turn::AtStart;
    const Schedule &schedule = decision.schedule;
    if (inWindow(schedule, now.monotonicMs)) {
        // A window whose reads failed does not count as read, nor one the
        // system has slept in since.
        const bool readThisWindow = past.readAt && past.readAt->monotonicMs >= windowStart(schedule, now.monotonicMs)
            && !systemSleptBetween(*past.readAt, now);
        return readThisWindow ? Turn::ReadThisWindow : Turn::Window;
    }
    // Out of a window, only readings from before a system suspend are read
    // again, once: never for a tick that comes late, which would steal the
    // card's quiet time from every reader.
    if (past.readAt && past.triedAt && systemSleptBetween(*past.triedAt, now))
        return Turn::AfterSystemSleep;
    return Turn::BetweenWindows;
}

bool reads(Turn turn)
{
    switch (turn) {
    case Turn::EveryCycle:
    case Turn::AtStart:
    case Turn::Window:
    case Turn::AfterSystemSleep:
        return true;
    case Turn::NotRead:
    case Turn::ReadThisWindow:
    case Turn::BetweenWindows:
        return false;
    }
    return false;
}

bool showable(const Decision &decision, const Instant &readAt, const Instant &now)
{
    // Between windows a reading grows up to a period old; a second period
    // means windows were missed.
    return now.boottimeMs - readAt.boottimeMs <= 2 * decision.schedule.periodMs && !systemSleptBetween(readAt, now);
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
    return files::PowerFiles[int(file)];
}

Reader reader(const MachineFiles &machine, const QString &device)
{
    return [&machine, &device](File file, kernelfile::Buffer *contents) {
        return machine.read({device, u"/", path(file)}, contents, kernelfile::OnePage);
    };
}

qint64 monotonicOffsetMs(QByteArrayView timensOffsets)
{
    // "monotonic   -5   500000000": seconds may be negative, nanoseconds
    // are not.
    const QList<QByteArray> lines = timensOffsets.toByteArray().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() != 3 || (fields.at(0) != "monotonic" && fields.at(0) != "1"))
            continue;
        bool secondsOk = false;
        bool nanosecondsOk = false;
        const qint64 seconds = fields.at(1).toLongLong(&secondsOk, 10);
        const qint64 nanoseconds = fields.at(2).toLongLong(&nanosecondsOk, 10);
        // The kernel bounds an offset to what its clocks can hold; far
        // less than this.
        constexpr qint64 MostSeconds = qint64(1) << 40;
        if (secondsOk && nanosecondsOk && seconds > -MostSeconds && seconds < MostSeconds && nanoseconds >= 0
            && nanoseconds < 1000000000)
            return seconds * 1000 + nanoseconds / 1000000;
    }
    return 0;
}

qint64 monotonicOffsetMs(const MachineFiles &machine)
{
    kernelfile::Buffer contents;
    if (!machine.read({files::TimensOffsets}, &contents, kernelfile::OnePage))
        return 0;
    return monotonicOffsetMs(QByteArrayView(contents));
}

} // namespace vesh::gpupower
