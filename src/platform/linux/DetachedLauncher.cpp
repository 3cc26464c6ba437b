#include "platform/linux/DetachedLauncher.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

namespace vesk {

namespace {

// Reads exactly `size` bytes unless the writer closed first; returns the bytes read.
ssize_t readFully(int fd, void *buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, static_cast<char *>(buffer) + done, size - done);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        done += size_t(n);
    }
    return ssize_t(done);
}

void closeBoth(int fds[2])
{
    for (int i = 0; i < 2; ++i) {
        if (fds[i] >= 0)
            ::close(fds[i]);
        fds[i] = -1;
    }
}

// Runs in the grandchild after fork: only async-signal-safe calls from here to exec.
[[noreturn]] void execInChild(const char *path, char *const argv[], int devNull, int errorPipe)
{
    ::setsid();
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    for (const int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        ::sigaction(sig, &defaults, nullptr);
    if (::chdir("/") == 0)
        ::execve(path, argv, environ);
    const int error = errno;
    [[maybe_unused]] const auto written = ::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

} // namespace

LaunchOutcome launchDetached(const QString &program, const QStringList &arguments)
{
    // Everything the children need is built before fork: they may not allocate.
    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> storage;
    storage.push_back(path);
    for (const QString &argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);

    int errorPipe[2] = {-1, -1};
    int pidPipe[2] = {-1, -1};
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0 || ::pipe2(errorPipe, O_CLOEXEC) != 0 || ::pipe2(pidPipe, O_CLOEXEC) != 0) {
        const int error = errno;
        closeBoth(errorPipe);
        closeBoth(pidPipe);
        if (devNull >= 0)
            ::close(devNull);
        return {false, 0, QString::fromLocal8Bit(std::strerror(error))};
    }

    const pid_t middle = ::fork();
    if (middle == 0) {
        const pid_t app = ::fork();
        if (app == 0)
            execInChild(path.constData(), argv.data(), devNull, errorPipe[1]);
        const qint32 reported = app > 0 ? qint32(app) : -errno;
        [[maybe_unused]] const auto written = ::write(pidPipe[1], &reported, sizeof reported);
        ::_exit(0);
    }
    const int forkError = errno;
    ::close(devNull);
    ::close(errorPipe[1]);
    ::close(pidPipe[1]);
    errorPipe[1] = pidPipe[1] = -1;

    if (middle < 0) {
        closeBoth(errorPipe);
        closeBoth(pidPipe);
        return {false, 0, QString::fromLocal8Bit(std::strerror(forkError))};
    }

    qint32 appPid = 0;
    const ssize_t pidBytes = readFully(pidPipe[0], &appPid, sizeof appPid);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // The exec error pipe closes on a successful exec, or carries exec's errno.
    int execError = 0;
    const ssize_t errorBytes = readFully(errorPipe[0], &execError, sizeof execError);
    closeBoth(errorPipe);
    closeBoth(pidPipe);

    if (pidBytes != ssize_t(sizeof appPid))
        return {false, 0, QStringLiteral("The launcher process ended before starting the application.")};
    if (appPid < 0)
        return {false, 0, QString::fromLocal8Bit(std::strerror(-appPid))};
    if (errorBytes == ssize_t(sizeof execError))
        return {false, 0, QString::fromLocal8Bit(std::strerror(execError))};
    return {true, appPid, {}};
}

} // namespace vesk
