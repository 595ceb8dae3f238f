#include "gpupower.h"

#include <QTest>

#include <optional>

using vesh::Instant;
using vesh::gpupower::Case;
using vesh::gpupower::Turn;

Q_DECLARE_METATYPE(Instant)
Q_DECLARE_METATYPE(std::optional<Instant>)

class TestGpuPower : public QObject
{
    Q_OBJECT

private slots:
    // At the default delay the windows open every 8.6 s on the monotonic
    // clock and last 2.1 s: [0, 2100), [8600, 10700), ...
    void turn_data()
    {
        QTest::addColumn<Case>("powerCase");
        QTest::addColumn<Instant>("now");
        QTest::addColumn<std::optional<Instant>>("lastRead");
        QTest::addColumn<Turn>("turn");

        const Case idle = Case::CouldAutosuspend;
        auto at = [](qint64 monotonicMs, qint64 sleptMs = 0) { return Instant{monotonicMs, monotonicMs + sleptMs, 0}; };
        const std::optional<Instant> never;
        QTest::newRow("asleep") << Case::Asleep << at(9000) << std::optional(at(100)) << Turn::NotRead;
        QTest::newRow("its state unknown") << Case::Unknown << at(9000) << never << Turn::NotRead;
        QTest::newRow("reads keep nothing awake") << Case::EveryCycle << at(4000) << std::optional(at(3000))
                                                  << Turn::EveryCycle;
        QTest::newRow("first since it slept, between windows") << idle << at(5000) << never << Turn::First;
        QTest::newRow("in a window, read in the one before") << idle << at(9000) << std::optional(at(100))
                                                             << Turn::Window;
        // Over a period old, and still its turn: not a stale reading.
        QTest::newRow("late in a window, read early in the one before")
            << idle << at(10600) << std::optional(at(50)) << Turn::Window;
        QTest::newRow("twice in one window") << idle << at(10500) << std::optional(at(8700)) << Turn::ReadThisWindow;
        QTest::newRow("between windows") << idle << at(7000) << std::optional(at(1000)) << Turn::BetweenWindows;
        QTest::newRow("the last window missed") << idle << at(11000) << std::optional(at(2000)) << Turn::Stale;
        // The monotonic clock stood still through the sleep, the boot-time one did not.
        QTest::newRow("within a window, across a system sleep")
            << idle << at(9500, 600000) << std::optional(at(8700)) << Turn::Stale;
        QTest::newRow("between windows, across a system sleep")
            << idle << at(5000, 600000) << std::optional(at(1000)) << Turn::Stale;
        QTest::newRow("a window before the clock's 0") << idle << at(-8000) << std::optional(at(-12000))
                                                       << Turn::Window;
        QTest::newRow("between windows before the clock's 0") << idle << at(-5000) << std::optional(at(-8000))
                                                              << Turn::BetweenWindows;
    }

    void turn()
    {
        QFETCH(Case, powerCase);
        QFETCH(Instant, now);
        QFETCH(std::optional<Instant>, lastRead);
        QFETCH(Turn, turn);
        vesh::gpupower::Decision decision{powerCase, vesh::gpupower::Reason::Idle};
        if (powerCase == Case::CouldAutosuspend)
            decision.schedule = vesh::gpupower::schedule(5000);
        QCOMPARE(vesh::gpupower::turn(decision, now, lastRead), turn);
    }
};

QTEST_GUILESS_MAIN(TestGpuPower)
#include "tst_gpupower.moc"
