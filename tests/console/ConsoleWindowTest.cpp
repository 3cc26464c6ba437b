// The console window offscreen over a scripted fleet: the detail area's empty, missing-machine
// and lock pages, the management lock hiding the machines, "focus this machine", the Policy
// Manager under the policy lock, the Fleet Management switches and the settings lock.
#include "ScriptedConsoleFleet.h"

#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "MemoryKeychainStore.h"
#include "console/BatchSheet.h"
#include "console/ConsoleWindow.h"
#include "console/MachineListModel.h"
#include "console/MachinePage.h"
#include "console/PolicyManagerPage.h"
#include "console/SettingsPage.h"
#include "local/AppLock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>

#include <gtest/gtest.h>

using namespace vesk;
using test::machine;

namespace {

struct WindowRig {
    test::ScriptedConsoleFleet fleet;
    test::MemoryDefaultsStore defaults;
    test::MemoryKeychainStore keychain;
    test::ManualClock clock;
    AppLock lock{keychain, defaults, QStringLiteral("com.lumora.warden"), PasswordHashCost::minimum()};

    std::unique_ptr<ConsoleWindow> open()
    {
        auto window = std::make_unique<ConsoleWindow>(
            ConsoleContext{fleet, defaults, lock, clock, QStringLiteral("C02-HERE")});
        window->present();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->directory().isLoading(); }, 5000));
        return window;
    }

    static QStringList listed(QListWidget *screens)
    {
        QStringList out;
        for (int row = 0; row < screens->count(); ++row)
            out.append(screens->item(row)->text());
        return out;
    }
};

} // namespace

TEST(ConsoleWindow, AMachineThatLeavesTheFleetWhileSelectedShowsMachineNotFound)
{
    WindowRig rig;
    rig.fleet.machinesAnswer = FleetMachineList{{machine("C02-HERE", "Front Desk"), machine("C02-B1", "Booth 1")}};
    auto window = rig.open();
    EXPECT_EQ(window->detailName(), QStringLiteral("Dashboard"));

    window->showMachine(QStringLiteral("C02-B1"));
    EXPECT_EQ(window->detailName(), QStringLiteral("C02-B1"));
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("machineTitle"))->text(), QStringLiteral("Booth 1"));
    // Opened from code, as an alert's "Show Machine" does: the sidebar marks the machine, not a screen.
    const QModelIndexList marked =
        window->findChild<QListView *>(QStringLiteral("machines"))->selectionModel()->selectedIndexes();
    ASSERT_EQ(marked.size(), 1);
    EXPECT_EQ(marked.first().data(MachineListModel::SerialRole).toString(), QStringLiteral("C02-B1"));
    EXPECT_TRUE(window->findChild<QListWidget *>(QStringLiteral("screens"))->selectedItems().isEmpty());

    rig.fleet.machinesAnswer = FleetMachineList{{machine("C02-HERE", "Front Desk")}};
    QCoro::waitFor(window->directory().refresh());
    EXPECT_EQ(window->detailName(), QStringLiteral("Machine Not Found"));
    EXPECT_TRUE(window->findChild<QLabel *>(QStringLiteral("notFoundPageText"))
                    ->text()
                    .contains(QStringLiteral("This machine is no longer available.")));

    rig.fleet.machinesAnswer = APIError::networkError(QStringLiteral("Connection refused"));
    QCoro::waitFor(window->directory().refresh());
    auto *note = window->findChild<QLabel *>(QStringLiteral("machinesNote"));
    EXPECT_EQ(note->text(), QStringLiteral("Failed to load machines: Connection refused"));
    window->showScreen(ConsoleScreen::settings);
    EXPECT_EQ(window->detailName(), QStringLiteral("Settings")) << "the window stays usable";
}

TEST(ConsoleWindow, TheManagementLockHidesMachinesAndCommandsUntilThePasswordIsGiven)
{
    WindowRig rig;
    rig.fleet.machinesAnswer = FleetMachineList{{machine("C02-B1", "Booth 1")}};
    const PasswordChange set = QCoro::waitFor(
        rig.lock.changePassword(LockScope::app, {}, QStringLiteral("kiosk1"), QStringLiteral("kiosk1")));
    ASSERT_TRUE(set.done) << set.message.toStdString();
    auto window = rig.open();
    window->showMachine(QStringLiteral("C02-B1"));

    rig.lock.setLocked(LockScope::app, true);
    auto *screens = window->findChild<QListWidget *>(QStringLiteral("screens"));
    EXPECT_EQ(WindowRig::listed(screens), (QStringList{"Dashboard", "Alerts", "Settings"}));
    EXPECT_TRUE(window->findChild<QListView *>(QStringLiteral("machines"))->isHidden());
    EXPECT_EQ(window->detailName(), QStringLiteral("Enter the app password to unlock management features."));
    EXPECT_EQ(window->openBatchSheet(), nullptr);

    QCoro::waitFor(window->unlock(QStringLiteral("wrong")));
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("lockError"))->text(),
              QStringLiteral("Incorrect password. Try again."));
    EXPECT_TRUE(rig.lock.isLocked());

    QCoro::waitFor(window->unlock(QStringLiteral("kiosk1")));
    EXPECT_FALSE(rig.lock.isLocked());
    EXPECT_FALSE(window->findChild<QListView *>(QStringLiteral("machines"))->isHidden());
    EXPECT_EQ(window->detailName(), QStringLiteral("C02-B1")) << "the machine that was open comes back";
    EXPECT_NE(window->openBatchSheet(), nullptr);
}

TEST(ConsoleWindow, FocusThisMacListsOnlyThisMacUntilASearchIsTyped)
{
    WindowRig rig;
    rig.defaults.setValue(QStringLiteral("workflow_focusThisMac"), true);
    rig.fleet.machinesAnswer = FleetMachineList{
        {machine("C02-HERE", "Front Desk"), machine("C02-B1", "Booth 1"), machine("C02-B2", "Booth 2")}};
    auto window = rig.open();
    auto *machines = window->findChild<QListView *>(QStringLiteral("machines"));
    EXPECT_EQ(machines->model()->rowCount(), 1);
    window->findChild<QLineEdit *>(QStringLiteral("machineSearch"))->setText(QStringLiteral("booth"));
    EXPECT_EQ(machines->model()->rowCount(), 2);
    window->findChild<QLineEdit *>(QStringLiteral("machineSearch"))->setText(QStringLiteral("nothing"));
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("machinesNote"))->text(),
              QStringLiteral("No machines match \"nothing\""));
}

TEST(ConsoleWindow, ASlowFleetShowsLoadingAndLeavesTheScreensUsable)
{
    WindowRig rig;
    rig.fleet.hold = true;
    rig.fleet.machinesAnswer = FleetMachineList{{machine("C02-B1", "Booth 1")}};
    ConsoleWindow window(ConsoleContext{rig.fleet, rig.defaults, rig.lock, rig.clock, QStringLiteral("C02-HERE")});
    window.present();
    auto *note = window.findChild<QLabel *>(QStringLiteral("machinesNote"));
    EXPECT_EQ(note->text(), QStringLiteral("Loading machines…"));
    window.showScreen(ConsoleScreen::settings);
    EXPECT_EQ(window.detailName(), QStringLiteral("Settings"));
    rig.fleet.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.directory().isLoading(); }, 5000));
    EXPECT_TRUE(note->text().isEmpty());
    EXPECT_EQ(window.findChild<QListView *>(QStringLiteral("machines"))->model()->rowCount(), 1);
}

TEST(ConsoleWindow, ThePolicyEditorIsReadOnlyUnderThePolicyLockAndRefusesABadDraft)
{
    WindowRig rig;
    rig.fleet.machinesAnswer = FleetMachineList{{machine("C02-B1", "Booth 1")}};
    DevicePolicy listed;
    listed.name = QStringLiteral("Booth");
    rig.fleet.policiesAnswer = QList<DevicePolicy>{listed};
    auto window = rig.open();
    window->showScreen(ConsoleScreen::policyManager);
    auto *policies = window->findChild<QListWidget *>(QStringLiteral("policyList"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return policies->count() == 1; }, 5000));
    EXPECT_TRUE(window->findChild<QLabel *>(QStringLiteral("policyEditorEmpty"))->isVisible());

    window->policyManagerPage().model().select(listed.id);
    auto *save = window->findChild<QPushButton *>(QStringLiteral("savePolicy"));
    auto *status = window->findChild<QLabel *>(QStringLiteral("policyStatus"));
    ASSERT_TRUE(save->isVisible());
    EXPECT_TRUE(save->isEnabled());

    // A keep-alive rule built in the form is checked as it is filled in, then saved as typed.
    auto *addRule = window->findChild<QPushButton *>(QStringLiteral("addRule"));
    addRule->menu()->actions().first()->trigger();
    const auto saveSays = [&](const QString &want) {
        status->clear();
        QTest::mouseClick(save, Qt::LeftButton);
        return QTest::qWaitFor([&] { return !status->text().isEmpty(); }, 5000) && status->text() == want;
    };
    EXPECT_TRUE(saveSays("Keep-alive rule \"Keep Alive Rule\" has no app. Add an app's bundle ID.")) << status->text().toStdString();
    window->findChild<QPlainTextEdit *>(QStringLiteral("keepAliveApps"))->setPlainText(QStringLiteral("com.lumora.booth"));
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("addWindow")), Qt::LeftButton);
    auto *windowEnd = window->findChild<QTimeEdit *>(QStringLiteral("windowEnd0"));
    ASSERT_NE(windowEnd, nullptr);
    windowEnd->setTime(QTime(9, 0));
    EXPECT_TRUE(saveSays("Keep-alive rule \"Keep Alive Rule\" has a window that ends when it starts."))
        << status->text().toStdString();
    EXPECT_TRUE(rig.fleet.saved.isEmpty());
    windowEnd->setTime(QTime(18, 30));
    EXPECT_TRUE(saveSays("Saved Booth")) << status->text().toStdString();
    ASSERT_EQ(rig.fleet.saved.size(), 1);
    ASSERT_EQ(rig.fleet.saved.first().keepAliveRules.size(), 1);
    const KeepAliveRule &kept = rig.fleet.saved.first().keepAliveRules.first();
    EXPECT_EQ(kept.bundleIds, QStringList{"com.lumora.booth"});
    ASSERT_EQ(kept.windows.size(), 1);
    EXPECT_EQ(std::tuple(kept.windows[0].startHour, kept.windows[0].endHour, kept.windows[0].endMinute),
              std::tuple(9, 18, 30));
    EXPECT_TRUE(window->findChild<QPlainTextEdit *>(QStringLiteral("policyRules"))->toPlainText().contains("com.lumora.booth"))
        << "the JSON view follows the form";

    // The update policy has a page of its own: automatic installs in a window that ends when it starts.
    window->findChild<QListWidget *>(QStringLiteral("policyRuleList"))->setCurrentRow(1);
    auto *mode = window->findChild<QComboBox *>(QStringLiteral("updateMode"));
    mode->setCurrentIndex(mode->findData(int(UpdatePolicy::Mode::automatic)));
    window->findChild<QSpinBox *>(QStringLiteral("updateWindowEnd"))->setValue(1);
    EXPECT_TRUE(saveSays("The update window ends when it starts. Choose a different end hour."))
        << status->text().toStdString();
    EXPECT_EQ(rig.fleet.saved.size(), 1);

    const PasswordChange set = QCoro::waitFor(
        rig.lock.changePassword(LockScope::policy, {}, QStringLiteral("pol1cy"), QStringLiteral("pol1cy")));
    ASSERT_TRUE(set.done) << set.message.toStdString();
    rig.lock.setLocked(LockScope::policy, true);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(window->findChild<QWidget *>(QStringLiteral("policyRuleForm"))->isEnabled());
    EXPECT_TRUE(window->findChild<QLineEdit *>(QStringLiteral("policyPassword"))->isVisible());
}

TEST(ConsoleWindow, TheAlertActionsApplyToTheAlertSelectedInTheFleetTab)
{
    WindowRig rig;
    FleetAlert disk;
    disk.alertId = 7;
    disk.serial = QStringLiteral("C02-B1");
    disk.category = QStringLiteral("disk");
    FleetAlert hung;
    hung.alertId = 8;
    hung.serial = QStringLiteral("C02-B2");
    hung.category = QStringLiteral("app_hung");
    hung.message = QStringLiteral("com.lumora.capture stopped responding");
    rig.fleet.alertsAnswer = QList<FleetAlert>{disk, hung};
    auto window = rig.open();
    window->showScreen(ConsoleScreen::alerts);
    auto *rows = window->findChild<QWidget *>(QStringLiteral("alertsFleet"))->findChild<QListWidget *>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows->count() == 2; }, 5000));
    window->findChild<QTabWidget *>(QStringLiteral("alertTabs"))->setCurrentIndex(2);
    auto *acknowledge = window->findChild<QPushButton *>(QStringLiteral("acknowledgeAlert"));
    auto *restart = window->findChild<QPushButton *>(QStringLiteral("restartHungApp"));
    auto *outcome = window->findChild<QLabel *>(QStringLiteral("alertActionText"));
    EXPECT_FALSE(acknowledge->isEnabled()) << "nothing selected";

    rows->setCurrentRow(1);
    ASSERT_TRUE(restart->isEnabled());
    QTest::mouseClick(restart, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !outcome->text().isEmpty(); }, 5000));
    EXPECT_EQ(outcome->text(), QStringLiteral("Restart queued for com.lumora.capture"));
    ASSERT_EQ(rig.fleet.queued.size(), 1);
    EXPECT_EQ(rig.fleet.queued.first().serial, QStringLiteral("C02-B2"));

    rows->setCurrentRow(0);
    EXPECT_FALSE(restart->isEnabled());
    QTest::mouseClick(acknowledge, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome->text() == QLatin1String("Alert acknowledged"); }, 5000));
    EXPECT_EQ(rig.fleet.acknowledged, QList<qint64>{7});

    rows->setCurrentRow(1);
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("showAlertMachine")), Qt::LeftButton);
    EXPECT_EQ(window->directory().selectedSerial(), QStringLiteral("C02-B2"));

    // The location rules open over the screen; a location added there is listed and stored.
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("openLocationRules")), Qt::LeftButton);
    auto *rules = window->findChild<QDialog *>(QStringLiteral("locationRulesDialog"));
    ASSERT_TRUE(rules && rules->isVisible());
    QTest::keyClicks(rules->findChild<QLineEdit *>(QStringLiteral("locationRuleCode")), QStringLiteral("EV01"));
    QTest::mouseClick(rules->findChild<QPushButton *>(QStringLiteral("addLocationRule")), Qt::LeftButton);
    EXPECT_EQ(WindowRig::listed(rules->findChild<QListWidget *>(QStringLiteral("locationRules"))),
              QStringList{QStringLiteral("EV01 — Notifying")});
    EXPECT_FALSE(rig.defaults.dataValue(QStringLiteral("warden_locationNotificationRules")).isEmpty());
}

TEST(ConsoleWindow, FleetManagementSwitchesWriteTheirDefaultsAndFollowTheMasterSwitch)
{
    WindowRig rig;
    auto window = rig.open();
    window->showScreen(ConsoleScreen::fleetManagement);
    auto *master = window->findChild<QCheckBox *>(QStringLiteral("fleetReportingEnabled"));
    auto *systemScout = window->findChild<QCheckBox *>(QStringLiteral("systemHealthReporting"));
    auto *status = window->findChild<QLabel *>(QStringLiteral("fleetManagementStatus"));
    ASSERT_TRUE(master && systemScout && status);
    EXPECT_FALSE(systemScout->isEnabled()) << "the scouts wait for the master switch";

    master->click();
    EXPECT_TRUE(rig.defaults.boolValue(QStringLiteral("fleetReportingEnabled")));
    EXPECT_EQ(status->text(), QStringLiteral("Saved — scouts deployed"));
    ASSERT_TRUE(systemScout->isEnabled());
    systemScout->click();
    EXPECT_TRUE(rig.defaults.boolValue(QStringLiteral("systemHealthReporting")));

    master->click();
    EXPECT_FALSE(rig.defaults.boolValue(QStringLiteral("fleetReportingEnabled")));
    EXPECT_EQ(status->text(), QStringLiteral("Scout reporting disabled"));
    EXPECT_FALSE(systemScout->isEnabled());
    EXPECT_TRUE(rig.defaults.boolValue(QStringLiteral("systemHealthReporting"))) << "its own choice is kept";
}

TEST(ConsoleWindow, TheSettingsLockCoversEveryTabButThePasswordsUntilItsPasswordIsGiven)
{
    WindowRig rig;
    ASSERT_TRUE(QCoro::waitFor(rig.lock.changePassword(LockScope::settings, {}, QStringLiteral("venue"),
                                                       QStringLiteral("venue")))
                    .done);
    rig.lock.setLocked(LockScope::settings, true);
    auto window = rig.open();
    window->showScreen(ConsoleScreen::settings);
    QTabWidget &tabs = window->settingsPage().tabs();
    const auto promptShown = [&](int tab) {
        auto *field = tabs.widget(tab)->findChild<QLineEdit *>(QStringLiteral("settingsPassword"));
        return field != nullptr && field->isVisibleTo(tabs.widget(tab));
    };
    for (int tab = 0; tab < tabs.count(); ++tab)
        EXPECT_EQ(promptShown(tab), tabs.tabText(tab) != QLatin1String("Advanced")) << tabs.tabText(tab).toStdString();

    auto *field = tabs.widget(0)->findChild<QLineEdit *>(QStringLiteral("settingsPassword"));
    auto *error = tabs.widget(0)->findChild<QLabel *>(QStringLiteral("settingsPasswordError"));
    field->setText(QStringLiteral("guess"));
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !error->text().isEmpty(); }, 5000));
    EXPECT_EQ(error->text(), QStringLiteral("Incorrect password."));
    EXPECT_TRUE(promptShown(1));
    field->setText(QStringLiteral("venue"));
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.lock.settingsLocked(); }, 5000));
    for (int tab = 0; tab < tabs.count(); ++tab)
        EXPECT_FALSE(promptShown(tab)) << tabs.tabText(tab).toStdString();

    // Locking again from the passwords tab covers the tabs at once.
    rig.lock.setLocked(LockScope::settings, true);
    EXPECT_TRUE(promptShown(1));
}
