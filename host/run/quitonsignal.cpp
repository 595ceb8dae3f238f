#include "quitonsignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vesh {

namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t signalsSeen = 0;

void onSignal(int signal)
{
    // A second signal ends the process at once: the event loop that the
    // first one asked may never run again (an applet's cycle that does not
    // return). The signal is blocked while this handler runs, so it strikes
    // with its default action as soon as the handler returns.
    if (signalsSeen != 0) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    signalsSeen = 1;
    // Only async-signal-safe work here; the event loop does the rest. The
    // interrupted code may be about to read errno, which write can change.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

bool quitRequested()
{
    return signalsSeen != 0;
}

void quitOnTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        qFatal("cannot make the signal socket pair");

    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte;
        [[maybe_unused]] const auto got = ::read(signalPipe[1], &byte, 1);
        QCoreApplication::quit();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace vesh
