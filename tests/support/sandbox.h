#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

// Runs test code with a fixture machine in place of /sys and /proc: in a
// forked child that enters a private mount namespace, so the test process
// itself keeps the real system.
namespace sandbox {

// Empty when fixture machines can be entered here; otherwise the reason.
QString unavailableReason();

// Runs body in a child on the machine at root and returns true when the
// child ran it without a failed check. Checks inside body report as usual.
bool runOn(const QString &root, const std::function<void()> &body);

// Whether this build runs under AddressSanitizer.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool AddressSanitizer = true;
#else
inline constexpr bool AddressSanitizer = false;
#endif

// The runner's options that run it, and the real plugin it loads, on the
// fixture machine at root, in a private mount namespace of its own: every
// test that does so names its machine through this, so what such runs need
// is said here once.
QStringList runnerOn(const QString &root);

// The environment for a child process that enters a fixture machine itself
// (vesh-host --machine): in an AddressSanitizer build, leak checking is off
// there, since LeakSanitizer needs the real /proc at exit.
QProcessEnvironment childEnvironment();

} // namespace sandbox

// Skips the current test, with the reason, where sandboxes are not possible.
#define SANDBOX_REQUIRED()                                                                                  \
    do {                                                                                                   \
        const QString reason = sandbox::unavailableReason();                                               \
        if (!reason.isEmpty())                                                                             \
            QSKIP(qPrintable(QStringLiteral("fixture machines need a private mount namespace: ") + reason)); \
    } while (false)

// Runs body on the fixture machine and fails the test if any check in it failed.
#define ON_MACHINE(root, ...)                                                                   \
    do {                                                                                        \
        const bool ranClean = sandbox::runOn((root), __VA_ARGS__);                              \
        QVERIFY2(ranClean, "a check on the fixture machine failed (see above)");               \
    } while (false)
