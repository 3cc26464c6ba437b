// The real source on this machine, checked against the system calls that answer the same
// questions, and against real child processes.
#include "platform/linux/LinuxSystemInfoSource.h"
#include "platform/linux/SystemInfoParsers.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vesk {
namespace {

// A /bin/sleep child of our own, so the test can stop it and wait for the kernel to agree.
class SleepingChild {
public:
    SleepingChild()
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execl("/bin/sleep", "sleep", "60", static_cast<char *>(nullptr));
            ::_exit(127);
        }
    }
    ~SleepingChild()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};

TEST(LinuxSystemInfoSource, MachineFiguresMatchTheSystemCalls)
{
    LinuxSystemInfoSource source;

    struct statvfs vfs {};
    ASSERT_EQ(::statvfs("/", &vfs), 0);
    const auto disk = source.rootDiskSpace();
    ASSERT_TRUE(disk);
    EXPECT_EQ(disk->total, qint64(vfs.f_blocks) * qint64(vfs.f_frsize));
    EXPECT_GT(disk->free, 0);
    EXPECT_LE(disk->free, disk->total);

    // Both count online processors; idealThreadCount would follow the affinity mask instead.
    EXPECT_EQ(source.activeProcessorCount(), int(::sysconf(_SC_NPROCESSORS_ONLN)));

    struct sysinfo info {};
    ASSERT_EQ(::sysinfo(&info), 0);
    const auto memory = source.memory();
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->total, quint64(info.totalram) * info.mem_unit);
    EXPECT_LT(memory->used, memory->total);

    const auto first = source.cpuTicks();
    ASSERT_TRUE(first);
    EXPECT_GT(first->user + first->system + first->idle + first->nice, 0u);
    EXPECT_GE(source.uptimeSeconds(), double(info.uptime) - 1); // sysinfo rounds to the second
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(source.osVersion()).hasMatch())
        << source.osVersion().toStdString();
    EXPECT_GE(source.thermalState(), 0);
    EXPECT_LE(source.thermalState(), 3);
}

TEST(LinuxSystemInfoSource, InterfacesLeaveOutLoopbackAndFollowTheDefaultRoute)
{
    LinuxSystemInfoSource source;
    const NetworkState state = source.networkState();
    for (const NetworkInterface &i : state.interfaces) {
        EXPECT_NE(i.name, QStringLiteral("lo"));
        EXPECT_NE(i.ipAddress, QStringLiteral("127.0.0.1"));
    }
    QFile route(QStringLiteral("/proc/net/route"));
    ASSERT_TRUE(route.open(QIODevice::ReadOnly));
    const QString primary = parseDefaultRouteInterface(route.readAll().toStdString());
    EXPECT_EQ(state.primaryInterface, primary);
    if (!primary.isEmpty()) {
        const auto it = std::find_if(state.interfaces.cbegin(), state.interfaces.cend(),
                                     [&](const NetworkInterface &i) { return i.name == primary; });
        ASSERT_NE(it, state.interfaces.cend());
        EXPECT_EQ(state.primaryAddress, it->ipAddress);
    }
}

TEST(LinuxSystemInfoSource, AStoppedOrEndedProcessDoesNotRespond)
{
    LinuxSystemInfoSource source;
    SleepingChild child;
    ASSERT_GT(child.pid(), 0);
    int status = 0;

    EXPECT_TRUE(source.processResponds(child.pid()));
    const auto figures = source.processFigures(child.pid());
    ASSERT_TRUE(figures);
    EXPECT_GT(figures->residentBytes, 0u);
    EXPECT_GE(figures->cpuSeconds, 0);
    ASSERT_TRUE(figures->startTime);
    EXPECT_LE(figures->startTime->toSecsSinceEpoch(), QDateTime::currentSecsSinceEpoch() + 1);

    ASSERT_EQ(::kill(child.pid(), SIGSTOP), 0);
    ASSERT_EQ(::waitpid(child.pid(), &status, WUNTRACED), child.pid());
    ASSERT_TRUE(WIFSTOPPED(status));
    EXPECT_FALSE(source.processResponds(child.pid())) << "stopped";

    ASSERT_EQ(::kill(child.pid(), SIGCONT), 0);
    ASSERT_EQ(::waitpid(child.pid(), &status, WCONTINUED), child.pid());
    EXPECT_TRUE(source.processResponds(child.pid())) << "continued";

    ASSERT_EQ(::kill(child.pid(), SIGKILL), 0);
    siginfo_t info {};
    ASSERT_EQ(::waitid(P_PID, id_t(child.pid()), &info, WEXITED | WNOWAIT), 0); // a zombie until reaped
    EXPECT_FALSE(source.processResponds(child.pid())) << "zombie";
    EXPECT_FALSE(source.processResponds(999999999)) << "no such process";
}

} // namespace
} // namespace vesk
