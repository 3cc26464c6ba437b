// The agent's status line and its menu, offscreen and without a tray: what the line says for
// each state, that it follows the services, the heartbeat and the pairing, and that "Open Vesk
// Warden" opens a window whose closing leaves the agent running; a pause from the menu asks
// for the pause password when one is set.
#include "../policy/PolicyRig.h"
#include "FleetTestRig.h"

#include "app/AgentMenu.h"
#include "app/AgentStatusModel.h"
#include "app/AgentWindow.h"
#include "app/PauseMenu.h"
#include "local/AppLock.h"
#include "local/SystemPermissions.h"
#include "platform/AccessProbe.h"
#include "app/VeskWardenApp.h"
#include "app/WardenHeartbeatManager.h"
#include "credentials/CredentialManager.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>

using namespace std::chrono_literals;
using namespace vesk;

namespace {

const QString kCode = QStringLiteral("9f3c2a7be1d04c65a8f7e2b1c9d0a3f4e5b6c7d8e9f0a1b2c3d4e5f6a7b8c9d0");

// The services over the fleet fakes, with the status model and the menu on top.
struct MenuRig {
    test::FleetTestRig fleet;
    CredentialManager credentials{fleet.defaults, fleet.clock, fleet.http,
                                  PlatformPaths::underRoot(fleet.tempRoot.path()),
                                  QUrl(QStringLiteral("https://upload.invalid/upload/"))};
    WardenHeartbeatManager heartbeat{{fleet.settings, credentials, fleet.secrets.flags(), fleet.http, fleet.clock,
                                      fleet.identity, QStringLiteral("https://fleet.example.com/api/heartbeat"), {}}};
    VeskWardenApp app{fleet.settings, heartbeat, fleet.clock};
    AgentStatusModel status{app, heartbeat, fleet.secrets, fleet.clock};
    AgentMenu menu{app, status};

    // The window's lines: services, pairing and heartbeat.
    QStringList windowLines() const
    {
        QStringList lines;
        for (const char *name : {"services", "pairing", "heartbeat"}) {
            const QLabel *label = menu.window()->findChild<QLabel *>(QLatin1String(name));
            lines << (label ? label->text() : QStringLiteral("(no label)"));
        }
        return lines;
    }
};

} // namespace

TEST(AgentStatus, SummaryNamesTheMostPressingProblem)
{
    using Kind = PairingStatus::Kind;
    const QDateTime at(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());
    const HeartbeatOutcome delivered{at, true, {}};
    const HeartbeatOutcome failed{at, false, QStringLiteral("HTTP 503")};
    const PairingStatus paired = PairingStatus::paired(QStringLiteral("9f3c2a7b"));
    const auto alert = [&](AlertSeverity severity, AlertCategory category, const char *title) {
        return WardenAlert::make(severity, category, title, {}, "C02X", at);
    };
    const WardenAlert uptime = alert(AlertSeverity::info, AlertCategory::uptime, "Extended Uptime");
    const WardenAlert cpu = alert(AlertSeverity::warning, AlertCategory::cpu, "High CPU Usage");
    const WardenAlert disk = alert(AlertSeverity::critical, AlertCategory::disk, "Disk Almost Full");
    const WardenAlert hung = alert(AlertSeverity::critical, AlertCategory::appHung, "Booth Not Responding");
    struct Case {
        const char *name;
        AgentStatus status;
        QString want;
    } cases[] = {
        {"stopped services come first", {false, PairingStatus::of(Kind::revoked), failed, {}}, "Services stopped"},
        {"stopped before anything is known", {false, std::nullopt, std::nullopt, {}}, "Services stopped"},
        {"a failed beat before the pairing", {true, PairingStatus::of(Kind::notPaired), failed, {}},
         "Last heartbeat failed: HTTP 503"},
        {"a failed beat while paired", {true, paired, failed, {}}, "Last heartbeat failed: HTTP 503"},
        {"not paired", {true, PairingStatus::of(Kind::notPaired), delivered, {}}, "Not paired with a fleet"},
        {"revoked", {true, PairingStatus::of(Kind::revoked), delivered, {}},
         "This device was revoked by your administrator"},
        {"secret changed", {true, PairingStatus::of(Kind::needsReentry), delivered, {}},
         "Fleet secret changed — re-pair required"},
        {"serial unknown", {true, PairingStatus::of(Kind::serialUnknown), std::nullopt, {}},
         "This Mac isn't registered yet"},
        {"tenant without a secret", {true, PairingStatus::of(Kind::tenantHasNoSecret), delivered, {}},
         "No fleet secret for this account yet"},
        {"paired and delivered", {true, paired, delivered, {}}, "All systems are operating normally."},
        {"pairing not read yet, no beat yet", {true, std::nullopt, std::nullopt, {}},
         "All systems are operating normally."},
        {"one active alert before the pairing", {true, PairingStatus::of(Kind::notPaired), delivered, {uptime}},
         "Extended Uptime"},
        {"the most severe of several alerts", {true, paired, delivered, {uptime, cpu, disk, hung}},
         "Disk Almost Full (+3 more alerts)"},
        {"stopped services still come first", {false, paired, delivered, {disk}}, "Services stopped"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.status.summary(), c.want) << c.name;
}

TEST(AgentMenu, StatusLineFollowsTheAgentAndOpenShowsAWindowThatClosesWithoutQuitting)
{
    MenuRig rig;
    QAction *line = rig.menu.statusAction();
    EXPECT_FALSE(line->isEnabled());
    EXPECT_EQ(line->text(), "Services stopped");
    EXPECT_TRUE(rig.menu.startAction()->isVisible());

    rig.fleet.setTenant("abc");
    rig.fleet.storeSecret("abc", kCode, 7, "9f3c2a7b");
    rig.fleet.http.expect("POST", "/api/heartbeat", 503).expect("POST", "/api/heartbeat", 200);
    rig.menu.startAction()->trigger();
    EXPECT_EQ(line->text(), "Last heartbeat failed: HTTP 503") << "the first beat goes out at once";
    EXPECT_FALSE(rig.menu.startAction()->isVisible());
    rig.fleet.clock.advance(900s);
    EXPECT_EQ(line->text(), "All systems are operating normally.");

    // The keychain announces nothing: the menu reads the pairing again when it opens.
    ASSERT_TRUE(QCoro::waitFor(rig.fleet.secrets.wipe("abc")));
    emit rig.menu.menu()->aboutToShow();
    EXPECT_EQ(line->text(), "Not paired with a fleet");

    ASSERT_EQ(rig.menu.window(), nullptr);
    rig.menu.openAction()->trigger();
    AgentWindow *window = rig.menu.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Vesk Warden");
    EXPECT_EQ(rig.windowLines(), (QStringList{"Running", "Not paired with a fleet", "Delivered at 2026-03-02 09:15"}));

    // Qt announces a last window closing only inside exec(), so the attribute that decides it is checked.
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose)) << "closing the window must never quit the agent";
    window->close();
    EXPECT_FALSE(window->isVisible());

    rig.app.stopServices();
    rig.menu.openAction()->trigger();
    EXPECT_EQ(rig.menu.window(), window) << "one window, shown again";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(rig.windowLines().at(0), "Stopped");
    EXPECT_EQ(line->text(), "Services stopped");
}

TEST(AgentMenu, PermissionLineNamesWhatIsMissingAndChoosingAnItemChecksAgain)
{
    // The application folder refuses a replacement until the operator fixes it.
    struct Probe final : AccessProbe {
        int replace = EACCES;
        int tryReplaceIn(const QString &) const override { return replace; }
        int tryRead(const QString &) const override { return 0; }
    } probe;
    MenuRig rig;
    SystemPermissions permissions({probe, {"/opt/apps"}, "/home/ana", {}, {}, "com.lumora.VESK-Warden", {}});
    EXPECT_TRUE(rig.menu.permissionsGranted()) << "nothing is missing before a check";
    const auto texts = [&rig] {
        QStringList lines;
        for (const QAction *action : rig.menu.permissionActions())
            lines << action->text();
        return lines;
    };
    rig.menu.attachPermissions(permissions);
    QCoro::waitFor(permissions.refresh());
    EXPECT_EQ(texts(), (QStringList{"Grant App Management…", "Repair Permissions…"}));
    EXPECT_FALSE(rig.menu.permissionsGranted());
    const QList<QAction *> all = rig.menu.menu()->actions();
    EXPECT_EQ(all.indexOf(rig.menu.permissionActions().last()) + 1, all.indexOf(rig.menu.openAction()))
        << "the permission line sits above \"Open Vesk Warden\"";
    EXPECT_TRUE(rig.menu.permissionActions().first()->toolTip().contains("blocked a test write into /opt/apps"));

    probe.replace = 0;
    QSignalSpy changed(&rig.menu, &AgentMenu::permissionsChanged);
    rig.menu.permissionActions().first()->trigger();
    // The check may be over before trigger() returns, when its worker thread wins the race.
    ASSERT_TRUE(!changed.isEmpty() || changed.wait(10000)) << "choosing the item checks again";
    EXPECT_EQ(texts(), QStringList{"Permissions: granted"});
    EXPECT_FALSE(rig.menu.permissionActions().first()->isEnabled());
    EXPECT_TRUE(rig.menu.permissionsGranted());
}

namespace {

struct PauseCase {
    const char *name;
    std::optional<QString> password; // none: no pause password is set
    std::optional<QString> typed;    // none: the prompt is cancelled
    bool paused;
    bool refused;
};

TEST(PauseMenuTest, APauseFromTheMenuAsksForThePausePasswordWhenOneIsSet)
{
    const PauseCase cases[] = {
        {"no pause password: no prompt", std::nullopt, std::nullopt, true, false},
        {"the right password", QStringLiteral("booth-4"), QStringLiteral("booth-4"), true, false},
        {"a wrong password", QStringLiteral("booth-4"), QStringLiteral("booth-5"), false, true},
        {"the prompt cancelled", QStringLiteral("booth-4"), std::nullopt, false, false},
    };
    for (const PauseCase &c : cases) {
        SCOPED_TRACE(c.name);
        test::PolicyRig rig;
        AppLock locks(rig.keychain, rig.defaults, QStringLiteral("com.lumora.warden"), PasswordHashCost::minimum());
        if (c.password) {
            ASSERT_TRUE(QCoro::waitFor(locks.changePassword(LockScope::pause, {}, *c.password, *c.password)).done);
        }
        int asked = 0;
        int refused = 0;
        QMenu menu;
        QAction *quit = menu.addAction(QStringLiteral("Quit"));
        const PauseMenu pause(*rig.engine, menu, quit, &locks,
                              {[&] {
                                   ++asked;
                                   return c.typed;
                               },
                               [&] { ++refused; }});
        QMenu *durations = nullptr;
        for (QAction *action : menu.actions()) {
            if (action->menu())
                durations = action->menu();
        }
        ASSERT_NE(durations, nullptr);
        QAction *quarter = nullptr;
        for (QAction *action : durations->actions()) {
            if (action->text() == QStringLiteral("15 minutes"))
                quarter = action;
        }
        ASSERT_NE(quarter, nullptr);
        quarter->trigger();
        // Checking a password runs on a worker: wait for the outcome the case expects, then
        // let anything still queued run before looking at the rest.
        const bool settled = QTest::qWaitFor(
            [&] { return c.paused ? rig.engine->isPaused() : c.refused ? refused > 0 : asked > 0; }, 5000);
        EXPECT_TRUE(settled);
        QCoreApplication::processEvents();
        EXPECT_EQ(rig.engine->isPaused(), c.paused);
        EXPECT_EQ(asked, c.password ? 1 : 0);
        EXPECT_EQ(refused, c.refused ? 1 : 0);
    }
}

} // namespace
