#include "LogCapture.h"
#include "PollerRig.h"

#include "commands/PinnedVersions.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vesk;
using namespace vesk::test;
using namespace std::chrono_literals;

namespace {

const QString kiosk = PollerRig::kiosk;

RestartOutcome refused(int number, QString message)
{
    return RestartOutcome{RestartOutcome::Status::failed, number, std::move(message)};
}

struct DispatchCase {
    const char *name;
    QString command;
    QMap<QString, AnyCodable> params;
    std::function<void(PollerRig &)> arrange;
    CommandResult want;
};

// Every command name, its parameter mistakes and its texts, as the fleet sees them.
TEST(CommandDispatch, AnswersEveryCommandWithItsText)
{
    const auto none = [](PollerRig &) {};
    const auto installed = [](PollerRig &rig) { rig.workspace.install(kiosk); };
    const auto running = [](PollerRig &rig) {
        rig.workspace.install(kiosk);
        rig.workspace.addRunning(kiosk);
    };
    const std::vector<DispatchCase> cases = {
        {"restart", "restart", {}, none, CommandResult::ok("Restart initiated")},
        {"restart refused", "restart", {}, [](PollerRig &rig) { rig.machine.setOutcome(refused(3, "Access denied")); },
         CommandResult::failure("Restart failed (3): Access denied")},
        {"restart refused without words", "restart", {}, [](PollerRig &rig) { rig.machine.setOutcome(refused(0, {})); },
         CommandResult::failure("Restart failed (0): Unknown")},
        {"restart not configured", "restart", {},
         [](PollerRig &rig) { rig.machine.setOutcome({RestartOutcome::Status::notCreated, 0, {}}); },
         CommandResult::failure("Failed to create restart script")},
        {"quit running", "quit_app", {{"bundle_id", kiosk}}, running, CommandResult::ok("Quit " + kiosk)},
        {"quit not running", "quit_app", {{"bundle_id", kiosk}}, installed, CommandResult::failure("App not running: " + kiosk)},
        {"quit without id", "quit_app", {}, running, CommandResult::failure("Missing bundle_id parameter")},
        {"quit with empty id", "quit_app", {{"bundle_id", ""}}, running, CommandResult::failure("Missing bundle_id parameter")},
        {"launch", "launch_app", {{"bundle_id", kiosk}}, installed, CommandResult::ok("Launched " + kiosk)},
        {"launch not installed", "launch_app", {{"bundle_id", kiosk}}, none, CommandResult::failure("Failed to launch: " + kiosk)},
        {"launch that fails", "launch_app", {{"bundle_id", kiosk}},
         [](PollerRig &rig) { rig.workspace.failOpening(rig.workspace.install(kiosk), "Exec format error"); },
         CommandResult::failure("Failed to launch: " + kiosk)},
        {"launch without id", "launch_app", {}, installed, CommandResult::failure("Missing bundle_id parameter")},
        {"restart app without id", "restart_app", {}, running, CommandResult::failure("Missing bundle_id parameter")},
        {"restart app not installed", "restart_app", {{"bundle_id", kiosk}}, none,
         CommandResult::failure("Failed to restart: " + kiosk + " (not installed)")},
        {"restart app that does not quit", "restart_app", {{"bundle_id", kiosk}},
         [](PollerRig &rig) {
             rig.workspace.install(kiosk);
             rig.workspace.addRunning(kiosk);
             rig.workspace.quitsOnTerminate = false;
         },
         CommandResult::ok("Restarted " + kiosk)},
        {"update without service", "update_app", {{"bundle_id", kiosk}}, none, CommandResult::failure("Update service not available")},
        {"update without id", "update_app", {}, none, CommandResult::failure("Missing bundle_id parameter")},
        {"schedule update", "schedule_update", {{"bundle_id", kiosk}, {"scheduled_at", "2026-03-05T22:00:00+01:00"}}, none,
         CommandResult::ok("Update scheduled for " + kiosk + " at 2026-03-05T22:00:00+01:00")},
        {"schedule update without time", "schedule_update", {{"bundle_id", kiosk}}, none,
         CommandResult::failure("Missing bundle_id or scheduled_at")},
        {"schedule update at no time", "schedule_update", {{"bundle_id", kiosk}, {"scheduled_at", "next Tuesday"}}, none,
         CommandResult::failure("Invalid scheduled_at date")},
        {"pin", "pin_version", {{"bundle_id", kiosk}, {"version", "2.1"}}, none, CommandResult::ok("Pinned " + kiosk + " to v2.1")},
        {"pin a numeric version", "pin_version", {{"bundle_id", kiosk}, {"version", 3}}, none, CommandResult::ok("Pinned " + kiosk + " to v3")},
        {"pin without version", "pin_version", {{"bundle_id", kiosk}}, none, CommandResult::failure("Missing bundle_id or version")},
        {"unpin", "unpin_version", {{"bundle_id", kiosk}}, none, CommandResult::ok("Unpinned " + kiosk)},
        {"unpin without id", "unpin_version", {}, none, CommandResult::failure("Missing bundle_id")},
        {"logs, none", "collect_logs", {}, none, CommandResult::ok("No logs found")},
        {"logs", "collect_logs", {{"bundle_id", kiosk}}, [](PollerRig &rig) { rig.processes.setOutput("line one\n"); },
         CommandResult::ok("Collected 9 bytes of logs")},
        {"logs, quote in id", "collect_logs", {{"bundle_id", "com.x' OR subsystem != '"}}, none, CommandResult::failure("Invalid bundle_id")},
        {"logs, shell in id", "collect_logs", {{"bundle_id", "com.x;reboot"}}, none, CommandResult::failure("Invalid bundle_id")},
        {"logs, substitution in id", "collect_logs", {{"bundle_id", "$(reboot)"}}, none, CommandResult::failure("Invalid bundle_id")},
        {"logs, empty id", "collect_logs", {{"bundle_id", ""}}, none, CommandResult::failure("Invalid bundle_id")},
        {"report apps", "report_apps", {}, none, CommandResult::ok("Reported 12 installed apps")},
        {"report apps, upload fails", "report_apps", {}, [](PollerRig &rig) { rig.reports.appError = "HTTP 502"; },
         CommandResult::ok("Reported 12 installed apps")},
        {"show message", "show_message", {{"message", "Back at 3"}}, none, CommandResult::ok("Message displayed (dismissable)")},
        {"clear nothing", "clear_message", {}, none, CommandResult::ok("No message was on screen")},
        {"deploy", "deploy_payload", {{"payload_id", "42"}}, none, CommandResult::ok("Deployed 42")},
        {"deploy, signed id", "deploy_payload", {{"payload_id", "+7"}}, none, CommandResult::ok("Deployed 7")},
        {"deploy, numeric id", "deploy_payload", {{"payload_id", 9}}, none, CommandResult::ok("Deployed 9")},
        {"deploy, word id", "deploy_payload", {{"payload_id", "forty"}}, none,
         CommandResult::failure("Missing or invalid payload_id parameter")},
        {"deploy, fraction id", "deploy_payload", {{"payload_id", 1.5}}, none,
         CommandResult::failure("Missing or invalid payload_id parameter")},
        {"deploy, id past 64 bits", "deploy_payload", {{"payload_id", "99999999999999999999"}}, none,
         CommandResult::failure("Missing or invalid payload_id parameter")},
        {"deploy without id", "deploy_payload", {}, none, CommandResult::failure("Missing or invalid payload_id parameter")},
        {"restore", "restore_payload_backup", {}, none, CommandResult::failure("Missing target_path parameter")},
        {"unknown", "reboot_now", {}, none, CommandResult::failure("Unknown command: reboot_now")},
        {"names are exact", "Restart", {}, none, CommandResult::failure("Unknown command: Restart")},
    };
    for (const DispatchCase &tc : cases) {
        PollerRig rig;
        tc.arrange(rig);
        rig.pollWith({PollerRig::command(77, tc.command, tc.params)});
        ASSERT_EQ(rig.fleet.reports.size(), 1u) << tc.name;
        const auto &report = rig.fleet.reports.front();
        EXPECT_EQ(report.id, 77) << tc.name;
        EXPECT_EQ((CommandResult{report.success, report.result}), tc.want) << tc.name;
        // A rejected identifier never reaches the log tool.
        if (tc.want.message == "Invalid bundle_id") {
            EXPECT_TRUE(rig.processes.runs().empty()) << tc.name;
        }
    }
}

struct GateCase {
    const char *name;
    const char *switchOff;
    QString command;
    std::optional<QString> want; // none: the command ran
};

TEST(CommandDispatch, SwitchesRefuseTheirGroupsAndNothingElse)
{
    const QMap<QString, AnyCodable> params{{"bundle_id", kiosk}, {"payload_id", "5"}, {"target_path", "/srv/x"},
                                          {"scheduled_at", "2026-03-05T10:00:00Z"}, {"version", "1.0"}};
    const QString appOff = "App management disabled on this machine";
    const std::vector<GateCase> cases = {
        {"restart", "remoteCommandsEnabled", "restart", "Remote restart disabled on this machine"},
        {"quit", "appManagementEnabled", "quit_app", appOff},
        {"launch", "appManagementEnabled", "launch_app", appOff},
        {"restart app", "appManagementEnabled", "restart_app", appOff},
        {"update", "appManagementEnabled", "update_app", appOff},
        {"deploy", "appManagementEnabled", "deploy_payload", appOff},
        {"restore", "appManagementEnabled", "restore_payload_backup", appOff},
        {"restart is not app management", "appManagementEnabled", "restart", std::nullopt},
        {"schedule update is not gated", "appManagementEnabled", "schedule_update", std::nullopt},
        {"pins are not gated", "appManagementEnabled", "pin_version", std::nullopt},
        {"apps are not remote restart", "remoteCommandsEnabled", "quit_app", std::nullopt},
    };
    for (const GateCase &tc : cases) {
        PollerRig rig;
        rig.workspace.install(kiosk);
        rig.workspace.addRunning(kiosk);
        rig.defaults.setValue(tc.switchOff, false);
        rig.pollWith({PollerRig::command(5, tc.command, params)});
        ASSERT_EQ(rig.fleet.reports.size(), 1u) << tc.name;
        const auto &report = rig.fleet.reports.front();
        if (tc.want) {
            EXPECT_EQ((CommandResult{report.success, report.result}), CommandResult::failure(*tc.want)) << tc.name;
            // Refused means untouched: no restart, no signal, no payload, no follow-up reports.
            EXPECT_EQ(rig.machine.restarts(), 0) << tc.name;
            EXPECT_TRUE(rig.workspace.terminated().isEmpty()) << tc.name;
            EXPECT_TRUE(rig.workspace.opened().isEmpty()) << tc.name;
            EXPECT_TRUE(rig.payloads.deployed.empty() && rig.payloads.restored.empty()) << tc.name;
            EXPECT_EQ(rig.reports.appReports, 0) << tc.name;
        } else {
            EXPECT_TRUE(report.success) << tc.name << ": " << report.result.value_or("").toStdString();
        }
    }
}

TEST(CommandDispatch, PinsKeepTheOtherEntriesAndUpdatesUseThem)
{
    PollerRig rig;
    FakeUpdates updates;
    updates.available = {offer("com.lumora.Print", "3.0"), offer(kiosk, "2.0"), offer(kiosk, "2.5")};
    rig.poller.setUpdateCommands(&updates);
    PinnedVersions::write(rig.defaults, {{"com.lumora.Print", "2.9"}});

    rig.pollWith({PollerRig::command(1, "pin_version", {{"bundle_id", kiosk}, {"version", "2.0"}}),
                  PollerRig::command(2, "update_app", {{"bundle_id", kiosk}}),
                  PollerRig::command(3, "unpin_version", {{"bundle_id", "com.lumora.Print"}}),
                  PollerRig::command(4, "update_app", {{"bundle_id", "com.lumora.Capture"}})});

    ASSERT_EQ(updates.installs.size(), 1u);
    EXPECT_EQ(updates.installs[0].first.version, "2.0") << "the first entry for the app is installed";
    const QMap<QString, QString> bothPins{{"com.lumora.Print", "2.9"}, {kiosk, "2.0"}};
    EXPECT_EQ(updates.installs[0].second, bothPins);
    EXPECT_EQ(PinnedVersions::read(rig.defaults), (QMap<QString, QString>{{kiosk, "2.0"}}));
    EXPECT_EQ(rig.fleet.reports[1], (FakeCommandChannel::Report{2, true, "Updated"}));
    EXPECT_EQ(rig.fleet.reports[3], (FakeCommandChannel::Report{4, false, "No update available for com.lumora.Capture"}));

    // A dictionary holding anything but text counts as empty, and is replaced whole.
    rig.defaults.setValue(PinnedVersions::key, QVariantMap{{"com.lumora.Print", 3}, {kiosk, "2.0"}});
    rig.pollWith({PollerRig::command(5, "pin_version", {{"bundle_id", "com.lumora.Edit"}, {"version", "1.1"}})});
    EXPECT_EQ(PinnedVersions::read(rig.defaults), (QMap<QString, QString>{{"com.lumora.Edit", "1.1"}}));
}

TEST(CommandDispatch, MessagesGetTheirParametersAsText)
{
    PollerRig rig;
    rig.pollWith({PollerRig::command(31, "show_message", {{"message", "Closing at 6"}, {"dismissable", false}}),
                  PollerRig::command(32, "clear_message")});
    EXPECT_EQ(rig.messages.shownBy, 31);
    EXPECT_EQ(rig.fleet.reports[1], (FakeCommandChannel::Report{32, true, "Message cleared"}));
    EXPECT_FALSE(rig.messages.shown.has_value());
    rig.pollWith({PollerRig::command(33, "show_message", {{"message", "x"}, {"dismissable", false}})});
    EXPECT_EQ(rig.messages.shown->value("dismissable"), "false");
}

} // namespace
