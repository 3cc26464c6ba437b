// Hung apps as the platform sees them: the process state tracked over time on a fabricated
// /proc, and the X11 ping against a real X server (Xvfb) and a real window that stops answering.
#include "ManualClock.h"

#include "platform/linux/LinuxSystemInfoSource.h"
#include "platform/linux/ProcessHangWatch.h"
#include "platform/linux/X11WindowPing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace std::chrono_literals;

namespace vesk {
namespace {

// A /proc/PID/stat line with the given state and start ticks (field 22).
QByteArray statLine(char state, quint64 startTicks)
{
    return QByteArray("4242 (Print Station) ") + state + " 1 4242 4242 0 -1 4194560 100 0 0 0 10 5 0 0 20 0 3 0 "
        + QByteArray::number(startTicks) + " 123456789 2000 18446744073709551615 0 0 0 0 0 0 0 0 0 0 0 0 17 1 0 0\n";
}

QByteArray statusText(std::optional<quint64> voluntary, quint64 involuntary = 7)
{
    QByteArray text = "Name:\tPrint Station\nState:\tD (disk sleep)\n";
    if (voluntary)
        text += "voluntary_ctxt_switches:\t" + QByteArray::number(*voluntary) + "\n";
    text += "nonvoluntary_ctxt_switches:\t" + QByteArray::number(involuntary) + "\n";
    return text;
}

// One look at the process: the seconds since the previous look, what /proc shows, and the verdict.
struct Look {
    int afterSeconds;
    char state;
    std::optional<quint64> switches = 100; // none: the status file lacks the voluntary line
    quint64 startTicks = 5000;
    bool responds = true;
};

struct HangCase {
    const char *name;
    std::vector<Look> looks;
};

TEST(ProcessHangWatchTest, UninterruptibleSleepCountsOnlyWhenHeldWithoutProgress)
{
    const HangCase cases[] = {
        {"held 30 s is still within the limit, 31 s is not",
         {{0, 'D'}, {15, 'D'}, {15, 'D', 100, 5000, true}, {1, 'D', 100, 5000, false}}},
        {"a look in another state starts the count again",
         {{0, 'D'}, {20, 'S'}, {20, 'D'}, {20, 'D'}, {11, 'D', 100, 5000, false}}},
        {"switches that move are heavy I/O, not a hang", {{0, 'D', 100}, {20, 'D', 140}, {20, 'D', 190}, {20, 'D', 260}}},
        {"a reused pid starts its own count", {{0, 'D'}, {25, 'D', 100, 9000}, {25, 'D', 100, 9000, true}}},
        {"without switch counts the state alone decides", {{0, 'D', std::nullopt}, {31, 'D', std::nullopt, 5000, false}}},
        {"it answers again once it leaves the state", {{0, 'D'}, {40, 'D', 100, 5000, false}, {1, 'R'}}},
        {"stopped, traced and zombie at once", {{0, 'T', 100, 5000, false}, {0, 't', 100, 5000, false},
                                               {0, 'Z', 100, 5000, false}, {0, 'S'}}},
    };
    for (const HangCase &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir proc;
        ASSERT_TRUE(QDir(proc.path()).mkpath("4242"));
        test::ManualClock clock;
        const ProcessHangWatch watch(proc.path(), clock);
        int index = 0;
        for (const Look &look : c.looks) {
            SCOPED_TRACE(index++);
            clock.advance(std::chrono::seconds(look.afterSeconds));
            QFile stat(proc.filePath("4242/stat"));
            ASSERT_TRUE(stat.open(QIODevice::WriteOnly | QIODevice::Truncate));
            stat.write(statLine(look.state, look.startTicks));
            stat.close();
            QFile status(proc.filePath("4242/status"));
            ASSERT_TRUE(status.open(QIODevice::WriteOnly | QIODevice::Truncate));
            status.write(statusText(look.switches));
            status.close();
            EXPECT_EQ(watch.responds(4242), look.responds);
        }
    }
}

TEST(ProcessHangWatchTest, AProcessThatCannotBeReadDoesNotRespond)
{
    QTemporaryDir proc;
    test::ManualClock clock;
    const ProcessHangWatch watch(proc.path(), clock);
    EXPECT_FALSE(watch.responds(4242));
    ASSERT_TRUE(QDir(proc.path()).mkpath("4242"));
    QFile stat(proc.filePath("4242/stat"));
    ASSERT_TRUE(stat.open(QIODevice::WriteOnly));
    stat.write("4242 (cut short) S 1 2\n");
    stat.close();
    EXPECT_FALSE(watch.responds(4242));
}

// Xvfb on a display it picks itself (-displayfd), stopped with the fixture.
class X11PingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb), so there is no X server to ping through";
        m_server.setProgram(xvfb);
        m_server.setArguments({"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
        m_server.start();
        QByteArray number;
        while (!number.contains('\n') && m_server.waitForReadyRead(10000))
            number += m_server.readAllStandardOutput();
        if (!number.contains('\n')) {
            m_server.kill();
            m_server.waitForFinished();
            GTEST_SKIP() << "Xvfb did not start: " << m_server.readAllStandardError().toStdString();
        }
        m_display = ":" + number.trimmed();
    }

    void TearDown() override
    {
        if (m_window.state() != QProcess::NotRunning) {
            m_window.kill();
            m_window.waitForFinished();
        }
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000))
                m_server.kill();
            m_server.waitForFinished();
        }
    }

    // Starts the test window and waits until it says `line`.
    void startWindow()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromLatin1(m_display));
        m_window.setProcessEnvironment(env);
        m_window.start(QStringLiteral(VESK_PING_WINDOW), {});
        ASSERT_TRUE(m_window.waitForStarted());
        expectLine("ready");
    }

    void expectLine(const QByteArray &line)
    {
        while (!m_window.canReadLine())
            ASSERT_TRUE(m_window.waitForReadyRead(10000)) << m_window.readAllStandardError().toStdString();
        ASSERT_EQ(m_window.readLine().trimmed(), line);
    }

    QProcess m_server;
    QProcess m_window;
    QByteArray m_display;
};

TEST_F(X11PingTest, AWindowThatAnswersRespondsAndOneWhoseLoopIsBlockedDoesNot)
{
    ASSERT_NO_FATAL_FAILURE(startWindow());
    const auto pid = qint32(m_window.processId());
    const qint32 windowless = qint32(::getpid());

    const auto answering = pingX11Windows({pid, windowless}, 1s, m_display);
    ASSERT_TRUE(answering);
    EXPECT_EQ(*answering, (QHash<qint32, bool>{{pid, true}})) << "a process without a window has no verdict";

    ::kill(pid, SIGUSR1);
    ASSERT_NO_FATAL_FAILURE(expectLine("blocked"));
    const auto blocked = pingX11Windows({pid}, 1s, m_display);
    ASSERT_TRUE(blocked);
    EXPECT_EQ(*blocked, (QHash<qint32, bool>{{pid, false}}));
}

TEST_F(X11PingTest, TheSystemSourceJoinsThePingToTheProcessState)
{
    ASSERT_NO_FATAL_FAILURE(startWindow());
    const auto pid = qint32(m_window.processId());
    const qint32 windowless = qint32(::getpid());
    const QByteArray savedDisplay = qgetenv("DISPLAY");
    qputenv("DISPLAY", m_display);
    LinuxSystemInfoSource source;
    source.setWindowPingTimeout(1s);

    EXPECT_EQ(source.processesRespond({pid, windowless}), (QHash<qint32, bool>{{pid, true}, {windowless, true}}));
    ::kill(pid, SIGUSR1);
    ASSERT_NO_FATAL_FAILURE(expectLine("blocked"));
    EXPECT_EQ(source.processesRespond({pid, windowless}), (QHash<qint32, bool>{{pid, false}, {windowless, true}}));
    EXPECT_TRUE(source.processResponds(pid)) << "the process state alone cannot see a blocked event loop";

    qputenv("DISPLAY", savedDisplay);
}

TEST(X11PingNoDisplayTest, NoReachableDisplayGivesNoVerdict)
{
    EXPECT_FALSE(pingX11Windows({qint32(::getpid())}, 1s, ":4711"));
}

} // namespace
} // namespace vesk
