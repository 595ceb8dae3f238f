// The kernel's runtime power management of one graphics card, modelled on
// clocks of our own so that no test waits through real time, with readers
// of every kind the project has: applets, which read at once at start, and
// the runner's short runs, which wait for the card's window first. amdgpu's
// temperature reads mark the card busy; an idle card that may suspend
// itself does so 1.25 times its delay after its last mark (the PM core's
// latest); a read while it is suspended, suspending or resuming is a fault.
// Scenarios are drawn from a seeded generator; the named ones are the
// cases the project promises by name.

#include "clocks.h"
#include "cycle.h"
#include "discovery.h"
#include "support/fixturetree.h"
#include "gpupower.h"
#include "machinefiles.h"
#include "refreshinterval.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

namespace cycle = vesh::cycle;
namespace gpupower = vesh::gpupower;

// How the card's power files read.
enum class Power {
    Windowed,         // control auto (or not readable as on), no reference: read in windows
    ControlOn,        // may not suspend: read every cycle
    Unsupported,      // no runtime PM: read every cycle
    StatusUnreadable, // never read, as a read could wake it
};

struct Reader
{
    bool waits = false;        // the runner's: waits for a window before its first cycle
    qint64 startMs = 0;
    qint64 endMs = 0;          // its last cycle is the first at or after this
    qint64 offsetMs = 0;       // its time namespace's monotonic clock ahead of the root's
};

struct Use
{
    qint64 atMs = 0;
    qint64 forMs = 0;       // 0: one mark, as a probe's read
    bool reference = false; // held that long (runtime_usage 1), or marked busy all along, as graphics work does
};

struct Span
{
    qint64 atMs = 0;
    qint64 forMs = 0;
};

struct Scenario
{
    quint32 seed = 1; // of the timers' jitter and the PM core's slack
    QByteArray driver = "amdgpu";
    Power power = Power::Windowed;
    QByteArray control = "auto\n";
    QByteArray delayFile = "5000\n"; // "!": does not read; empty: no file
    bool usageFile = true;
    bool mayAutosuspend = true;      // false: its driver keeps it up
    bool startsAsleep = false;
    QList<Reader> readers;
    QList<Use> uses;                 // by others, in time order
    QList<Span> systemSleeps;        // in time order; the monotonic clock stands still
    QList<Span> failures;            // its temperature inputs there but not reading
    QList<qint64> resumesMs;         // how long each wake-up takes, in turn; then 300 ms
    bool jitter = false;             // each tick 5 % early or late
    int latePerMille = 0;            // ticks that come late, by up to 10 s
    qint64 runMs = 90000;
};

// The card's own delay, which the PM core counts with.
int cardDelayMs(const Scenario &scenario)
{
    bool ok = false;
    const int delay = scenario.delayFile.trimmed().toInt(&ok);
    return ok ? delay : 5000;
}

struct Outcome
{
    QString failure; // empty where every promise held
    int readsIn45s = 0;
    qint64 firstAsleepMs = -1;
};

class Model
{
public:
    explicit Model(const Scenario &scenario)
        : m_scenario(scenario)
        , m_latestSuspendMs(qint64(cardDelayMs(scenario)) * 5 / 4)
        , m_marksBusy(scenario.driver == "amdgpu")
    {
    }

    Outcome run();

private:
    enum class State { Active, Suspending, Suspended, Resuming };

    struct Running
    {
        Reader reader;
        vesh::MachineFiles machine;
        cycle::Sensors sensors;
        cycle::Carried carried;
        qint64 nextTick = 0;
        bool started = false;     // its first cycle has run
        bool waited = false;      // a runner's wait is over
        qint64 firstCycleMs = -1;
        qint64 lateSinceMs = -1;  // its last late tick
        int sleepsAtLastRead = 0; // system sleeps before its last read of the card
        int shown = 0;            // what it showed after its last cycle
    };

    // A tree per time namespace, each with the card's files.
    FixtureTree &treeFor(qint64 offsetMs);
    void setFile(const QString &relative, const QByteArray &contents);
    void showCard();
    void advance(qint64 to);
    void wake(qint64 at);
    bool tick(Running &reader);
    bool fail(const QString &what);
    void checkSuspensions();

    qint64 rootMonotonic() const { return MonotonicBase + m_now; }
    // Until when others use the card, with a reference or without.
    qint64 usedUntil() const { return std::max(m_heldUntil, m_busyUntil); }
    qint64 bootTime() const { return BoottimeBase + m_now + m_slept; }
    gpupower::Schedule schedule() const;

    const Scenario &m_scenario;
    const qint64 m_latestSuspendMs;
    const bool m_marksBusy;
    static constexpr qint64 MonotonicBase = 7654321; // no window lines up with the model's 0
    // Small enough that a temperature in millidegrees holding it fits in
    // the 32 bits the kernel writes, with ten minutes of system sleep.
    static constexpr qint64 BoottimeBase = 123457;

    std::vector<std::pair<qint64, std::unique_ptr<FixtureTree>>> m_trees;
    QMap<QString, QByteArray> m_written;
    qint64 m_now = 0;
    qint64 m_slept = 0;
    State m_state = State::Active;
    qint64 m_stateUntil = 0;
    qint64 m_lastMark = 0;
    qint64 m_heldUntil = -1;  // a reference held
    qint64 m_busyUntil = -1;  // busy without a reference
    bool m_failing = false;
    qint64 m_readableSince = 0; // up, readable and not held in a resume since
    qint64 m_lastSleepBoot = -1; // boot time at which the last system sleep began
    int m_sleeps = 0;
    int m_resumes = 0;
    QList<qint64> m_suspensions;
    QList<qint64> m_wakes;       // where it left a suspension
    QList<qint64> m_idleFrom;    // where the others' use ends
    QList<qint64> m_disturbed;   // what voids a bound from before: uses, starts at once, late ticks, sleeps
    Outcome m_outcome;
};

FixtureTree &Model::treeFor(qint64 offsetMs)
{
    for (auto &[offset, tree] : m_trees) {
        if (offset == offsetMs)
            return *tree;
    }
    auto tree = std::make_unique<FixtureTree>();
    tree->addHwmon(u"hwmon0"_s, m_scenario.driver + '\n');
    if (offsetMs != 0)
        tree->writeTimensOffsets(offsetMs);
    for (auto it = m_written.cbegin(); it != m_written.cend(); ++it) {
        if (it.value() == "!")
            tree->makeFolder(it.key()); // opens, then fails to read
        else
            tree->write(it.key(), it.value());
    }
    m_trees.emplace_back(offsetMs, std::move(tree));
    return *m_trees.back().second;
}

void Model::setFile(const QString &relative, const QByteArray &contents)
{
    if (m_written.value(relative) == contents && m_written.contains(relative))
        return;
    for (auto &entry : m_trees) {
        entry.second->remove(relative);
        // A folder opens, then fails to read (EISDIR), as an attribute
        // whose driver cannot answer.
        if (contents == "!")
            entry.second->makeFolder(relative);
        else
            entry.second->write(relative, contents);
    }
    m_written[relative] = contents;
}

gpupower::Schedule Model::schedule() const
{
    return gpupower::schedule(cardDelayMs(m_scenario));
}

// The card's files as the kernel shows them now: its temperatures hold the
// boot-time millisecond, so that what a reader shows tells when it read.
void Model::showCard()
{
    const QString device = FixtureTree::hwmonDevice(u"hwmon0"_s) + u'/';
    const QString power = FixtureTree::parentDevice(u"hwmon0"_s) + u"/power/"_s;
    QByteArray status;
    switch (m_state) {
    case State::Active: status = "active\n"; break;
    case State::Suspending: status = "suspending\n"; break;
    case State::Suspended: status = "suspended\n"; break;
    case State::Resuming: status = "resuming\n"; break;
    }
    if (m_scenario.power == Power::Unsupported)
        status = "unsupported\n";
    if (m_scenario.power == Power::StatusUnreadable)
        status = "!";
    setFile(power + u"runtime_status"_s, status);
    setFile(power + u"control"_s, m_scenario.power == Power::ControlOn ? "on\n" : m_scenario.control);
    if (!m_scenario.delayFile.isEmpty())
        setFile(power + u"autosuspend_delay_ms"_s, m_scenario.delayFile);
    if (m_scenario.usageFile)
        setFile(power + u"runtime_usage"_s, m_heldUntil > m_now ? "1\n" : "0\n");
    const QByteArray degrees = m_failing ? "!" : QByteArray::number(1 + bootTime()) + "000\n";
    for (const QString &file : {u"temp1_input"_s, u"temp2_input"_s, u"temp3_input"_s})
        setFile(device + file, degrees);
}

// The PM core's work up to a moment: suspending an idle card, finishing a
// suspend or a resume.
void Model::advance(qint64 to)
{
    for (;;) {
        const bool held = m_heldUntil > m_now || m_busyUntil > m_now;
        // The PM core suspends between the delay and a quarter more after
        // the last mark, as its timer's slack falls.
        const qint64 delayMs = m_latestSuspendMs * 4 / 5;
        const qint64 at = m_lastMark + delayMs
            + qint64(QRandomGenerator(m_scenario.seed ^ quint32(m_lastMark)).bounded(quint32(delayMs / 4 + 1)));
        if (m_state == State::Active && m_scenario.mayAutosuspend && !held && m_scenario.power != Power::ControlOn
            && m_scenario.power != Power::Unsupported && at <= to) {
            m_state = State::Suspending;
            m_stateUntil = at + 40;
            m_suspensions.append(at);
            if (m_outcome.firstAsleepMs < 0)
                m_outcome.firstAsleepMs = at;
        } else if (m_state == State::Suspending && m_stateUntil <= to) {
            m_state = State::Suspended;
        } else if (m_state == State::Resuming && m_stateUntil <= to) {
            m_state = State::Active;
            m_lastMark = std::max(m_lastMark, m_stateUntil);
            m_readableSince = std::max(m_readableSince, m_stateUntil);
            m_idleFrom.append(std::max(m_stateUntil, usedUntil()));
        } else {
            return;
        }
    }
}

// Someone else uses the card at a moment: a resume where it is down.
void Model::wake(qint64 at)
{
    const qint64 resumeMs = m_resumes < m_scenario.resumesMs.size() ? m_scenario.resumesMs.at(m_resumes) : 300;
    switch (m_state) {
    case State::Suspended:
        m_wakes.append(at);
        ++m_resumes;
        m_state = State::Resuming;
        m_stateUntil = at + resumeMs;
        break;
    case State::Suspending:
        m_wakes.append(at);
        ++m_resumes;
        m_state = State::Resuming;
        m_stateUntil += resumeMs;
        break;
    case State::Resuming:
        break;
    case State::Active:
        m_lastMark = std::max(m_lastMark, at);
        m_idleFrom.append(std::max(at, usedUntil()));
        break;
    }
}

bool Model::fail(const QString &what)
{
    if (m_outcome.failure.isEmpty())
        m_outcome.failure = what + u" at "_s + QString::number(m_now) + u" ms"_s;
    return false;
}

// One cycle of a reader; false where a promise failed.
bool Model::tick(Running &running)
{
    const Reader &reader = running.reader;
    const vesh::Instant clock{rootMonotonic() + reader.offsetMs, bootTime(), 1700000000000 + m_now + m_slept};
    if (!running.started && reader.waits && !running.waited) {
        // As the runner does: the applet's own discovery and power rule
        // say how long to wait, on the reader's own clock.
        const cycle::Sensors sensors = cycle::sensorsOf(vesh::discovery::find(running.machine));
        const cycle::GpuWait wait =
            cycle::gpuWait(running.machine, sensors, cycle::start(running.machine, sensors), clock);
        running.waited = true;
        if (wait.waitMs > 0) {
            running.nextTick = m_now + wait.waitMs + 1;
            return true;
        }
    }
    const bool first = !running.started;
    if (first) {
        running.sensors = cycle::sensorsOf(vesh::discovery::find(running.machine));
        running.carried = cycle::start(running.machine, running.sensors);
        running.started = true;
        running.firstCycleMs = m_now;
    }
    const cycle::Record record = cycle::run(running.machine, running.sensors, running.carried, clock);
    running.carried = record.next;
    if (!record.gpu)
        return fail(u"the card not found"_s);

    const bool read = !record.gpu->readings.isEmpty();
    const int shown = running.carried.properties.gpuTemp;
    const QList<int> all{shown, running.carried.properties.gpuTempJunction, running.carried.properties.gpuTempMem};
    if (all != QList<int>{shown, shown, shown})
        return fail(u"its three readings from different cycles"_s);
    if (read && m_state != State::Active)
        return fail(u"read while not active"_s);
    if (read && m_scenario.power == Power::StatusUnreadable)
        return fail(u"read a card whose power state does not read"_s);
    if (read && m_marksBusy)
        m_lastMark = std::max(m_lastMark, m_now);
    m_outcome.readsIn45s += read && m_now <= 45000 ? 3 : 0;

    const bool windowed = m_scenario.power == Power::Windowed && m_scenario.driver == "amdgpu";
    const bool readable = m_state == State::Active && !m_failing && m_scenario.power != Power::StatusUnreadable;
    // Held by a reference that the applet sees, it is read every cycle.
    const bool windowedNow = windowed && !(m_scenario.usageFile && m_heldUntil > m_now);
    if (read && windowedNow && !first) {
        // Only in a window, or once after a system sleep: never for a late tick.
        if (!gpupower::inWindow(schedule(), rootMonotonic()) && m_sleeps == running.sleepsAtLastRead)
            return fail(u"read out of its window"_s);
    }
    if (read)
        running.sleepsAtLastRead = m_sleeps;
    // A window's failed read keeps readings that are still fresh.
    const int before = std::exchange(running.shown, shown);
    if (read && windowedNow && m_failing && before != 0) {
        const qint64 takenAt = before - 1;
        const bool fresh = bootTime() - takenAt <= 2 * schedule().periodMs && takenAt >= m_lastSleepBoot;
        if (fresh && shown != before)
            return fail(u"a failed read lost fresh readings"_s);
    }
    if (shown != 0) {
        const qint64 readAtBoot = shown - 1;
        const qint64 age = bootTime() - readAtBoot;
        if (windowed && age > 2 * schedule().periodMs)
            return fail(u"a reading "_s + QString::number(age) + u" ms old shown"_s);
        if (!windowed && age != 0 && readable)
            return fail(u"a card read every cycle not read on this one"_s);
        if (readAtBoot < m_lastSleepBoot)
            return fail(u"a reading from before a system sleep shown"_s);
    } else if (readable) {
        // Ticks on time read it in each window once it is up.
        const gpupower::Schedule windows = schedule();
        const qint64 lastWholeWindow =
            gpupower::windowStart(windows, rootMonotonic() - windows.windowMs) - MonotonicBase;
        const bool onTime = running.lateSinceMs < 0 || running.lateSinceMs < lastWholeWindow;
        const bool hadItsTurn = !windowed
            || (onTime && m_readableSince <= lastWholeWindow && running.firstCycleMs <= lastWholeWindow);
        if (first || hadItsTurn)
            return fail(u"nothing shown of a card that is up"_s);
    }
    return true;
}

// Where nothing disturbs it, an idle card sleeps within its delay and a
// quarter and one period of its last use by others.
void Model::checkSuspensions()
{
    if (!m_scenario.mayAutosuspend || m_scenario.power == Power::ControlOn || m_scenario.power == Power::Unsupported)
        return;
    const qint64 bound = m_latestSuspendMs + schedule().periodMs;
    for (qint64 from : std::as_const(m_idleFrom)) {
        const qint64 until = from + bound;
        if (until > m_scenario.runMs)
            continue;
        const bool disturbed = std::any_of(m_disturbed.cbegin(), m_disturbed.cend(),
                                           [&](qint64 at) { return at > from && at <= until; });
        const bool held = std::any_of(m_scenario.uses.cbegin(), m_scenario.uses.cend(), [&](const Use &use) {
            return use.forMs > 0 && use.atMs <= until && use.atMs + use.forMs > from;
        });
        if (disturbed || held)
            continue;
        // Asleep by then: it went down since it was last woken.
        const auto last = [until](const QList<qint64> &times) {
            qint64 latest = -1;
            for (qint64 at : times)
                latest = at <= until ? std::max(latest, at) : latest;
            return latest;
        };
        const bool slept = last(m_suspensions) >= 0 && last(m_suspensions) >= last(m_wakes);
        if (!slept) {
            m_outcome.failure = u"idle from "_s + QString::number(from) + u" ms, not asleep by "_s
                + QString::number(until) + u" ms"_s;
            return;
        }
    }
}

Outcome Model::run()
{
    const Scenario &scenario = m_scenario;
    m_state = scenario.startsAsleep ? State::Suspended : State::Active;
    if (!scenario.startsAsleep)
        m_idleFrom.append(0);
    std::vector<Running> readers;
    for (const Reader &reader : scenario.readers) {
        Running running{reader, vesh::MachineFiles(treeFor(reader.offsetMs).root()), {}, {}, reader.startMs};
        readers.push_back(std::move(running));
    }
    showCard();
    QList<Use> uses = scenario.uses;
    QList<Span> sleeps = scenario.systemSleeps;
    QList<std::pair<qint64, bool>> failureEdges; // at, failing from then
    for (const Span &failure : scenario.failures)
        failureEdges << std::pair{failure.atMs, true} << std::pair{failure.atMs + failure.forMs, false};
    std::sort(failureEdges.begin(), failureEdges.end());
    QRandomGenerator jitter(scenario.seed);

    for (;;) {
        qint64 next = scenario.runMs + 1;
        Running *due = nullptr;
        for (Running &reader : readers) {
            if (reader.nextTick < next) {
                next = reader.nextTick;
                due = &reader;
            }
        }
        enum { Tick, Sleep, UseStart, HoldEnd, FailureEdge } what = Tick;
        if (!sleeps.isEmpty() && sleeps.first().atMs <= next) {
            next = sleeps.first().atMs;
            what = Sleep;
        }
        if (!uses.isEmpty() && uses.first().atMs < next) {
            next = uses.first().atMs;
            what = UseStart;
        }
        if (usedUntil() > m_now && usedUntil() < next) {
            next = usedUntil();
            what = HoldEnd;
        }
        if (!failureEdges.isEmpty() && failureEdges.first().first < next) {
            next = failureEdges.first().first;
            what = FailureEdge;
        }
        if (next > scenario.runMs)
            break;
        advance(next);
        m_now = next;
        switch (what) {
        case Sleep: {
            // Suspended with the system and resumed with it, in use again.
            const Span sleep = sleeps.takeFirst();
            m_lastSleepBoot = bootTime();
            ++m_sleeps;
            m_wakes.append(m_now);
            m_slept += sleep.forMs;
            m_state = State::Active;
            m_lastMark = m_now;
            m_readableSince = m_now;
            m_disturbed.append(m_now);
            // Each reader's first tick after the resume may read at once.
            m_idleFrom.append(m_now + vesh::RefreshIntervalMs * 105 / 100);
            continue;
        }
        case UseStart: {
            const Use use = uses.takeFirst();
            m_disturbed.append(m_now);
            qint64 &until = use.reference ? m_heldUntil : m_busyUntil;
            if (use.forMs > 0)
                until = std::max(until, m_now + use.forMs);
            wake(m_now);
            continue;
        }
        case HoldEnd:
            m_lastMark = std::max(m_lastMark, m_now);
            if (m_state == State::Active)
                m_idleFrom.append(m_now);
            continue;
        case FailureEdge:
            m_failing = failureEdges.takeFirst().second;
            if (!m_failing)
                m_readableSince = std::max(m_readableSince, m_now);
            continue;
        case Tick:
            break;
        }
        if (m_state != State::Active)
            m_readableSince = std::max(m_readableSince, m_now + 1);
        showCard();
        // An applet's first cycle reads at once: a use of ours, after which
        // the bound holds again.
        const bool startsAtOnce = !due->started && !due->reader.waits;
        if (startsAtOnce) {
            m_disturbed.append(m_now);
            if (m_state == State::Active && usedUntil() <= m_now)
                m_idleFrom.append(m_now);
        }
        if (!tick(*due))
            break;
        if (m_now >= due->reader.endMs && due->started) {
            due->nextTick = std::numeric_limits<qint64>::max();
            continue;
        }
        if (!due->started)
            continue; // a runner waiting for its window
        qint64 interval = scenario.jitter ? 1900 + jitter.bounded(201) : vesh::RefreshIntervalMs;
        if (scenario.latePerMille > 0 && int(jitter.bounded(1000)) < scenario.latePerMille) {
            interval += 2000 + jitter.bounded(8001);
            due->lateSinceMs = m_now + interval;
            m_disturbed.append(m_now + interval);
        }
        due->nextTick = m_now + interval;
    }
    advance(scenario.runMs);
    if (m_outcome.failure.isEmpty())
        checkSuspensions();
    return m_outcome;
}

// A scenario drawn from seed: 1 to 5 readers, started at random and living
// one cycle to the whole run, applets and the runner's short runs, some in
// a time namespace of their own; others' use with and without a
// reference, slow resumes, failed reads, system sleeps; the card's delay
// 2, 5 or 15 s, and now and then a power state that is not read in
// windows.
Scenario draw(quint32 seed)
{
    QRandomGenerator random(seed);
    Scenario scenario;
    scenario.seed = seed;
    auto chance = [&](int percent) { return int(random.bounded(100)) < percent; };
    auto between = [&](qint64 low, qint64 high) { return low + qint64(random.bounded(quint64(high - low + 1))); };
    const int delays[] = {2000, 5000, 15000};
    scenario.delayFile = QByteArray::number(delays[random.bounded(3)]) + '\n';
    const int kind = int(random.bounded(100));
    if (kind < 6) {
        scenario.driver = "nouveau";
    } else if (kind < 12) {
        scenario.power = Power::ControlOn;
    } else if (kind < 17) {
        scenario.power = Power::Unsupported;
    } else if (kind < 23) {
        scenario.power = Power::StatusUnreadable;
    } else {
        if (chance(10))
            scenario.control = chance(50) ? "!" : "\n";
        if (chance(15))
            scenario.delayFile = chance(50) ? "!" : "";
        scenario.mayAutosuspend = !chance(8);
    }
    scenario.usageFile = !chance(20);
    // Runtime PM off or forbidden: it is never down.
    scenario.startsAsleep = scenario.power != Power::ControlOn && scenario.power != Power::Unsupported && chance(20);
    scenario.jitter = chance(70);
    scenario.latePerMille = chance(25) ? 30 : 0;
    const qint64 period = gpupower::schedule(cardDelayMs(scenario)).periodMs;

    const int readers = 1 + int(random.bounded(5));
    for (int i = 0; i < readers; ++i) {
        Reader reader;
        reader.waits = chance(35);
        reader.startMs = chance(65) ? between(0, 10000) : between(0, scenario.runMs);
        reader.endMs = reader.waits && chance(70) ? reader.startMs
                       : chance(50)              ? scenario.runMs
                                                 : between(reader.startMs, scenario.runMs);
        if (chance(25))
            reader.offsetMs = chance(30) ? period / 2 : between(-period, period);
        scenario.readers.append(reader);
    }
    // A script that runs the runner every 5 s for a while.
    if (chance(25)) {
        const qint64 from = between(0, 40000);
        const qint64 to = between(from, scenario.runMs);
        const qint64 offset = chance(20) ? between(-period, period) : 0;
        for (qint64 at = from; at <= to; at += 5000)
            scenario.readers.append({true, at, at, offset});
    }
    const int uses = int(random.bounded(4));
    for (int i = 0; i < uses; ++i)
        scenario.uses.append({between(0, scenario.runMs), chance(50) ? between(1000, 20000) : 0, chance(50)});
    std::sort(scenario.uses.begin(), scenario.uses.end(), [](const Use &a, const Use &b) { return a.atMs < b.atMs; });
    if (chance(25))
        scenario.systemSleeps.append({between(5000, scenario.runMs), between(1000, 600000)});
    const int failures = chance(30) ? 1 + int(random.bounded(2)) : 0;
    for (int i = 0; i < failures; ++i)
        scenario.failures.append({between(0, scenario.runMs), between(1000, 10000)});
    for (int i = 0; i < 4; ++i)
        scenario.resumesMs.append(chance(10) ? period + 1000 : between(50, 1500));
    return scenario;
}

QString describe(const Scenario &scenario)
{
    QStringList readers;
    for (const Reader &reader : scenario.readers)
        readers << QStringLiteral("%1 %2-%3 ms%4")
                       .arg(reader.waits ? u"runner"_s : u"applet"_s)
                       .arg(reader.startMs)
                       .arg(reader.endMs)
                       .arg(reader.offsetMs != 0 ? QStringLiteral(" offset %1").arg(reader.offsetMs) : QString());
    QStringList others;
    for (const Use &use : scenario.uses)
        others << QStringLiteral("%1+%2%3").arg(use.atMs).arg(use.forMs).arg(use.reference ? u" held"_s : QString());
    for (const Span &sleep : scenario.systemSleeps)
        others << QStringLiteral("system sleep %1+%2").arg(sleep.atMs).arg(sleep.forMs);
    for (const Span &failure : scenario.failures)
        others << QStringLiteral("failing %1+%2").arg(failure.atMs).arg(failure.forMs);
    return QString::fromLatin1(scenario.driver) + u", delay "_s + QString::fromLatin1(scenario.delayFile.trimmed())
        + u", power "_s + QString::number(int(scenario.power)) + u", readers: "_s + readers.join(u", "_s)
        + u"; others: "_s + others.join(u", "_s);
}

// A script's runs, every 5 s from 0 to the run's end, each one cycle.
QList<Reader> everyFiveSeconds(qint64 runMs, qint64 offsetMs = 0)
{
    QList<Reader> runs;
    for (qint64 at = 0; at <= runMs; at += 5000)
        runs.append({true, at, at, offsetMs});
    return runs;
}

} // namespace

Q_DECLARE_METATYPE(Scenario)

class TestGpuSleep : public QObject
{
    Q_OBJECT

private slots:
    void drawnScenarios();
    void namedCases_data();
    void namedCases();
};

// VESH_GPU_SEED and VESH_GPU_SCENARIOS run others, or more.
void TestGpuSleep::drawnScenarios()
{
    const quint32 firstSeed = qEnvironmentVariableIsSet("VESH_GPU_SEED")
        ? quint32(qEnvironmentVariableIntValue("VESH_GPU_SEED"))
        : 20261209u;
    const int count = qEnvironmentVariableIsSet("VESH_GPU_SCENARIOS") ? qEnvironmentVariableIntValue("VESH_GPU_SCENARIOS")
                                                                      : 150;
    for (int i = 0; i < count; ++i) {
        const quint32 seed = firstSeed + quint32(i);
        const Scenario scenario = draw(seed);
        const Outcome outcome = Model(scenario).run();
        QVERIFY2(outcome.failure.isEmpty(), qPrintable(u"seed "_s + QString::number(seed) + u": "_s + outcome.failure
                                                       + u" ("_s + describe(scenario) + u")"_s));
    }
    qInfo("%d scenarios from seed %u", count, firstSeed);
}

void TestGpuSleep::namedCases_data()
{
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<qint64>("asleepWithinMs"); // of the start; 0 where it cannot sleep, or sleeps from the start

    const qint64 run = 120000;
    auto idle = [&](QList<Reader> readers) {
        Scenario scenario;
        scenario.readers = std::move(readers);
        scenario.runMs = run;
        return scenario;
    };
    QTest::newRow("one applet") << idle({{false, 0, run}}) << qint64(25000);
    QTest::newRow("two applets and a second process") << idle({{false, 0, run}, {false, 3300, run}, {false, 7100, run}})
                                                      << qint64(25000);
    // Each run of a script reads where every applet does.
    // --once, --json, --explain or --capture, each run waits for a window.
    QTest::newRow("the runner every 5 s") << idle(everyFiveSeconds(run)) << qint64(25000);
    QTest::newRow("an applet and a script's runs") << idle(QList<Reader>{{false, 0, run}} + everyFiveSeconds(run))
                                                   << qint64(25000);
    QTest::newRow("an applet here, one in a time namespace 4.3 s ahead")
        << idle({{false, 0, run}, {false, 0, run, 4300}}) << qint64(25000);
    QTest::newRow("a script in a time namespace 4.3 s ahead") << idle(everyFiveSeconds(run, 4300)) << qint64(25000);
    // Kept up by its driver: every run still shows its reading.
    Scenario keptUp = idle(QList<Reader>{{false, 0, run}} + everyFiveSeconds(run));
    keptUp.mayAutosuspend = false;
    QTest::newRow("kept up by its driver") << keptUp << qint64(0);
    // Woken by a probe at 30 s, it takes a whole period and more to come up.
    Scenario slowResume = idle({{false, 0, run}, {false, 3300, run}});
    slowResume.uses = {{30000, 0}};
    slowResume.resumesMs = {gpupower::schedule(5000).periodMs + 1000};
    QTest::newRow("resuming for a whole period") << slowResume << qint64(25000);
    Scenario nouveau = idle({{false, 0, run}, {false, 3300, run}});
    nouveau.driver = "nouveau";
    nouveau.mayAutosuspend = false;
    QTest::newRow("nouveau") << nouveau << qint64(0);
    Scenario sleeping = idle(QList<Reader>{{false, 0, run}} + everyFiveSeconds(run));
    sleeping.startsAsleep = true;
    QTest::newRow("a sleeping card") << sleeping << qint64(0);
}

void TestGpuSleep::namedCases()
{
    QFETCH(Scenario, scenario);
    QFETCH(qint64, asleepWithinMs);
    const Outcome outcome = Model(scenario).run();
    QVERIFY2(outcome.failure.isEmpty(), qPrintable(outcome.failure));
    if (asleepWithinMs > 0) {
        QVERIFY2(outcome.firstAsleepMs >= 0 && outcome.firstAsleepMs <= asleepWithinMs,
                 qPrintable(QStringLiteral("first asleep at %1 ms").arg(outcome.firstAsleepMs)));
    }
    qInfo("%d temperature reads in the first 45 s; first asleep at %lld ms", outcome.readsIn45s,
          outcome.firstAsleepMs);
}

QTEST_GUILESS_MAIN(TestGpuSleep)
#include "tst_gpusleep.moc"
