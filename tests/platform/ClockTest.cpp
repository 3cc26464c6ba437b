#include "ManualClock.h"
#include "platform/ScaledClock.h"
#include "platform/linux/SystemClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <ctime>
#include <set>
#include <string_view>
#include <unistd.h>

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace std::chrono_literals;
using vesk::test::ManualClock;

namespace {

QCoro::Task<> sleepLoop(vesk::Clock &clock, vesk::StopToken token, std::vector<QDateTime> &wakes, int &ended)
{
    for (;;) {
        const bool slept = co_await clock.sleep(10s, token);
        if (!slept)
            break;
        wakes.push_back(clock.now());
    }
    ++ended;
}

// The timerfds this process holds, as the kernel lists them.
std::set<int> timerFds()
{
    std::set<int> fds;
    const QDir dir(QStringLiteral("/proc/self/fd"));
    for (const QString &name : dir.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const QByteArray link = dir.filePath(name).toLocal8Bit();
        if (::readlink(link.constData(), target, sizeof target - 1) > 0 && std::string_view(target) == "anon_inode:[timerfd]")
            fds.insert(name.toInt());
    }
    return fds;
}

// One line of the timer's /proc fdinfo, e.g. "clockid" or "it_value" (time left, relative).
QString fdInfo(int fd, const QString &key)
{
    QFile file(QStringLiteral("/proc/self/fdinfo/%1").arg(fd));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const auto match = QRegularExpression(QStringLiteral("^%1:\\s*(.*)$").arg(key), QRegularExpression::MultilineOption)
                           .match(QString::fromLatin1(file.readAll()));
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

// Whole seconds left on the armed timer; -1 when disarmed.
long secondsLeft(int fd)
{
    const QString value = fdInfo(fd, QStringLiteral("it_value"));
    if (value == QLatin1String("(0, 0)"))
        return -1;
    return value.mid(1, value.indexOf(',') - 1).toLong();
}

void pumpUntil(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
}

QCoro::Task<> sleepOnce(vesk::Clock &clock, std::chrono::milliseconds delay, bool &woke)
{
    woke = co_await clock.sleep(delay);
}

} // namespace

TEST(ScaledClock, DividesLoopWaitsByTheFactorAndLeavesShortPausesAlone)
{
    struct Case {
        const char *name;
        double factor;
        std::chrono::milliseconds asked;
        std::chrono::milliseconds wakesAfter;
    };
    const Case cases[] = {
        {"a fifteen-minute heartbeat, a day an hour", 24, 900s, 37500ms},
        {"a ten-second pass stops at the shortest wait", 24, 10s, 500ms},
        {"a pause inside an action stays as asked", 24, 250ms, 250ms},
        {"factor 1 runs as shipped", 1, 900s, 900s},
        {"a factor below 1 counts as 1", 0.5, 60s, 60s},
    };
    for (const Case &tc : cases) {
        ManualClock manual;
        vesk::ScaledClock clock(manual, tc.factor);
        EXPECT_EQ(clock.period(tc.asked), tc.wakesAfter) << tc.name;
        bool woke = false;
        sleepOnce(clock, tc.asked, woke);
        manual.advance(tc.wakesAfter - 1ms);
        EXPECT_FALSE(woke) << tc.name;
        manual.advance(1ms);
        EXPECT_TRUE(woke) << tc.name;
        EXPECT_EQ(clock.now(), manual.now()) << tc.name;
    }
}

TEST(ManualClock, WakesSleepersInDeadlineOrderAtTheirOwnTime)
{
    ManualClock clock;
    const QDateTime start = clock.now();
    std::vector<QDateTime> wakes;
    int ended = 0;
    vesk::StopSource stop;
    sleepLoop(clock, stop.token(), wakes, ended);
    EXPECT_EQ(clock.sleeperCount(), 1u);

    clock.advance(9s);
    EXPECT_TRUE(wakes.empty());
    clock.advance(26s); // crosses the 10 s, 20 s and 30 s deadlines
    ASSERT_EQ(wakes.size(), 3u);
    EXPECT_EQ(wakes[0], start.addSecs(10));
    EXPECT_EQ(wakes[2], start.addSecs(30));
    EXPECT_EQ(clock.now(), start.addSecs(35));

    stop.requestStop();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(clock.sleeperCount(), 0u);
}

TEST(ManualClock, StoppedTokenNeverSleeps)
{
    ManualClock clock;
    std::vector<QDateTime> wakes;
    int ended = 0;
    vesk::StopSource stop;
    stop.requestStop();
    sleepLoop(clock, stop.token(), wakes, ended);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(clock.sleeperCount(), 0u);
}

TEST(SystemClock, SleepEndsEarlyWhenStopped)
{
    vesk::SystemClock clock;
    vesk::StopSource stop;
    std::vector<QDateTime> wakes;
    int ended = 0;
    sleepLoop(clock, stop.token(), wakes, ended);
    QElapsedTimer timer;
    timer.start();
    QMetaObject::invokeMethod(&clock, [&]() { stop.requestStop(); }, Qt::QueuedConnection);
    while (ended == 0 && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(wakes.empty());
}

// The kernel's own view of the clock's timer: on the boot clock (which counts suspended
// time, unlike the monotonic clock under QTimer), armed for the earliest wake only, and
// disarmed once nothing waits.
TEST(SystemClock, ArmsOneBootClockTimerForTheEarliestWake)
{
    const std::set<int> before = timerFds();
    vesk::SystemClock clock;
    std::vector<int> created;
    for (int fd : timerFds())
        if (!before.count(fd))
            created.push_back(fd);
    ASSERT_EQ(created.size(), 1u);
    const int fd = created.front();
    EXPECT_EQ(fdInfo(fd, QStringLiteral("clockid")).toInt(), CLOCK_BOOTTIME);
    EXPECT_EQ(secondsLeft(fd), -1) << "nothing waits yet";

    const auto later = clock.scheduleWake(2h, [] {});
    const auto sooner = clock.scheduleWake(1h, [] {});
    EXPECT_GE(secondsLeft(fd), 3590);
    EXPECT_LT(secondsLeft(fd), 3600);
    clock.cancelWake(sooner);
    EXPECT_GE(secondsLeft(fd), 7190) << "re-armed for the wake still waiting";
    clock.cancelWake(later);
    EXPECT_EQ(secondsLeft(fd), -1);
}

TEST(SystemClock, WakesInDeadlineOrderNeverEarlyAndSkipsCancelledWakes)
{
    vesk::SystemClock clock;
    using Steady = std::chrono::steady_clock;
    const auto start = Steady::now();
    std::vector<std::pair<std::string, Steady::duration>> woke;
    auto record = [&](std::string name) { return [&woke, &start, name]() { woke.emplace_back(name, Steady::now() - start); }; };

    clock.scheduleWake(30ms, record("last"));
    clock.scheduleWake(15ms, record("tie, scheduled first"));
    clock.scheduleWake(15ms, record("tie, scheduled second"));
    const auto cancelled = clock.scheduleWake(5ms, record("cancelled"));
    clock.scheduleWake(-5ms, [&]() {
        record("overdue")();
        clock.cancelWake(cancelled);
        clock.scheduleWake(5ms, record("scheduled by a wake"));
    });
    pumpUntil([&]() { return woke.size() >= 5; });

    std::map<std::string, Steady::duration> at(woke.begin(), woke.end());
    std::vector<std::string> order;
    for (const auto &[name, elapsed] : woke)
        if (name != "scheduled by a wake")
            order.push_back(name);
    EXPECT_EQ(order, (std::vector<std::string>{"overdue", "tie, scheduled first", "tie, scheduled second", "last"}));
    EXPECT_GE(at["tie, scheduled second"], 15ms);
    EXPECT_GE(at["last"], 30ms);
    ASSERT_TRUE(at.count("scheduled by a wake"));
    EXPECT_GE(at["scheduled by a wake"] - at["overdue"], 5ms);
    EXPECT_FALSE(at.count("cancelled"));
}
