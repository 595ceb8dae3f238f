#include "gpupower.h"

#include "hwmon.h"

#include <iterator>

namespace vesh::gpupower {

namespace {

using namespace Qt::Literals::StringLiterals;

std::optional<int> integer(QByteArrayView contents)
{
    bool ok = false;
    const int value = contents.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

Decision decide(bool readsMarkBusy, const Reader &read)
{
    kernelfile::Buffer contents;
    if (!read(File::RuntimeStatus, &contents))
        return {Case::StaysAwake, Reason::NoPowerState};
    const QByteArrayView status(contents);
    if (hwmon::isAsleep(status)) {
        return {Case::Asleep,
                hwmon::trimmedEquals(status, "suspended"_L1) ? Reason::Suspended : Reason::Suspending};
    }
    // radeon and nouveau answer an error while the card is off and keep
    // nothing awake.
    if (!readsMarkBusy)
        return {Case::StaysAwake, Reason::ReadsDoNotMarkBusy};
    if (hwmon::trimmedEquals(status, "unsupported"_L1))
        return {Case::StaysAwake, Reason::RuntimePmDisabled};
    if (hwmon::trimmedEquals(status, "error"_L1))
        return {Case::StaysAwake, Reason::RuntimePmError};
    if (!hwmon::trimmedEquals(status, "active"_L1) && !hwmon::trimmedEquals(status, "resuming"_L1))
        return {Case::StaysAwake, Reason::UnknownStatus};

    if (!read(File::Control, &contents))
        return {Case::StaysAwake, Reason::ControlUnreadable};
    if (!hwmon::trimmedEquals(QByteArrayView(contents), "auto"_L1))
        return {Case::StaysAwake, Reason::ControlNotAuto};
    // Graphics work takes and drops its references around each call, so 0
    // is usual even under load; compute work holds one while it runs.
    if (read(File::RuntimeUsage, &contents) && integer(QByteArrayView(contents)).value_or(0) > 0)
        return {Case::StaysAwake, Reason::InUse};

    const int delayMs = read(File::AutosuspendDelay, &contents)
        ? integer(QByteArrayView(contents)).value_or(DefaultDelayMs)
        : DefaultDelayMs;
    if (delayMs < 0)
        return {Case::StaysAwake, Reason::NeverAutosuspends};
    // amdgpu marks the card busy on every temperature read, and the PM core
    // suspends it between the delay and the delay plus 25 % after its last
    // mark. Spacing our reads by more than that, with 5 % for our coarse
    // timer, lets an idle card sleep. Chosen over reading every cycle with
    // an occasional pause: a pause gives an idle card one chance per pause
    // only, so a card that another program woke briefly would be kept awake
    // by us until the next pause, while spacing lets it go after one window.
    // The price is GPU readings up to one window old while the card is in
    // use, 8 s on the 2 s cycle for the default delay.
    const qint64 quietMs = (qint64(delayMs) * 125 * 105 + 9999) / 10000;
    return {Case::CouldAutosuspend, Reason::Idle, delayMs, quietMs};
}

bool readNow(const Decision &decision, std::optional<qint64> msSinceLastRead)
{
    switch (decision.powerCase) {
    case Case::Asleep:
        return false;
    case Case::StaysAwake:
        return true;
    case Case::CouldAutosuspend:
        return !msSinceLastRead || *msSinceLastRead >= decision.quietMs;
    }
    return true;
}

qint64 readPeriodMs(const Decision &decision, int refreshMs)
{
    switch (decision.powerCase) {
    case Case::Asleep:
        return 0;
    case Case::StaysAwake:
        return refreshMs;
    case Case::CouldAutosuspend:
        return qMax<qint64>(1, (decision.quietMs + refreshMs - 1) / refreshMs) * refreshMs;
    }
    return refreshMs;
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
