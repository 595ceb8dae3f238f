#include "gpupower.h"

#include <QTest>

#include <cerrno>
#include <optional>

using vesh::Instant;
using vesh::gpupower::Case;
using vesh::gpupower::Past;
using vesh::gpupower::Reason;
using vesh::gpupower::Turn;

Q_DECLARE_METATYPE(Instant)
Q_DECLARE_METATYPE(Past)

namespace {

// A moment on the root namespace's monotonic clock, with the time the
// system has slept since boot on top for the boot-time clock.
Instant at(qint64 monotonicMs, qint64 sleptMs = 0)
{
    return Instant{monotonicMs, monotonicMs + sleptMs, 0};
}

} // namespace

class TestGpuPower : public QObject
{
    Q_OBJECT

private slots:
    // "!" for a file there that does not read; absent for no file.
    void decide_data()
    {
        using Files = QMap<QString, QByteArray>;
        QTest::addColumn<QByteArray>("driver");
        QTest::addColumn<Files>("files");
        QTest::addColumn<Case>("powerCase");
        QTest::addColumn<Reason>("reason");
        QTest::addColumn<int>("delayMs");

        const Files idle{{"runtime_status", "active\n"}, {"control", "auto\n"}, {"runtime_usage", "0\n"},
                         {"autosuspend_delay_ms", "5000\n"}};
        auto with = [&](const char *file, const QByteArray &contents) {
            Files changed = idle;
            changed[QString::fromLatin1(file)] = contents;
            return changed;
        };
        QTest::newRow("idle") << QByteArray("amdgpu") << idle << Case::CouldAutosuspend << Reason::Idle << 5000;
        QTest::newRow("suspended") << QByteArray("amdgpu") << with("runtime_status", "suspended\n") << Case::Asleep
                                   << Reason::Suspended << 0;
        QTest::newRow("suspending") << QByteArray("amdgpu") << with("runtime_status", "suspending\n") << Case::Asleep
                                    << Reason::Suspending << 0;
        // The windows it will have once up, which a reader that starts now waits for.
        QTest::newRow("resuming") << QByteArray("amdgpu") << with("runtime_status", "resuming\n") << Case::Asleep
                                  << Reason::Resuming << 5000;
        QTest::newRow("resuming, nouveau") << QByteArray("nouveau") << with("runtime_status", "resuming\n")
                                           << Case::Asleep << Reason::Resuming << 0;
        QTest::newRow("resuming, a driver of no sensor we read")
            << QByteArray() << with("runtime_status", "resuming\n") << Case::Asleep << Reason::Resuming << 0;
        QTest::newRow("active, a driver of no sensor we read")
            << QByteArray() << idle << Case::EveryCycle << Reason::ReadsDoNotMarkBusy << 0;
        QTest::newRow("status does not read") << QByteArray("amdgpu") << with("runtime_status", "!") << Case::Unknown
                                              << Reason::StatusUnreadable << 0;
        QTest::newRow("status does not read, a driver of no sensor we read")
            << QByteArray() << with("runtime_status", "!") << Case::Unknown << Reason::StatusUnreadable << 0;
        QTest::newRow("no power state") << QByteArray("amdgpu") << Files{} << Case::EveryCycle << Reason::NoPowerState
                                        << 0;
        QTest::newRow("control on") << QByteArray("amdgpu") << with("control", "on\n") << Case::EveryCycle
                                    << Reason::ControlOn << 0;
        QTest::newRow("held") << QByteArray("amdgpu") << with("runtime_usage", "1\n") << Case::EveryCycle
                              << Reason::InUse << 0;
        QTest::newRow("control does not read") << QByteArray("amdgpu") << with("control", "!")
                                               << Case::CouldAutosuspend << Reason::Idle << 5000;
        QTest::newRow("delay does not read: the driver's") << QByteArray("amdgpu") << with("autosuspend_delay_ms", "!")
                                                           << Case::CouldAutosuspend << Reason::Idle << 5000;
        QTest::newRow("delay 15000") << QByteArray("amdgpu") << with("autosuspend_delay_ms", "15000\n")
                                     << Case::CouldAutosuspend << Reason::Idle << 15000;
        QTest::newRow("never autosuspends") << QByteArray("amdgpu") << with("autosuspend_delay_ms", "-1\n")
                                            << Case::EveryCycle << Reason::NeverAutosuspends << 0;
    }

    void decide()
    {
        using Files = QMap<QString, QByteArray>;
        QFETCH(QByteArray, driver);
        QFETCH(Files, files);
        QFETCH(Case, powerCase);
        QFETCH(Reason, reason);
        QFETCH(int, delayMs);

        const vesh::hwmon::Driver *known = vesh::hwmon::driverOf(QString::fromLatin1(driver));
        QCOMPARE(known == nullptr, driver.isEmpty());
        const vesh::gpupower::Reader read = [&](vesh::gpupower::File file, vesh::kernelfile::Buffer *contents) {
            const QString name = vesh::gpupower::path(file).toString().section(u'/', -1);
            contents->clear();
            if (!files.contains(name))
                return vesh::kernelfile::Result{ENOENT};
            if (files.value(name) == "!")
                return vesh::kernelfile::Result{EIO};
            contents->append(files.value(name).constData(), files.value(name).size());
            return vesh::kernelfile::Result{};
        };
        const vesh::gpupower::Decision decision = vesh::gpupower::decide(known, read);
        QCOMPARE(decision.powerCase, powerCase);
        QCOMPARE(decision.reason, reason);
        QCOMPARE(decision.delayMs, delayMs);
    }

    // At the default delay the windows open once a period on the monotonic
    // clock and last a window (both: README, "A sleeping graphics card"):
    // [0, 2100), [8600, 10700), ...
    void turn_data()
    {
        QTest::addColumn<Case>("powerCase");
        QTest::addColumn<Instant>("now");
        QTest::addColumn<Past>("past");
        QTest::addColumn<Turn>("turn");

        const Case idle = Case::CouldAutosuspend;
        auto read = [](Instant readAt, std::optional<Instant> triedAt = std::nullopt) {
            return Past{false, readAt, triedAt.value_or(readAt)};
        };
        const Past none;
        QTest::newRow("asleep") << Case::Asleep << at(9000) << read(at(100)) << Turn::NotRead;
        QTest::newRow("asleep, at start") << Case::Asleep << at(9000) << Past{true} << Turn::NotRead;
        QTest::newRow("its state unknown") << Case::Unknown << at(9000) << none << Turn::NotRead;
        QTest::newRow("reads keep nothing awake") << Case::EveryCycle << at(4000) << read(at(3000))
                                                  << Turn::EveryCycle;
        QTest::newRow("at start, between windows") << idle << at(5000) << Past{true} << Turn::AtStart;
        // Woken up by someone else since it slept: it waits for its window.
        QTest::newRow("no reading, between windows") << idle << at(5000) << none << Turn::BetweenWindows;
        QTest::newRow("no reading, in a window") << idle << at(9000) << none << Turn::Window;
        QTest::newRow("in a window, read in the one before") << idle << at(9000) << read(at(100)) << Turn::Window;
        QTest::newRow("late in a window, read early in the one before")
            << idle << at(10600) << read(at(50)) << Turn::Window;
        QTest::newRow("twice in one window") << idle << at(10500) << read(at(8700)) << Turn::ReadThisWindow;
        QTest::newRow("in a window whose read failed") << idle << at(10500) << read(at(100), at(8700))
                                                       << Turn::Window;
        QTest::newRow("between windows") << idle << at(7000) << read(at(1000)) << Turn::BetweenWindows;
        // A tick that comes late never steals the card's quiet time.
        QTest::newRow("the last window missed") << idle << at(11000) << read(at(2000)) << Turn::BetweenWindows;
        QTest::newRow("two windows missed") << idle << at(19400) << read(at(2000)) << Turn::BetweenWindows;
        // The monotonic clock stood still through the sleep, the boot-time one did not.
        QTest::newRow("within a window, across a system sleep")
            << idle << at(9500, 600000) << read(at(8700)) << Turn::Window;
        QTest::newRow("between windows, across a system sleep")
            << idle << at(5000, 600000) << read(at(1000)) << Turn::AfterSystemSleep;
        QTest::newRow("between windows, read again since the sleep, and failed")
            << idle << at(7000, 600000) << read(at(1000), at(5000, 600000)) << Turn::BetweenWindows;
        QTest::newRow("between windows, across a system sleep, nothing shown")
            << idle << at(5000, 600000) << Past{false, std::nullopt, at(1000)} << Turn::BetweenWindows;
        // The two clocks are read one after the other.
        QTest::newRow("between windows, the clocks a few ms apart")
            << idle << at(5000, 40) << read(at(1000)) << Turn::BetweenWindows;
        QTest::newRow("a window before the clock's 0") << idle << at(-8000) << read(at(-12000)) << Turn::Window;
        QTest::newRow("between windows before the clock's 0") << idle << at(-5000) << read(at(-8000))
                                                              << Turn::BetweenWindows;
    }

    void turn()
    {
        QFETCH(Case, powerCase);
        QFETCH(Instant, now);
        QFETCH(Past, past);
        QFETCH(Turn, turn);
        vesh::gpupower::Decision decision{powerCase, Reason::Idle};
        if (powerCase == Case::CouldAutosuspend)
            decision.schedule = vesh::gpupower::schedule(5000);
        QCOMPARE(vesh::gpupower::turn(decision, now, past), turn);
    }

    void untilWindow_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<qint64>("monotonicMs");
        QTest::addColumn<qint64>("untilMs");

        // Windows of 2100 ms; the reads need 250 ms of one.
        QTest::newRow("a window opens") << 5000 << qint64(0) << qint64(0);
        QTest::newRow("time left for the reads") << 5000 << qint64(1850) << qint64(0);
        QTest::newRow("too little left") << 5000 << qint64(1851) << qint64(8600 - 1851);
        QTest::newRow("the window closed") << 5000 << qint64(2100) << qint64(6500);
        QTest::newRow("just before one") << 5000 << qint64(8599) << qint64(1);
        QTest::newRow("the next opens") << 5000 << qint64(8600) << qint64(0);
        QTest::newRow("before the clock's 0") << 5000 << qint64(-100) << qint64(100);
        // A period and a tick at most (the periods: README, "A sleeping
        // graphics card").
        QTest::newRow("delay 15000, late in a period") << 15000 << qint64(21100 * 7 + 21000) << qint64(100);
        QTest::newRow("delay 15000, the window closed") << 15000 << qint64(21100 * 7 + 2100) << qint64(19000);
        QTest::newRow("delay 2000, the window closed") << 2000 << qint64(4850 * 3 + 2100) << qint64(2750);
    }

    void untilWindow()
    {
        QFETCH(int, delayMs);
        QFETCH(qint64, monotonicMs);
        QFETCH(qint64, untilMs);
        const vesh::gpupower::Schedule schedule = vesh::gpupower::schedule(delayMs);
        QCOMPARE(vesh::gpupower::untilWindowMs(schedule, monotonicMs), untilMs);
        // Where it waits, the wait ends where a window opens.
        if (untilMs > 0)
            QCOMPARE(vesh::gpupower::windowStart(schedule, monotonicMs + untilMs), monotonicMs + untilMs);
    }

    void showable_data()
    {
        QTest::addColumn<Instant>("readAt");
        QTest::addColumn<Instant>("now");
        QTest::addColumn<bool>("showable");

        // Two periods at the default delay (README, "A sleeping graphics card").
        QTest::newRow("fresh") << at(1000) << at(3000) << true;
        QTest::newRow("two periods old") << at(1000) << at(18200) << true;
        QTest::newRow("older") << at(1000) << at(18201) << false;
        QTest::newRow("from before a system sleep") << at(1000) << at(1500, 5000) << false;
        QTest::newRow("the clocks a few ms apart") << at(1000) << at(3000, 30) << true;
    }

    void showable()
    {
        QFETCH(Instant, readAt);
        QFETCH(Instant, now);
        QFETCH(bool, showable);
        const vesh::gpupower::Decision decision{Case::CouldAutosuspend, Reason::Idle, 5000, false,
                                                vesh::gpupower::schedule(5000)};
        QCOMPARE(vesh::gpupower::showable(decision, readAt, now), showable);
    }

    void monotonicOffset_data()
    {
        QTest::addColumn<QByteArray>("timensOffsets");
        QTest::addColumn<qint64>("offsetMs");

        QTest::newRow("the root namespace") << QByteArray("monotonic           0         0\n"
                                                          "boottime            0         0\n")
                                            << qint64(0);
        QTest::newRow("ahead") << QByteArray("monotonic 4 300000000\nboottime 0 0\n") << qint64(4300);
        QTest::newRow("behind") << QByteArray("monotonic -5 500000000\nboottime 0 0\n") << qint64(-4500);
        QTest::newRow("by number, monotonic first") << QByteArray("1 7 0\n7 100 0\n") << qint64(7000);
        QTest::newRow("by number, boottime first") << QByteArray("7 100 0\n1 -1 999999999\n") << qint64(-1);
        QTest::newRow("no monotonic line") << QByteArray("boottime 10 0\n") << qint64(0);
        QTest::newRow("empty") << QByteArray() << qint64(0);
        QTest::newRow("negative nanoseconds") << QByteArray("monotonic 4 -1\n") << qint64(0);
        QTest::newRow("a second of nanoseconds") << QByteArray("monotonic 4 1000000000\n") << qint64(0);
        QTest::newRow("not a number") << QByteArray("monotonic x 0\n") << qint64(0);
        QTest::newRow("a field short") << QByteArray("monotonic 4\n") << qint64(0);
        QTest::newRow("beyond 64 bits") << QByteArray("monotonic 99999999999999999999 0\n") << qint64(0);
        QTest::newRow("beyond any clock") << QByteArray("monotonic 9223372036854775 0\n") << qint64(0);
        QTest::newRow("another clock's name") << QByteArray("Monotonic 4 0\n") << qint64(0);
    }

    void monotonicOffset()
    {
        QFETCH(QByteArray, timensOffsets);
        QFETCH(qint64, offsetMs);
        QCOMPARE(vesh::gpupower::monotonicOffsetMs(timensOffsets), offsetMs);
    }
};

QTEST_GUILESS_MAIN(TestGpuPower)
#include "tst_gpupower.moc"
