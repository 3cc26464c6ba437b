#include "PolicyRig.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

DevicePolicy restartingAt(int hour, int minute, Weekdays days = Weekdays::everyDay())
{
    DevicePolicy policy;
    policy.name = QStringLiteral("Nightly");
    policy.restartSchedule = RestartSchedule{true, hour, minute, days};
    return policy;
}

int countStarting(const QStringList &messages, const QString &prefix)
{
    return int(messages.filter(QRegularExpression("^" + QRegularExpression::escape(prefix))).size());
}


TEST(ScheduledMachineRestart, OneCountdownPerScheduledMinuteThenTheRestart)
{
    PolicyRig rig;
    rig.clock.advance(std::chrono::hours(18)); // Monday 09:00 → Tuesday 03:00
    rig.putInForce(restartingAt(3, 0));
    for (int i = 0; i < 6; ++i) {
        rig.pass();
        rig.clock.advance(std::chrono::seconds(10));
    }
    QStringList log = rig.engine->logMessages();
    EXPECT_EQ(log, QStringList{"Scheduled restart in 120s — warning shown"});
    EXPECT_EQ(rig.engine->pendingRestartAt(),
              QDateTime(QDate(2026, 3, 3), QTime(3, 2), QTimeZone::utc()));
    EXPECT_EQ(rig.machine.restarts(), 0);

    // A pause during the warning does not stop the countdown.
    rig.engine->pauseEnforcement(std::nullopt);
    rig.clock.advance(std::chrono::seconds(60));
    EXPECT_EQ(rig.machine.restarts(), 1);
    EXPECT_EQ(rig.engine->pendingRestartAt(), std::nullopt);
    EXPECT_EQ(rig.engine->logMessages().last(), "Executing scheduled restart from policy");
    QCoreApplication::processEvents();
    EXPECT_EQ(*rig.quits, 1) << "the agent quits once the machine accepted";
}

TEST(ScheduledMachineRestart, GuardSurvivesARelaunchAndOtherDaysNeverRestart)
{
    PolicyRig rig;
    rig.clock.advance(std::chrono::hours(18)); // Tuesday 03:00
    rig.putInForce(restartingAt(3, 0));
    rig.pass();
    ASSERT_EQ(countStarting(rig.engine->logMessages(), "Scheduled restart in "), 1);

    // The agent is relaunched 30 s later, still within the scheduled minute.
    rig.engine = rig.makeEngine();
    rig.clock.advance(std::chrono::seconds(30));
    rig.engine->loadInitialPolicy();
    rig.pass();
    EXPECT_TRUE(rig.engine->logMessages().isEmpty());
    EXPECT_EQ(rig.engine->pendingRestartAt(), std::nullopt);

    // A schedule for Mondays only, seen on a Tuesday at its time.
    PolicyRig other;
    other.clock.advance(std::chrono::hours(18));
    other.putInForce(restartingAt(3, 0, Weekdays{Weekdays::monday}));
    other.pass();
    EXPECT_TRUE(other.engine->logMessages().isEmpty());
    EXPECT_EQ(other.clock.sleeperCount(), 0u);
}

TEST(ScheduledMachineRestart, ARefusedRestartIsLoggedAndNotRetriedThatMinute)
{
    PolicyRig rig;
    rig.machine.setOutcome(RestartOutcome{RestartOutcome::Status::failed, 1, "Not authorised"});
    rig.engine->setRestartWarningSeconds(5);
    rig.clock.advance(std::chrono::hours(18));
    rig.putInForce(restartingAt(3, 0));
    rig.pass();
    rig.clock.advance(std::chrono::seconds(5));
    rig.pass();
    rig.clock.advance(std::chrono::seconds(10));
    rig.pass();
    EXPECT_EQ(rig.engine->logMessages(), (QStringList{"Scheduled restart in 5s — warning shown",
                                                      "Executing scheduled restart from policy",
                                                      "Restart failed: Restart failed (1): Not authorised"}));
    EXPECT_EQ(rig.machine.restarts(), 1);
    EXPECT_EQ(*rig.quits, 0);
}

TEST(EnforcementPause, RemainingTimeText)
{
    struct Case {
        std::optional<int> minutes;
        std::optional<QString> want;
    };
    const QList<Case> cases{{15, "14m"}, {60, "59m"}, {90, "1h 29m"}, {1, "0m"}, {std::nullopt, std::nullopt}};
    for (const Case &c : cases) {
        PolicyRig rig;
        rig.engine->pauseEnforcement(c.minutes);
        rig.clock.advance(std::chrono::milliseconds(1));
        EXPECT_EQ(rig.engine->pauseRemainingText(), c.want) << c.minutes.value_or(-1);
    }
}

TEST(EnforcementPause, TimedPausesEndIndefiniteOnesWaitForResume)
{
    PolicyRig rig;
    rig.engine->pauseEnforcement(15);
    EXPECT_TRUE(rig.engine->isPaused());
    EXPECT_EQ(rig.engine->pauseResumeAt(), rig.clock.now().addSecs(900));
    rig.clock.advance(std::chrono::minutes(15));
    EXPECT_FALSE(rig.engine->isPaused());
    EXPECT_EQ(rig.engine->pauseResumeAt(), std::nullopt);

    rig.engine->pauseEnforcement(15);
    rig.engine->pauseEnforcement(30); // replaces the first: its timer is gone
    rig.clock.advance(std::chrono::minutes(15));
    EXPECT_TRUE(rig.engine->isPaused());
    EXPECT_EQ(rig.engine->pauseRemainingText(), "15m");
    rig.engine->pauseEnforcement(std::nullopt);
    rig.clock.advance(std::chrono::hours(2));
    EXPECT_TRUE(rig.engine->isPaused()) << "an indefinite pause ends only on resume";
    EXPECT_EQ(rig.clock.sleeperCount(), 0u);
    rig.engine->resumeEnforcement();
    rig.engine->resumeEnforcement();

    EXPECT_EQ(rig.engine->logMessages(),
              (QStringList{"Enforcement paused for 15 minutes", "Enforcement resumed", "Enforcement paused for 15 minutes",
                           "Enforcement paused for 30 minutes", "Enforcement paused indefinitely",
                           "Enforcement resumed", "Enforcement resumed"}));
}

TEST(EnforcementPause, DurationsComeFromTheSetting)
{
    PolicyRig rig;
    EXPECT_EQ(rig.engine->pauseDurations(), (QList<int>{5, 15, 30, 60}));
    rig.defaults.setValue("pauseDurationsMinutes", "10, 120");
    EXPECT_EQ(rig.engine->pauseDurations(), (QList<int>{10, 120}));
}

} // namespace
} // namespace vesk::test
