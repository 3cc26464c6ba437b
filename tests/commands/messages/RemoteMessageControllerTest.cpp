#include "../payload/PayloadRig.h"

#include "LogCapture.h"
#include "commands/FleetAPICommandChannel.h"
#include "commands/messages/RemoteMessageController.h"
#include "commands/messages/RemoteMessagePresenter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

using namespace std::chrono_literals;

// Records what would be on screen; `dismiss` is the panel's Dismiss button.
struct ScreenLog {
    std::optional<RemoteMessage> shown;
    QString sentText;
    std::function<void()> dismiss;
    int withdrawals = 0;
    std::optional<QString> noScreen; // what present() answers: why nothing is on screen
};

class FakePresenter final : public RemoteMessagePresenter {
public:
    explicit FakePresenter(ScreenLog &log) : m_log(log) {}
    std::optional<QString> present(const RemoteMessage &message, const QString &sentText,
                                   std::function<void()> dismiss) override
    {
        m_log.shown = message;
        m_log.sentText = sentText;
        m_log.dismiss = std::move(dismiss);
        return m_log.noScreen;
    }
    void withdraw() override
    {
        m_log.shown.reset();
        ++m_log.withdrawals;
    }

private:
    ScreenLog &m_log;
};

struct MessageRig : FleetRig {
    FleetAPICommandChannel results{api};
    ScreenLog screen;
    std::unique_ptr<RemoteMessageController> controller = make(true);

    std::unique_ptr<RemoteMessageController> make(bool display)
    {
        return std::make_unique<RemoteMessageController>(RemoteMessageController::Dependencies{
            settings, results, clock, display ? std::make_unique<FakePresenter>(screen) : nullptr});
    }
    CommandResult show(qint64 id, QMap<QString, QString> params) { return controller->showMessage(id, params); }
};

TEST(RemoteMessage, ShowReadsTheCommandsParameters)
{
    const struct {
        const char *name;
        QMap<QString, QString> params;
        bool dismissable;
        std::optional<QString> title;
    } cases[] = {
        {"no dismissable value", {{"message", " Doors open at 6 \n"}}, true, std::nullopt},
        {"false", {{"message", "m"}, {"dismissable", "false"}}, false, std::nullopt},
        {"FALSE", {{"message", "m"}, {"dismissable", "FALSE"}}, false, std::nullopt},
        {"no", {{"message", "m"}, {"dismissable", "no"}}, true, std::nullopt},
        {"0", {{"message", "m"}, {"dismissable", "0"}}, true, std::nullopt},
        {"title trimmed", {{"message", "m"}, {"title", "  Heads up "}}, true, QString("Heads up")},
        {"blank title", {{"message", "m"}, {"title", "   "}}, true, std::nullopt},
    };
    for (const auto &c : cases) {
        MessageRig rig;
        const CommandResult result = rig.show(41, c.params);
        EXPECT_EQ(result, CommandResult::ok(c.dismissable ? "Message displayed (dismissable)"
                                                          : "Message displayed (stays until cleared from the portal)"))
            << c.name;
        ASSERT_TRUE(rig.screen.shown) << c.name;
        EXPECT_EQ(rig.screen.shown->dismissable, c.dismissable) << c.name;
        EXPECT_EQ(rig.screen.shown->title, c.title) << c.name;
        EXPECT_EQ(rig.screen.shown->commandId, 41) << c.name;
        EXPECT_EQ(bool(rig.screen.dismiss), c.dismissable) << c.name << ": Dismiss offered only when allowed";
        EXPECT_EQ(rig.settings.activeRemoteMessage(), rig.screen.shown) << c.name;
    }
    MessageRig rig;
    EXPECT_EQ(rig.show(42, {{"message", " \n\t "}}), CommandResult::failure("Missing message parameter"));
    EXPECT_EQ(rig.show(42, {}), CommandResult::failure("Missing message parameter"));
    EXPECT_FALSE(rig.settings.activeRemoteMessage());
    EXPECT_FALSE(rig.screen.shown);
}

TEST(RemoteMessage, RestartShowsThePersistedMessageWithItsFirstReceiveTime)
{
    MessageRig rig;
    LogCapture log;
    rig.show(41, {{"message", "Doors open at 6"}, {"dismissable", "false"}});
    rig.controller.reset();
    rig.screen = {};
    rig.clock.advance(3h);

    rig.controller = rig.make(true);
    rig.controller->restoreMessage();

    ASSERT_TRUE(rig.screen.shown);
    EXPECT_EQ(rig.screen.shown->message, "Doors open at 6");
    EXPECT_EQ(rig.screen.sentText, "Mar 2, 2026 at 9:00 AM");
    EXPECT_EQ(log.count("Displaying admin message (locked)"), 2);
}

TEST(RemoteMessage, DismissAtTheMachineClearsAndReportsToTheFleet)
{
    MessageRig rig;
    rig.show(41, {{"message", "Doors open at 6"}});
    rig.clock.advance(5min);
    rig.http.expect("POST", "/api/device_command_result", 200);
    QSignalSpy reported(rig.controller.get(), &RemoteMessageController::dismissalReported);
    LogCapture log;

    rig.screen.dismiss();

    EXPECT_FALSE(rig.controller->activeMessage());
    EXPECT_FALSE(rig.settings.activeRemoteMessage());
    EXPECT_EQ(rig.screen.withdrawals, 1);
    ASSERT_TRUE(reported.count() == 1 || reported.wait(2000));
    EXPECT_EQ(reported.at(0).at(0).toBool(), true);
    const QJsonObject body = QJsonDocument::fromJson(rig.http.requests().at(0).body).object();
    EXPECT_EQ(body, (QJsonObject{{"command_id", 41}, {"success", true},
                                 {"result", "Dismissed on the machine at Mar 2, 2026 at 9:05 AM"}}));
    EXPECT_EQ(log.count("Admin message dismissed at the machine"), 1);
}

TEST(RemoteMessage, FailedDismissalReportIsOnlyLogged)
{
    MessageRig rig;
    rig.show(41, {{"message", "m"}});
    rig.http.expect("POST", "/api/device_command_result", 500);
    QSignalSpy reported(rig.controller.get(), &RemoteMessageController::dismissalReported);
    LogCapture log;

    rig.controller->dismissAtMachine();

    ASSERT_TRUE(reported.count() == 1 || reported.wait(2000));
    EXPECT_EQ(reported.at(0).at(0).toBool(), false);
    EXPECT_EQ(log.count("Message dismissal report failed: Server error (500)"), 1);
    EXPECT_FALSE(rig.screen.shown) << "the panel stays closed";
}

TEST(RemoteMessage, RemoteClearSendsNoReportAndAnswersTwice)
{
    MessageRig rig; // the scripted transport fails the test on any request
    rig.show(41, {{"message", "m"}});
    LogCapture log;
    EXPECT_EQ(rig.controller->clearMessage(), CommandResult::ok("Message cleared"));
    EXPECT_EQ(rig.controller->clearMessage(), CommandResult::ok("No message was on screen"));
    EXPECT_EQ(log.count("Admin message cleared remotely"), 1);
    EXPECT_FALSE(rig.settings.activeRemoteMessage());
    EXPECT_TRUE(rig.http.requests().empty());
}

TEST(RemoteMessage, ReplacedOrLockedMessagesIgnoreStaleDismissals)
{
    MessageRig rig;
    rig.show(41, {{"message", "first"}});
    const std::function<void()> staleButton = rig.screen.dismiss;
    rig.show(42, {{"message", "second"}, {"dismissable", "false"}});

    staleButton();
    rig.controller->dismissAtMachine();

    ASSERT_TRUE(rig.controller->activeMessage());
    EXPECT_EQ(rig.controller->activeMessage()->commandId, 42);
    EXPECT_TRUE(rig.http.requests().empty()) << "replacing a message sends no dismissal report";
}

TEST(RemoteMessage, HeadlessKeepsTheMessageForTheConsoleAndSaysItIsNotShown)
{
    MessageRig rig;
    rig.controller = rig.make(false);
    QSignalSpy changed(rig.controller.get(), &RemoteMessageController::activeMessageChanged);
    LogCapture log;

    EXPECT_EQ(rig.show(41, {{"message", "Doors open at 6"}, {"title", "Tonight"}}),
              CommandResult::failure("Message not shown: no display (the agent runs headless, on the \"offscreen\" platform)"))
        << "tests run on the offscreen platform";

    EXPECT_FALSE(rig.controller->hasDisplay());
    ASSERT_TRUE(rig.controller->activeMessage());
    EXPECT_EQ(rig.controller->activeMessage()->message, "Doors open at 6");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(log.count("Admin message kept without a display: Tonight — Doors open at 6"), 1);
    EXPECT_TRUE(rig.controller->clearRemotely());
    EXPECT_EQ(changed.count(), 2);
}

TEST(RemoteMessage, APresenterWithoutAScreenIsReportedButKeepsTheMessage)
{
    MessageRig rig;
    rig.screen.noScreen = "no screen is connected";
    EXPECT_EQ(rig.show(41, {{"message", "Doors open at 6"}}), CommandResult::failure("Message not shown: no screen is connected"));
    EXPECT_TRUE(rig.screen.shown) << "handed over, for when a screen comes";
    EXPECT_TRUE(rig.settings.activeRemoteMessage());
}

} // namespace
} // namespace vesk::test
