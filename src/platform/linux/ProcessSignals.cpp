#include "platform/linux/ProcessSignals.h"

#include "platform/linux/EventWaiter.h"
#include "platform/linux/ProcessTable.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/syscall.h>
#include <unistd.h>

namespace vesk {

namespace {

// Without pidfds (kernels before 5.3) we look at the process table this often instead.
constexpr std::chrono::milliseconds fallbackPollInterval{250};

bool hasEnded(const ProcessTable &table, qint32 pid)
{
    const auto stat = table.stat(pid);
    return !stat || isEndedState(stat->state);
}

QCoro::Task<bool> pollForExit(qint32 pid, std::chrono::milliseconds timeout)
{
    const ProcessTable table;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (hasEnded(table, pid))
            co_return true;
        if (std::chrono::steady_clock::now() >= deadline)
            co_return false;
        EventWaiter tick; // never woken: the wait is the poll interval
        const bool woken = co_await tick.wait(fallbackPollInterval);
        Q_UNUSED(woken)
    }
}

} // namespace

bool signalApplication(qint32 pid, int signalNumber)
{
    if (pid < 2)
        return false;
    const pid_t group = ::getpgid(pid);
    if (group == pid && group != ::getpgrp())
        return ::kill(-group, signalNumber) == 0;
    return ::kill(pid, signalNumber) == 0;
}

QCoro::Task<bool> waitForProcessExit(qint32 pid, std::chrono::milliseconds timeout)
{
    if (pid < 1)
        co_return true;
    const int fd = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
    if (fd < 0) {
        if (errno == ESRCH)
            co_return true;
        const bool ended = co_await pollForExit(pid, timeout);
        co_return ended;
    }
    // A pidfd turns readable when the process exits, zombie or reaped.
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    EventWaiter exited;
    QObject::connect(&notifier, &QSocketNotifier::activated, &exited, &EventWaiter::wake);
    const bool ended = co_await exited.wait(timeout);
    notifier.setEnabled(false);
    ::close(fd);
    co_return ended;
}

} // namespace vesk
