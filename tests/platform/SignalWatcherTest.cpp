#include "platform/linux/SignalWatcher.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vesk;

namespace {

volatile std::sig_atomic_t g_previousHandlerRuns = 0;

void previousHandler(int)
{
    g_previousHandlerRuns = g_previousHandlerRuns + 1;
}

// The watcher takes a signal over while it lives, stays the only one, and gives the
// signal back to whoever handled it before.
TEST(SignalWatcherTest, DeliversOnTheEventLoopAndRestoresThePreviousHandler)
{
    struct sigaction previous {};
    previous.sa_handler = previousHandler;
    sigemptyset(&previous.sa_mask);
    struct sigaction original {};
    ASSERT_EQ(::sigaction(SIGUSR1, &previous, &original), 0);
    g_previousHandlerRuns = 0;
    {
        SignalWatcher watcher({SIGUSR1});
        ASSERT_TRUE(watcher.isActive());
        EXPECT_FALSE(SignalWatcher({SIGUSR2}).isActive());

        QSignalSpy received(&watcher, &SignalWatcher::received);
        ASSERT_EQ(::raise(SIGUSR1), 0);
        ASSERT_TRUE(received.wait(5000));
        EXPECT_EQ(received.at(0).at(0).toInt(), SIGUSR1);
        EXPECT_EQ(g_previousHandlerRuns, 0);
    }
    ASSERT_EQ(::raise(SIGUSR1), 0);
    EXPECT_EQ(g_previousHandlerRuns, 1);
    ::sigaction(SIGUSR1, &original, nullptr);
}

} // namespace
