#include "ManualClock.h"
#include "platform/linux/SystemClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

} // namespace

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
