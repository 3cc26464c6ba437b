#include "LogCapture.h"
#include "PollerRig.h"
#include "commands/AppActions.h"
#include "commands/LogCollector.h"
#include "commands/RecentCommands.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;
using namespace std::chrono_literals;

namespace {

const QString kiosk = PollerRig::kiosk;

TEST(CommandPoller, PollsNothingWhileReportingIsOffButStillMarksThePoll)
{
    PollerRig rig;
    rig.defaults.setValue("fleetReportingEnabled", false);
    rig.clock.advance(5s);
    QCoro::waitFor(rig.poller.pollOnce());
    EXPECT_EQ(rig.fleet.fetches, 0);
    EXPECT_EQ(rig.poller.lastPoll(), rig.clock.now());
}

TEST(CommandPoller, KeepsPollingAtItsIntervalThroughFailures)
{
    PollerRig rig;
    LogCapture log;
    rig.fleet.queueFailure("The network connection was lost.");
    rig.fleet.queueFailure("The request timed out.");
    rig.fleet.failReports(true);
    rig.fleet.queue({PollerRig::command(1, "launch_app", {{"bundle_id", kiosk}})});

    rig.poller.start();
    EXPECT_TRUE(rig.poller.isPolling());
    EXPECT_EQ(rig.fleet.fetches, 1) << "the first poll is at once";
    EXPECT_EQ(rig.messages.restores, 1) << "a persisted message is back on screen at start";
    rig.clock.advance(29s);
    EXPECT_EQ(rig.fleet.fetches, 1);
    rig.clock.advance(1s);
    EXPECT_EQ(rig.fleet.fetches, 2);
    rig.clock.advance(30s);
    EXPECT_EQ(rig.fleet.fetches, 3);
    EXPECT_EQ(rig.fleet.reports.size(), 1u) << "the command of the third poll was answered";
    EXPECT_EQ(log.messages("fleet").filter("Command poll failed: ").size(), 2);
    EXPECT_EQ(log.count("Command result report failed: HTTP 500"), 1);

    rig.defaults.setValue("lowDataMode", true);
    rig.clock.advance(30s); // this interval was chosen before lowDataMode went on
    EXPECT_EQ(rig.fleet.fetches, 4);
    rig.clock.advance(119s);
    EXPECT_EQ(rig.fleet.fetches, 4) << "120 s between polls in low-data mode";
    rig.clock.advance(1s);
    EXPECT_EQ(rig.fleet.fetches, 5);

    rig.poller.stop();
    EXPECT_EQ(rig.clock.sleeperCount(), 0u) << "stop ends both loops";
    rig.clock.advance(10min);
    EXPECT_EQ(rig.fleet.fetches, 5);
}

TEST(CommandPoller, RelaxesToFiveMinutesWhileThePushChannelIsUp)
{
    PollerRig rig;
    rig.poller.start();
    rig.poller.setPushConnected(true);
    rig.clock.advance(270s);
    EXPECT_EQ(rig.fleet.fetches, 1) << "no poll within 300 s of the last while pushes arrive";
    rig.clock.advance(30s);
    EXPECT_EQ(rig.fleet.fetches, 2) << "the safety net still polls every 5 minutes";
    QCoro::waitFor(rig.poller.pollOnce()); // a push
    EXPECT_EQ(rig.fleet.fetches, 3);
    rig.poller.setPushConnected(false);
    rig.clock.advance(30s);
    EXPECT_EQ(rig.fleet.fetches, 4) << "a dropped channel brings the 30 s period back at the next wake";

    rig.defaults.setValue("lowDataMode", true);
    rig.poller.setPushConnected(true);
    rig.clock.advance(30s); // the interval chosen before low-data mode went on
    rig.clock.advance(840s);
    EXPECT_EQ(rig.fleet.fetches, 4) << "in low-data mode the safety net polls every 15 minutes";
    rig.clock.advance(120s);
    EXPECT_EQ(rig.fleet.fetches, 5);
    rig.poller.stop();
}

TEST(CommandPoller, RunsCommandsInOrderAndReportsBeforeTheFollowUpReports)
{
    PollerRig rig;
    LogCapture log;
    rig.workspace.install(kiosk);
    rig.reports.telemetryError = "HTTP 503";
    rig.pollWith({PollerRig::command(1, "launch_app", {{"bundle_id", kiosk}}),
                  PollerRig::command(2, "quit_app", {{"bundle_id", "com.lumora.Absent"}}),
                  PollerRig::command(3, "report_apps")});

    ASSERT_EQ(rig.fleet.reports.size(), 3u);
    EXPECT_EQ(rig.fleet.reports[0], (FakeCommandChannel::Report{1, true, "Launched " + kiosk}));
    EXPECT_EQ(rig.fleet.reports[1].id, 2);
    EXPECT_EQ(rig.fleet.reports[2].id, 3);
    EXPECT_EQ(rig.poller.lastCommand(), "report_apps");
    EXPECT_EQ(rig.poller.lastPoll(), rig.clock.now());
    // Only the successful launch is followed by reports (plus report_apps' own).
    EXPECT_EQ(rig.reports.appReports, 2);
    EXPECT_EQ(rig.reports.telemetryReports, 1);
    EXPECT_EQ(rig.reports.resultsBeforeTelemetry, (std::vector<std::size_t>{1})) << "the result goes out first";
    EXPECT_EQ(log.count("Post-command telemetry report failed: HTTP 503"), 1);
}

TEST(CommandPoller, FollowUpReportsWaitOneSecondAndSkipTelemetryWithoutAMonitor)
{
    PollerRig rig;
    rig.workspace.install(kiosk);
    rig.reports.monitorAttached = false;
    rig.fleet.queue({PollerRig::command(1, "launch_app", {{"bundle_id", kiosk}})});
    auto poll = rig.poller.pollOnce();
    EXPECT_EQ(rig.fleet.reports.size(), 1u);
    rig.clock.advance(999ms);
    EXPECT_EQ(rig.reports.appReports, 0);
    rig.clock.advance(1ms);
    QCoro::waitFor(poll);
    EXPECT_EQ(rig.reports.appReports, 1);
    EXPECT_EQ(rig.reports.telemetryReports, 0);
}

struct AppRestartCase {
    const char *name;
    std::function<void(FakeWorkspace &)> arrange;
    bool running;                         // the app runs when the restart begins
    std::chrono::milliseconds launchedAt; // on the clock, since the restart began
    bool forced;                          // its old process was ended
    std::chrono::milliseconds took;
    CommandResult want;
};

// An app's restart from the quit request to the new process, on virtual time.
TEST(AppActions, RestartEndsWithANewProcessOrSaysWhyNot)
{
    const auto none = [](FakeWorkspace &) {};
    const std::vector<AppRestartCase> cases = {
        {"quits at once", none, true, 0s, false, 0s, CommandResult::ok("Restarted " + kiosk)},
        {"quits slowly", [](FakeWorkspace &ws) { ws.quitsAfter(5s); }, true, 5s, false, 5s,
         CommandResult::ok("Restarted " + kiosk)},
        {"ignores the quit request", [](FakeWorkspace &ws) { ws.quitsOnTerminate = false; }, true, 10s, true, 10s,
         CommandResult::ok("Restarted " + kiosk)},
        {"not running", none, false, 0s, false, 0s, CommandResult::ok("Restarted " + kiosk)},
        {"launch fails", [](FakeWorkspace &ws) { ws.failOpening(*ws.applicationPath(kiosk), "Exec format error"); },
         true, 0s, false, 0s, CommandResult::failure("Failed to restart: " + kiosk + " (launch failed: Exec format error)")},
        {"new process never shows", [](FakeWorkspace &ws) { ws.launchesVanish = true; }, true, 0s, false, 5s,
         CommandResult::failure("Failed to restart: " + kiosk + " (no new process within 5 s of the launch)")},
    };
    for (const AppRestartCase &tc : cases) {
        ManualClock clock;
        FakeWorkspace workspace;
        workspace.useClock(clock);
        workspace.install(kiosk);
        const qint32 old = tc.running ? workspace.addRunning(kiosk) : 0;
        tc.arrange(workspace);
        const QDateTime began = clock.now();

        auto restart = AppActions(workspace, clock).restartApp(kiosk, {});
        if (tc.launchedAt > 0s) {
            clock.advance(tc.launchedAt - 1ms);
            EXPECT_TRUE(workspace.opened().isEmpty()) << tc.name << ": launched while the old process may still run";
            clock.advance(1ms);
        }
        EXPECT_EQ(workspace.opened().size(), 1) << tc.name;
        while (!restart.isReady() && clock.sleeperCount() > 0)
            clock.advance(clock.nextWakeIn());
        ASSERT_TRUE(restart.isReady()) << tc.name;
        EXPECT_EQ(QCoro::waitFor(restart), tc.want) << tc.name;
        EXPECT_EQ(std::chrono::milliseconds(began.msecsTo(clock.now())), tc.took) << tc.name;
        EXPECT_EQ(workspace.terminated(), tc.running ? QList<qint32>{old} : QList<qint32>{}) << tc.name;
        EXPECT_EQ(workspace.forceTerminated(), tc.forced ? QList<qint32>{old} : QList<qint32>{}) << tc.name;
        if (tc.want.success) {
            ASSERT_EQ(workspace.running.size(), 1) << tc.name;
            EXPECT_NE(workspace.running[0].pid, old) << tc.name;
        }
    }
}

// A deferred restart goes the same way: an app that ignores the quit request still comes back.
TEST(AppActions, DeferredRestartOfAnAppThatIgnoresTheQuitRequest)
{
    PollerRig rig;
    rig.workspace.install(kiosk);
    const qint32 old = rig.workspace.addRunning(kiosk);
    rig.workspace.quitsOnTerminate = false;
    rig.settings.setScheduledActions({{QUuid::createUuid(), "restart_app", kiosk, rig.clock.now()}});

    auto pass = rig.poller.runScheduledWork();
    rig.clock.advance(AppActions::quitTimeout);
    QCoro::waitFor(pass);
    EXPECT_EQ(rig.workspace.forceTerminated(), QList<qint32>{old});
    ASSERT_EQ(rig.workspace.running.size(), 1);
    EXPECT_NE(rig.workspace.running[0].pid, old);
}

TEST(CommandPoller, QuitsForAnAcceptedRestartOnlyOnceItsResultIsPosted)
{
    PollerRig rig;
    rig.fleet.slowReports(rig.clock, 5s);
    rig.fleet.queue({PollerRig::command(7, "restart")});
    auto poll = rig.poller.pollOnce();
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.machine.restarts(), 1);
    EXPECT_TRUE(rig.quitsAfterReports.empty()) << "the result is still on its way";
    rig.clock.advance(5s);
    QCoro::waitFor(poll);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.fleet.reports, (std::vector<FakeCommandChannel::Report>{{7, true, "Restart initiated"}}));
    EXPECT_EQ(rig.quitsAfterReports, std::vector<std::size_t>{1});
}

TEST(CommandPoller, APollAskedForDuringAPollFollowsIt)
{
    PollerRig rig;
    rig.workspace.install(kiosk);
    rig.workspace.addRunning(kiosk);
    rig.workspace.quitsAfter(2s);
    rig.fleet.queue({PollerRig::command(1, "restart_app", {{"bundle_id", kiosk}})});
    rig.fleet.queue({PollerRig::command(2, "quit_app", {{"bundle_id", kiosk}})});
    auto first = rig.poller.pollOnce(); // now waiting 2 s for the app to quit
    auto pushed = rig.poller.pollOnce();
    EXPECT_TRUE(pushed.isReady());
    EXPECT_EQ(rig.fleet.fetches, 1) << "no second fetch while a command runs";
    rig.clock.advance(2s);
    EXPECT_EQ(rig.fleet.reports.size(), 1u);
    rig.clock.advance(1s); // the follow-up reports of the restart
    EXPECT_EQ(rig.fleet.fetches, 2);
    rig.clock.advance(1s); // and of the quit
    QCoro::waitFor(first);
    ASSERT_EQ(rig.fleet.reports.size(), 2u);
    EXPECT_EQ(rig.fleet.reports[1], (FakeCommandChannel::Report{2, true, "Quit " + kiosk}));
    rig.clock.advance(2s);
    EXPECT_FALSE(rig.workspace.isRunning(kiosk)) << "the relaunched app took its time to quit as well";
}

struct DeferralCase {
    const char *name;
    QString command;
    QMap<QString, AnyCodable> params;
    CommandResult want;
    bool ranNow;
    int stored;
};

TEST(CommandPoller, DefersRestartsWithAFutureTime)
{
    // The clock stands at Monday 2026-03-02 09:00 UTC.
    const std::vector<DeferralCase> cases = {
        {"app, past", "restart_app", {{"bundle_id", kiosk}, {"scheduled_at", "2026-03-02T08:59:59Z"}},
         CommandResult::ok("Restarted " + kiosk), true, 0},
        {"app, now", "restart_app", {{"bundle_id", kiosk}, {"scheduled_at", "2026-03-02T09:00:00Z"}},
         CommandResult::ok("Restarted " + kiosk), true, 0},
        {"app, future", "restart_app", {{"bundle_id", kiosk}, {"scheduled_at", "2026-03-02T11:30:00+01:00"}},
         CommandResult::ok("Scheduled restart_app for " + kiosk + " at Mar 2, 2026 at 10:30 AM"), false, 1},
        {"app, future, no id", "restart_app", {{"scheduled_at", "2026-03-03T09:00:00Z"}},
         CommandResult::failure("Missing bundle_id parameter"), false, 0},
        {"machine, future", "restart", {{"scheduled_at", "2026-03-03T02:00:00Z"}},
         CommandResult::ok("Scheduled restart at Mar 3, 2026 at 2:00 AM"), false, 1},
        {"machine, past", "restart", {{"scheduled_at", "2026-03-01T02:00:00Z"}}, CommandResult::ok("Restart initiated"), true, 0},
        {"no zone", "restart", {{"scheduled_at", "2026-03-03T02:00:00"}},
         CommandResult::failure("Invalid scheduled_at date — use ISO8601"), false, 0},
        {"fractional seconds", "restart_app", {{"bundle_id", kiosk}, {"scheduled_at", "2026-03-03T02:00:00.000Z"}},
         CommandResult::failure("Invalid scheduled_at date — use ISO8601"), false, 0},
        {"a number", "restart", {{"scheduled_at", 1772500000}}, CommandResult::failure("Invalid scheduled_at date — use ISO8601"),
         false, 0},
        {"no such day", "restart", {{"scheduled_at", "2026-02-30T02:00:00Z"}},
         CommandResult::failure("Invalid scheduled_at date — use ISO8601"), false, 0},
    };
    for (const DeferralCase &tc : cases) {
        PollerRig rig;
        rig.workspace.install(kiosk);
        rig.pollWith({PollerRig::command(4, tc.command, tc.params)});
        ASSERT_EQ(rig.fleet.reports.size(), 1u) << tc.name;
        EXPECT_EQ((CommandResult{rig.fleet.reports[0].success, rig.fleet.reports[0].result}), tc.want) << tc.name;
        const bool ran = rig.machine.restarts() > 0 || !rig.workspace.opened().isEmpty();
        EXPECT_EQ(ran, tc.ranNow) << tc.name;
        const auto stored = rig.settings.scheduledActions();
        ASSERT_EQ(stored.size(), tc.stored) << tc.name;
        if (tc.stored == 1) {
            EXPECT_EQ(stored[0].command, tc.command) << tc.name;
            EXPECT_EQ(stored[0].bundleId, tc.params.contains("bundle_id") ? std::optional<QString>(kiosk) : std::nullopt);
            EXPECT_EQ(stored[0].at, QDateTime::fromString(tc.params.value("scheduled_at").string().value(), Qt::ISODate));
        }
    }
}

TEST(LogCollector, TailCountsCharactersAndNeverSplitsASurrogatePair)
{
    QString camera;
    camera.append(QChar(0xD83D)).append(QChar(0xDCF7)); // one character, two UTF-16 units
    QString text = QStringLiteral("head");
    for (int i = 0; i < LogCollector::maxCharacters; ++i)
        text += (i % 2) ? camera : QStringLiteral("l");

    const QString kept = LogCollector::keepTail(text);
    EXPECT_EQ(LogCollector::characterCount(kept), LogCollector::maxCharacters);
    EXPECT_EQ(kept.size(), LogCollector::maxCharacters * 3 / 2);
    EXPECT_EQ(kept.left(1), QStringLiteral("l")) << "the head is cut, the first kept character is whole";
    EXPECT_EQ(LogCollector::keepTail(camera), camera);
}

TEST(CommandPoller, CollectsTheTailOfTheLogAndUploadsIt)
{
    PollerRig rig;
    LogCapture log;
    const QByteArray head(10000, 'h');
    const QByteArray tail(50000, 't');
    rig.processes.setOutput(head + tail);
    rig.fleet.failUploads(true);
    rig.pollWith({PollerRig::command(6, "collect_logs", {{"bundle_id", kiosk}}), PollerRig::command(7, "collect_logs")});

    ASSERT_EQ(rig.fleet.uploads.size(), 2u);
    EXPECT_EQ(rig.fleet.uploads[0].first, kiosk);
    EXPECT_EQ(rig.fleet.uploads[0].second, QString::fromLatin1(tail)) << "the last 50 000 characters remain";
    EXPECT_EQ(rig.fleet.uploads[1].first, "system");
    EXPECT_EQ(rig.fleet.reports[0], (FakeCommandChannel::Report{6, true, "Collected 50000 bytes of logs"}));
    EXPECT_EQ(log.count("Log submission failed: HTTP 413"), 2) << "a failed upload is logged, not reported";
    EXPECT_EQ(rig.logQueries, (std::vector<std::optional<QString>>{kiosk, std::nullopt}));
    EXPECT_FALSE(rig.processes.runs()[0].options.captureStandardError);

    // A tool that cannot start leaves its reason as the log text.
    ToolOutcome missing;
    missing.errorText = "execvp: No such file or directory";
    rig.processes.setOutcome(missing);
    rig.pollWith({PollerRig::command(8, "collect_logs")});
    EXPECT_EQ(rig.fleet.uploads.back().second, "Failed to collect logs: execvp: No such file or directory");

    // Output that is not UTF-8 counts as none.
    rig.processes.setOutput("\xff\xfe\xfa");
    rig.pollWith({PollerRig::command(9, "collect_logs")});
    EXPECT_EQ(rig.fleet.reports.back(), (FakeCommandChannel::Report{9, true, "No logs found"}));
}

} // namespace

namespace {

TEST(CommandPoller, RunsACommandIdOnceAndAnswersARedeliveryWithoutRunningItAgain)
{
    PollerRig rig;
    rig.workspace.install(kiosk);
    // Command 9 started before a crash and never finished; the server hands it out again.
    RecentCommands(rig.storage.path()).started(9);

    rig.pollWith({PollerRig::command(7, "launch_app", {{"bundle_id", kiosk}}),
                  PollerRig::command(9, "launch_app", {{"bundle_id", kiosk}})});
    // The answer to the first poll was lost: the server hands command 7 out again.
    rig.pollWith({PollerRig::command(7, "launch_app", {{"bundle_id", kiosk}})});

    EXPECT_EQ(rig.workspace.opened().size(), 1) << "each id runs at most once";
    const FakeCommandChannel::Report launched{7, true, "Launched " + kiosk};
    const FakeCommandChannel::Report cutShort{
        9, false, "The agent stopped before this command finished; it was not run again."};
    EXPECT_EQ(rig.fleet.reports, (std::vector<FakeCommandChannel::Report>{launched, cutShort, launched}));
}

TEST(RecentCommands, SurvivesARestartAndKeepsOnlyTheNewestIds)
{
    QTemporaryDir dir;
    {
        // A list that grew past the bound (written whole here: one atomic write per entry is slow).
        QJsonArray entries;
        for (qint64 id = 1; id <= RecentCommands::kMaxEntries + 50; ++id)
            entries.append(QJsonObject{{"id", id}, {"success", true}, {"message", QStringLiteral("done %1").arg(id)}});
        QFile file(RecentCommands(dir.path()).path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(entries).toJson());
    }
    RecentCommands(dir.path()).started(1000);
    RecentCommands reread(dir.path());
    EXPECT_FALSE(reread.find(1)) << "the oldest ids make room";
    EXPECT_FALSE(reread.find(51));
    ASSERT_TRUE(reread.find(52));
    EXPECT_EQ(reread.find(52)->result, CommandResult::ok("done 52"));
    ASSERT_TRUE(reread.find(1000));
    EXPECT_FALSE(reread.find(1000)->result) << "started, never finished";

    // A damaged file is an empty list, not a failure, and the next write replaces it.
    QFile damaged(reread.path());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("{not json");
    damaged.close();
    RecentCommands fresh(dir.path());
    EXPECT_FALSE(fresh.find(1000));
    fresh.finished(5, CommandResult::failure("no"));
    EXPECT_EQ(RecentCommands(dir.path()).find(5)->result, CommandResult::failure("no"));
}

} // namespace
