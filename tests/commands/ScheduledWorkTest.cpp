#include "LogCapture.h"
#include "PollerRig.h"

#include "commands/ScheduledUpdates.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;
using namespace std::chrono_literals;

namespace {

const QString kiosk = PollerRig::kiosk;
constexpr int monday = 2; // Weekdays: Sunday = 1, Monday = 2, ...

void weeklyRestart(PollerRig &rig, int days, int hour, int minute)
{
    rig.defaults.setValue("scheduledRestartEnabled", true);
    rig.defaults.setValue("scheduledRestartDays", days);
    rig.defaults.setValue("scheduledRestartHour", hour);
    rig.defaults.setValue("scheduledRestartMinute", minute);
}

// Runs the timed loop from start() until `until` has passed; returns the restarts seen.
int runLoopFor(PollerRig &rig, std::chrono::milliseconds until)
{
    rig.poller.start();
    rig.clock.advance(until);
    rig.poller.stop();
    return rig.machine.restarts();
}

TEST(ScheduledWork, WeeklyRestartRunsOnceInItsMinute)
{
    // Passes at 09:00:30, 09:01:00, 09:01:30, ... on Monday 2026-03-02 (UTC).
    PollerRig rig;
    weeklyRestart(rig, monday, 9, 1);
    rig.poller.start();
    rig.clock.advance(59s);
    EXPECT_EQ(rig.machine.restarts(), 0);
    rig.clock.advance(1s);
    EXPECT_EQ(rig.machine.restarts(), 1);
    EXPECT_EQ(rig.fleet.reports, (std::vector<FakeCommandChannel::Report>{{0, true, "Scheduled restart executed"}}));
    EXPECT_EQ(rig.defaults.object("lastScheduledRestart").toDouble(), double(rig.clock.now().toSecsSinceEpoch()));
    rig.clock.advance(30s);
    EXPECT_EQ(rig.machine.restarts(), 1) << "the second pass in the same minute is held back by the guard";
    rig.poller.stop();
}

struct WeeklyCase {
    const char *name;
    int days;
    int hour;
    int minute;
    QTimeZone zone;
    int want;
};

TEST(ScheduledWork, WeeklyRestartMatchesDayHourAndMinuteInLocalTime)
{
    const QTimeZone utc = QTimeZone::utc();
    const std::vector<WeeklyCase> cases = {
        {"this minute", monday, 9, 1, utc, 1},
        {"every day", 127, 9, 1, utc, 1},
        {"another day", 127 & ~monday, 9, 1, utc, 0},
        {"no day", 0, 9, 1, utc, 0},
        {"local time, not UTC", monday, 10, 1, QTimeZone("Europe/Berlin"), 1},
        {"UTC hour in a shifted zone", monday, 9, 1, QTimeZone("Europe/Berlin"), 0},
    };
    for (const WeeklyCase &tc : cases) {
        PollerRig rig;
        rig.clock.setTimeZone(tc.zone);
        weeklyRestart(rig, tc.days, tc.hour, tc.minute);
        EXPECT_EQ(runLoopFor(rig, 10min), tc.want) << tc.name;
    }

    PollerRig off;
    weeklyRestart(off, 127, 9, 1);
    off.defaults.setValue("scheduledRestartEnabled", false);
    EXPECT_EQ(runLoopFor(off, 10min), 0) << "switched off";

    PollerRig recent;
    weeklyRestart(recent, monday, 9, 1);
    recent.defaults.setValue("lastScheduledRestart", double(recent.clock.now().toSecsSinceEpoch()) + 5);
    EXPECT_EQ(runLoopFor(recent, 90s), 0) << "a restart less than 120 s ago";
}

TEST(ScheduledWork, WeeklyRestartWhoseMinutePassedTodayWaitsForNextWeek)
{
    // Configured for Monday 08:59; the clock starts on Monday 2026-03-02 at 09:00 (UTC).
    PollerRig rig;
    weeklyRestart(rig, monday, 8, 59);
    const std::chrono::milliseconds week = std::chrono::hours(24 * 7);
    rig.poller.start();
    rig.clock.advance(week - 61s);
    EXPECT_EQ(rig.machine.restarts(), 0) << "not today after 08:59, nor on the other days";
    rig.clock.advance(61s);
    rig.poller.stop();
    EXPECT_EQ(rig.machine.restarts(), 1) << "exactly one, on the next Monday";
    const QDateTime nextMonday(QDate(2026, 3, 9), QTime(8, 59), QTimeZone::utc());
    EXPECT_EQ(rig.defaults.object("lastScheduledRestart").toDouble(), double(nextMonday.toSecsSinceEpoch()));
}

TEST(ScheduledWork, ScheduledRestartsQuitTheAgentOnlyAfterTheirReport)
{
    PollerRig rig;
    weeklyRestart(rig, monday, 9, 1);
    rig.fleet.slowReports(rig.clock, 5s);
    rig.poller.start();
    rig.clock.advance(60s); // the 09:01:00 pass
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.machine.restarts(), 1);
    EXPECT_TRUE(rig.quitsAfterReports.empty()) << "the report is still on its way";
    rig.clock.advance(5s);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.fleet.reports, (std::vector<FakeCommandChannel::Report>{{0, true, "Scheduled restart executed"}}));
    EXPECT_EQ(rig.quitsAfterReports, std::vector<std::size_t>{1});
    rig.poller.stop();

    // A deferred restart reports nothing, so nothing holds the agent back.
    PollerRig deferred;
    deferred.settings.setScheduledActions({{QUuid::createUuid(), "restart", std::nullopt, deferred.clock.now()}});
    QCoro::waitFor(deferred.poller.runScheduledWork());
    QCoreApplication::processEvents();
    EXPECT_EQ(deferred.quitsAfterReports, std::vector<std::size_t>{0});
}

TEST(ScheduledWork, FailedWeeklyRestartIsNotReported)
{
    PollerRig rig;
    weeklyRestart(rig, monday, 9, 1);
    rig.machine.setOutcome({RestartOutcome::Status::failed, 1, "Interactive authentication required."});
    LogCapture log;
    EXPECT_EQ(runLoopFor(rig, 10min), 1) << "not retried within the guard's reach of the same minute";
    EXPECT_TRUE(rig.fleet.reports.empty());
    EXPECT_EQ(log.count("Restart failed (1): Interactive authentication required."), 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.quitsAfterReports.empty()) << "the agent stays when the machine refused";
}

TEST(ScheduledWork, InstallsUpdatesThatAreDue)
{
    PollerRig rig;
    FakeUpdates updates;
    updates.answer = CommandResult::ok("Installed Lumora Kiosk 2.0");
    updates.available = {offer(kiosk, "2.0"), offer("com.lumora.Print", "3.0"), offer("com.lumora.Edit", "1.4")};
    rig.poller.setUpdateCommands(&updates);
    const QDateTime now = rig.clock.now();
    ScheduledUpdates::setDue(rig.defaults, kiosk, now.addSecs(-60));
    ScheduledUpdates::setDue(rig.defaults, "com.lumora.Print", now.addDays(1));
    rig.defaults.setValue(ScheduledUpdates::key("com.lumora.Edit"), 0.0);
    ScheduledUpdates::setDue(rig.defaults, "com.lumora.Capture", now.addSecs(-60)); // nothing on offer for it

    QCoro::waitFor(rig.poller.runScheduledWork());

    ASSERT_EQ(updates.installs.size(), 1u);
    EXPECT_EQ(updates.installs[0].first.bundleId, kiosk);
    EXPECT_EQ(rig.fleet.reports, (std::vector<FakeCommandChannel::Report>{{0, true, "Scheduled: Installed Lumora Kiosk 2.0"}}));
    EXPECT_FALSE(rig.defaults.hasObject(ScheduledUpdates::key(kiosk)));
    for (const char *left : {"com.lumora.Print", "com.lumora.Edit", "com.lumora.Capture"})
        EXPECT_TRUE(rig.defaults.hasObject(ScheduledUpdates::key(left))) << left;

    QCoro::waitFor(rig.poller.runScheduledWork());
    EXPECT_EQ(updates.installs.size(), 1u) << "a due update is installed once";
}

TEST(ScheduledWork, RunsDeferredActionsThatAreDueAndDropsTheRest)
{
    PollerRig rig;
    LogCapture log;
    rig.workspace.install(kiosk);
    const QDateTime now = rig.clock.now();
    const ScheduledDeviceAction later{QUuid::createUuid(), "restart", std::nullopt, now.addSecs(3600)};
    rig.settings.setScheduledActions({
        {QUuid::createUuid(), "restart_app", kiosk, now.addSecs(-10)},
        later,
        {QUuid::createUuid(), "restart_app", std::nullopt, now.addSecs(-10)},
        {QUuid::createUuid(), "wipe_disk", std::nullopt, now.addSecs(-10)},
        {QUuid::createUuid(), "restart", std::nullopt, now},
    });

    QCoro::waitFor(rig.poller.runScheduledWork());

    EXPECT_EQ(rig.workspace.opened().size(), 1) << "the app was launched";
    EXPECT_EQ(rig.machine.restarts(), 1);
    EXPECT_EQ(rig.settings.scheduledActions(), QList<ScheduledDeviceAction>{later});
    EXPECT_TRUE(rig.fleet.reports.empty()) << "deferred actions report nothing";
    const QStringList fleetLog = log.messages("fleet");
    EXPECT_TRUE(fleetLog.contains("Executing scheduled restart of " + kiosk));
    EXPECT_TRUE(fleetLog.contains("Unknown scheduled action wipe_disk dropped"));
    EXPECT_TRUE(fleetLog.contains("Executing scheduled computer restart"));
}

TEST(ScheduledWork, ADeferredRestartSurvivesUntilItsTime)
{
    PollerRig rig;
    rig.pollWith({PollerRig::command(3, "restart", {{"scheduled_at", "2026-03-02T09:02:00Z"}})});
    EXPECT_EQ(rig.machine.restarts(), 0);
    EXPECT_EQ(runLoopFor(rig, 119s), 0) << "passes at 30, 60 and 90 s are before its time";
    rig.poller.start();
    rig.clock.advance(30s);
    rig.poller.stop();
    EXPECT_EQ(rig.machine.restarts(), 1);
    EXPECT_TRUE(rig.settings.scheduledActions().isEmpty());
}

} // namespace
