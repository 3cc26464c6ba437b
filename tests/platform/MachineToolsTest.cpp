#include "commands/ComputerRestart.h"
#include "platform/linux/CommandMachineControl.h"
#include "platform/linux/JournalLogQuery.h"
#include "platform/linux/QtProcessRunner.h"

#include <QCoreApplication>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

using namespace vesk;
using namespace std::chrono_literals;

namespace {

TEST(QtProcessRunner, ReadsWhatAToolWritesAndHowItEnded)
{
    QtProcessRunner runner;
    const ToolInvocation tool{"sh", {"-c", "printf out; printf err >&2; exit 3"}};

    const ToolOutcome both = QCoro::waitFor(runner.run(tool));
    EXPECT_TRUE(both.started);
    EXPECT_EQ(both.exitCode, 3);
    EXPECT_FALSE(both.succeeded());
    EXPECT_EQ(both.standardOutput, "out");
    EXPECT_EQ(both.standardError, "err");

    ToolOptions quiet;
    quiet.captureStandardError = false;
    const ToolOutcome outOnly = QCoro::waitFor(runner.run(tool, quiet));
    EXPECT_EQ(outOnly.standardOutput, "out");
    EXPECT_TRUE(outOnly.standardError.isEmpty());

    // Far more than a pipe holds: the output is drained while the tool runs.
    const ToolOutcome big = QCoro::waitFor(runner.run({"head", {"-c", "3000000", "/dev/zero"}}));
    EXPECT_TRUE(big.succeeded());
    EXPECT_EQ(big.standardOutput.size(), 3000000);

    const ToolOutcome missing = QCoro::waitFor(runner.run({"/nonexistent/tool", {}}));
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.errorText.isEmpty());

    ToolOptions impatient;
    impatient.timeout = 100ms;
    const ToolOutcome hung = QCoro::waitFor(runner.run({"sleep", {"100"}}, impatient));
    EXPECT_TRUE(hung.timedOut);
    EXPECT_FALSE(hung.succeeded());
}

struct RestartCase {
    const char *name;
    QStringList command;
    CommandResult want;
};

// The restart command's failures as the fleet reads them. No case here restarts anything.
TEST(CommandMachineControl, TurnsTheRestartCommandsFailureIntoTheResultText)
{
    const std::vector<RestartCase> cases = {
        {"false", {"false"}, CommandResult::failure("Restart failed (1): Unknown")},
        {"refusal in words", {"sh", "-c", "echo 'Access denied' >&2; exit 4"},
         CommandResult::failure("Restart failed (4): Access denied")},
        {"no command", {}, CommandResult::failure("Failed to create restart script")},
        {"accepted", {"true"}, CommandResult{true, "Restart initiated", true}},
    };
    for (const RestartCase &tc : cases) {
        QtProcessRunner runner;
        CommandMachineControl machine(runner, tc.command);
        int quits = 0;
        const ComputerRestart restart(machine, [&quits] { ++quits; });
        EXPECT_EQ(QCoro::waitFor(restart.run()), tc.want) << tc.name;
        QCoreApplication::processEvents();
        EXPECT_EQ(quits, 0) << tc.name << ": quitting waits until the result is reported";
    }

    QtProcessRunner runner;
    CommandMachineControl missing(runner, {"/nonexistent/reboot"});
    const RestartOutcome outcome = QCoro::waitFor(missing.restartComputer());
    EXPECT_EQ(outcome.status, RestartOutcome::Status::failed);
    EXPECT_FALSE(outcome.errorMessage.isEmpty());
}

struct JournalCase {
    const char *name;
    std::optional<QString> bundleId;
    QStringList matches;
};

TEST(JournalLogQuery, NarrowsToTheAppWithExactMatches)
{
    const QStringList base{"--no-pager", "--quiet", "--output=short", "--since=-5min"};
    const std::vector<JournalCase> cases = {
        {"whole machine", std::nullopt, {}},
        {"family app", "com.lumora.Kiosk", {"SYSLOG_IDENTIFIER=com.lumora.Kiosk", "SYSLOG_IDENTIFIER=Kiosk", "+", "_COMM=Kiosk"}},
        {"long name is cut like the kernel's", "com.lumora.PrintStationManager",
         {"SYSLOG_IDENTIFIER=com.lumora.PrintStationManager", "SYSLOG_IDENTIFIER=PrintStationManager", "+", "_COMM=PrintStationMan"}},
        {"no dot", "kiosk", {"SYSLOG_IDENTIFIER=kiosk", "+", "_COMM=kiosk"}},
        {"empty last part adds nothing wider", "lumora.", {"SYSLOG_IDENTIFIER=lumora."}},
    };
    for (const JournalCase &tc : cases) {
        const ToolInvocation invocation = journalRecentLogInvocation(tc.bundleId);
        EXPECT_EQ(invocation.program, "journalctl") << tc.name;
        EXPECT_EQ(invocation.arguments, base + tc.matches) << tc.name;
    }
}

} // namespace
