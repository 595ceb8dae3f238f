#include "sandbox.h"

#include "machinefolder/machinenamespace.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace sandbox {

namespace {

// Forks; the child enters the machine, runs body and reports by exit status:
// 0 ran without failure, 1 a check failed, 2 the machine could not be entered.
int runChild(const QString &root, const std::function<void()> &body, QString *reason)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return 2;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return 2;
    if (pid == 0) {
        ::close(pipeFds[0]);
        QString error;
        if (!vesh::machinenamespace::enter(root, &error)) {
            const QByteArray text = error.toUtf8();
            [[maybe_unused]] auto n = ::write(pipeFds[1], text.constData(), size_t(text.size()));
            ::_exit(2);
        }
        ::close(pipeFds[1]);
        body();
        std::fflush(stdout);
        std::fflush(stderr);
        // _exit: the parent owns the scratch folders and Qt's state.
        ::_exit(QTest::currentTestFailed() ? 1 : 0);
    }
    ::close(pipeFds[1]);
    char buffer[512];
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    ::close(pipeFds[0]);
    if (n > 0 && reason)
        *reason = QString::fromUtf8(buffer, int(n));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            if (reason)
                *reason = QStringLiteral("waiting for the child: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return 1;
        }
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (reason)
        *reason = QStringLiteral("the child ended by signal %1").arg(WTERMSIG(status));
    return 1;
}

} // namespace

QString unavailableReason()
{
    static const QString reason = [] {
        QTemporaryDir empty;
        QString why;
        return runChild(empty.path(), [] {}, &why) == 0 ? QString() : why;
    }();
    return reason;
}

bool runOn(const QString &root, const std::function<void()> &body)
{
    QString reason;
    const int status = runChild(root, body, &reason);
    if (!reason.isEmpty())
        qWarning("%s", qPrintable(reason));
    return status == 0;
}

QStringList runnerOn(const QString &root)
{
    // At once, not in the card's next read window: the wait has a test of
    // its own, and a fixture's card is no card to keep asleep.
    return {QStringLiteral("--machine"), root, QStringLiteral("--now")};
}

QProcessEnvironment childEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (AddressSanitizer)
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    return environment;
}

} // namespace sandbox
