#include "BundleFixture.h"
#include "ManualClock.h"
#include "commands/AppActions.h"
#include "platform/linux/LinuxWorkspace.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

#include <csignal>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vesk;
using namespace vesk::test;
using namespace std::chrono_literals;

namespace {

// Real bundles whose executables are small shell scripts, opened, signalled and watched
// as the agent does it. Every app started here is force-terminated at the end.
class AppLaunchTest : public ::testing::Test {
protected:
    ~AppLaunchTest() override
    {
        for (const qint32 pid : m_started) {
            m_workspace.forceTerminate(pid);
            QCoro::waitFor(m_workspace.waitForTermination(pid, 10s));
        }
    }

    QString apps() const { return m_root.path() + "/Applications"; }
    // The running apps of this test's bundles (other bundles may run on the machine).
    QList<RunningApplication> ours()
    {
        QList<RunningApplication> out;
        for (const RunningApplication &app : m_workspace.runningApplications()) {
            if (app.bundlePath.startsWith(m_root.path() + "/"))
                out.append(app);
        }
        return out;
    }
    QString bundle(const QString &id, const QByteArray &script)
    {
        return makeBundle(apps(), id.section('.', -1) + ".app", appInfo(id, id.section('.', -1)), script);
    }
    LaunchOutcome open(const QString &path)
    {
        const LaunchOutcome outcome = QCoro::waitFor(m_workspace.openApplication(path));
        if (outcome.pid > 0)
            m_started.append(outcome.pid);
        return outcome;
    }
    // A script that tells the test (through a FIFO) that it is past its setup lines.
    QByteArray signallingScript(const QByteArray &setup)
    {
        const QString fifo = m_root.path() + "/ready-" + QString::number(m_fifos++);
        EXPECT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        m_fifo = fifo;
        return "#!/bin/sh\n" + setup + "\necho ready > '" + QFile::encodeName(fifo) + "'\nsleep 100\n";
    }
    // The one live process of a test bundle, none when none (or several) run.
    std::optional<qint32> runningPid(const QString &id)
    {
        QList<qint32> pids;
        for (const RunningApplication &app : ours()) {
            if (app.bundleIdentifier == id && !app.isTerminated)
                pids.append(app.pid);
        }
        return pids.size() == 1 ? std::optional<qint32>(pids[0]) : std::nullopt;
    }
    // Blocks until the last signalling script wrote its line.
    QByteArray awaitReady()
    {
        QFile fifo(m_fifo);
        EXPECT_TRUE(fifo.open(QIODevice::ReadOnly));
        return fifo.readAll().trimmed();
    }

    QTemporaryDir m_root;
    LinuxWorkspace m_workspace{{m_root.path() + "/Applications"}};
    QList<qint32> m_started;
    QString m_fifo;
    int m_fifos = 0;
};

TEST_F(AppLaunchTest, OpensAnAppInItsOwnSessionAndQuitsIt)
{
    const QString path = bundle("com.lumora.Kiosk", signallingScript({}));
    const LaunchOutcome launched = open(path);
    ASSERT_TRUE(launched.launched) << launched.error.toStdString();
    ASSERT_EQ(awaitReady(), "ready");
    EXPECT_EQ(::getsid(launched.pid), launched.pid) << "a session of its own";
    EXPECT_NE(::getsid(launched.pid), ::getsid(0));

    const auto running = ours();
    ASSERT_EQ(running.size(), 1);
    EXPECT_EQ(running[0].bundleIdentifier, "com.lumora.Kiosk");
    EXPECT_EQ(running[0].pid, launched.pid);

    const LaunchOutcome again = open(path);
    EXPECT_TRUE(again.launched);
    EXPECT_EQ(again.pid, 0) << "opening a running app starts no second copy";
    EXPECT_EQ(ours().size(), 1);

    EXPECT_TRUE(m_workspace.terminate(launched.pid));
    EXPECT_TRUE(QCoro::waitFor(m_workspace.waitForTermination(launched.pid, 10s)));
}

TEST_F(AppLaunchTest, ForceTerminatesAnAppThatIgnoresTheQuitRequest)
{
    const LaunchOutcome launched = open(bundle("com.lumora.Stubborn", signallingScript("trap '' TERM")));
    ASSERT_TRUE(launched.launched) << launched.error.toStdString();
    ASSERT_EQ(awaitReady(), "ready");

    EXPECT_TRUE(m_workspace.terminate(launched.pid));
    // It ignores SIGTERM for good, so this wait can only run out.
    EXPECT_FALSE(QCoro::waitFor(m_workspace.waitForTermination(launched.pid, 200ms)));
    EXPECT_TRUE(m_workspace.forceTerminate(launched.pid));
    EXPECT_TRUE(QCoro::waitFor(m_workspace.waitForTermination(launched.pid, 10s)));
}

// The kernel stops a process shortly after SIGSTOP is sent; this waits for it, bounded.
bool becomesStopped(qint32 pid)
{
    const ProcessTable table;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (const auto stat = table.stat(pid); stat && isStoppedState(stat->state))
            return true;
        ::sched_yield();
    }
    return false;
}

// Whether a child of the shell `pid` already runs a program of its own (it exec'd).
bool waitsOnProgram(qint32 pid)
{
    const ProcessTable table;
    const QString shell = table.executable(pid);
    for (const qint32 child : table.pids()) {
        const auto stat = table.stat(child);
        if (stat && stat->ppid == pid && !shell.isEmpty() && table.executable(child) != shell)
            return true;
    }
    return false;
}

// Runs the event loop until `task` is done, for at most `limit` of real time.
template <typename T>
bool finishes(QCoro::Task<T> &task, std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    QEventLoop loop;
    QTimer tick;
    tick.callOnTimeout([&] {
        if (task.isReady() || deadline.hasExpired())
            loop.quit();
    });
    tick.start(20ms);
    if (!task.isReady())
        loop.exec();
    return task.isReady();
}

// However the old process goes (continued from a stop, slowly, or ended because it ignores
// the quit request), the restart ends with a new process of the bundle. The clock is manual
// and only moves for the app that ignores the request: the others are watched until they exit.
TEST_F(AppLaunchTest, RestartEndsWithANewProcessHoweverTheOldOneGoes)
{
    ManualClock clock;
    const AppActions actions(m_workspace, clock);
    const QString saved = m_root.path() + "/saved";
    const struct {
        const char *id;
        QByteArray setup;
        bool stop;
        bool ignoresQuit;
    } cases[] = {
        {"com.lumora.Frozen", {}, true, false},
        {"com.lumora.Slow", "trap 'sleep 3; echo saved > \"" + QFile::encodeName(saved) + "\"; exit 0' TERM", false, false},
        {"com.lumora.Stubborn", "trap '' TERM", false, true},
    };
    for (const auto &tc : cases) {
        const QString id = tc.id;
        const LaunchOutcome first = open(bundle(id, signallingScript(tc.setup)));
        ASSERT_TRUE(first.launched) << tc.id << first.error.toStdString();
        ASSERT_EQ(awaitReady(), "ready") << tc.id;
        // Restart once the shell waits on `sleep 100`: until that child has exec'd it runs the
        // shell's handlers, so a SIGTERM sent to the group in between is swallowed by the child,
        // and the shell holds its own trap until the child ends, 100 s later.
        const QDeadlineTimer known(10000);
        while (!waitsOnProgram(first.pid) && !known.hasExpired())
            QThread::msleep(20);
        ASSERT_TRUE(waitsOnProgram(first.pid)) << tc.id;
        if (tc.stop) {
            ASSERT_EQ(::kill(first.pid, SIGSTOP), 0);
            ASSERT_TRUE(becomesStopped(first.pid)) << tc.id;
        }
        // A process is trusted as the bundle's only from its second look on: restart what the
        // workspace already knows runs, as the agent always does.
        while (runningPid(id) != first.pid && !known.hasExpired())
            QThread::msleep(20);
        ASSERT_EQ(runningPid(id), first.pid) << tc.id;

        auto restart = actions.restartApp(id, {});
        if (tc.ignoresQuit) {
            EXPECT_FALSE(restart.isReady()) << tc.id;
            clock.advance(AppActions::quitTimeout);
        }
        ASSERT_TRUE(finishes(restart, 20s)) << tc.id;
        EXPECT_EQ(QCoro::waitFor(restart), CommandResult::ok("Restarted " + id)) << tc.id;
        const std::optional<qint32> relaunched = runningPid(id);
        ASSERT_TRUE(relaunched.has_value()) << tc.id;
        m_started.append(*relaunched);
        EXPECT_NE(*relaunched, first.pid) << tc.id;
        EXPECT_TRUE(QCoro::waitFor(m_workspace.waitForTermination(first.pid, 5s))) << tc.id << ": the old one is gone";
    }
    EXPECT_EQ(readFile(saved), "saved\n") << "the slow app was left to finish quitting";
}

TEST_F(AppLaunchTest, ReportsWhyAnAppCannotStart)
{
    const QString notExecutable = bundle("com.lumora.Locked", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(notExecutable + "/Contents/MacOS/run", QFile::ReadOwner | QFile::WriteOwner);
    const QString garbage = bundle("com.lumora.Garbage", QByteArray(64, '\x7f'));
    const QString noExecutable = makeBundle(apps(), "Bare.app", {{"CFBundleIdentifier", "com.lumora.Bare"}});

    struct Case {
        const char *name;
        QString path;
    };
    for (const Case &tc : {Case{"no execute permission", notExecutable}, Case{"not a program", garbage},
                           Case{"no CFBundleExecutable", noExecutable}, Case{"no bundle", apps() + "/Missing.app"}}) {
        const LaunchOutcome outcome = open(tc.path);
        EXPECT_FALSE(outcome.launched) << tc.name;
        EXPECT_FALSE(outcome.error.isEmpty()) << tc.name;
    }
}

TEST_F(AppLaunchTest, SeesAnEndedProcessAtOnceAndNeverSignalsEverything)
{
    QProcess done;
    done.start("true");
    ASSERT_TRUE(done.waitForFinished(10000));
    EXPECT_TRUE(QCoro::waitFor(m_workspace.waitForTermination(qint32(done.processId()), 10s)));

    for (const qint32 pid : {0, 1, -1, -1234}) {
        EXPECT_FALSE(m_workspace.terminate(pid)) << pid;
        EXPECT_FALSE(m_workspace.forceTerminate(pid)) << pid;
    }
}

} // namespace
