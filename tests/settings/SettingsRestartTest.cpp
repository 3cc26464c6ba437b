// What one run of the agent writes to its settings file, the next run reads back from disk:
// the writer is this test binary started again as a child with its own HOME and
// XDG_CONFIG_HOME, so nothing comes from QSettings' in-process cache.
#include "settings/FleetSettingsStore.h"

#include "ManualClock.h"
#include "commands/PinnedVersions.h"
#include "platform/linux/LinuxPaths.h"
#include "platform/linux/SettingsDefaultsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace vesk;
namespace keys = vesk::FleetSettingsKeys;

namespace {

constexpr char kWriterVariable[] = "VESK_SETTINGS_RESTART_WRITER";

const QDateTime kAt(QDate(2024, 5, 6), QTime(9, 30, 15, 250), QTimeZone::utc());

const LocationNotificationRule kRule{QStringLiteral("EVT-1"), QStringLiteral("Main hall"), std::nullopt, std::nullopt,
                                     {QStringLiteral("disk")}};
const ScheduledDeviceAction kAction{QUuid(QStringLiteral("{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}")),
                                    QStringLiteral("restart"), std::nullopt, kAt};
const RemoteMessage kMessage{55, std::nullopt, QStringLiteral("Restart at noon"), false, kAt};

// The agent's first run: every write goes through the real stores.
void writeAsFirstRun()
{
    const PlatformPaths paths = linuxPaths(QProcessEnvironment::systemEnvironment());
    QDir().mkpath(QFileInfo(paths.settingsFile).absolutePath());
    SettingsDefaultsStore defaults(paths.settingsFile);
    test::ManualClock clock;
    FleetSettingsStore store(defaults, clock);
    store.registerFleetDefaults();

    defaults.setValue(keys::fleetReportingEnabled, false);
    defaults.setValue(keys::foregroundAppReporting, true);
    defaults.setValue(keys::autoStartServices, false);
    defaults.setValue(keys::lowDataMode, true);
    defaults.setValue(keys::agentMode, false);
    defaults.setValue(keys::updateSearchScope, UpdateSearchScopes::rawValue(UpdateSearchScope::applicationsFolder));
    // The older suppression list, as a previous version left it: one bare serial.
    defaults.setValue(keys::suppressedSerials, QStringList{QStringLiteral("C02AAA")});
    store.setLocationNotificationRules({kRule});
    store.setScheduledActions({kAction});
    store.setActiveRemoteMessage(kMessage);
    store.setTenantCode(QStringLiteral("EVT-7"));
    PinnedVersions::write(defaults, {{QStringLiteral("com.lumora.print"), QStringLiteral("2.1")}});
}

} // namespace

TEST(SettingsRestart, TheNextRunReadsWhatTheFirstWrote)
{
    if (qEnvironmentVariableIsSet(kWriterVariable)) {
        writeAsFirstRun();
        return;
    }

    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QString::fromLatin1(kWriterVariable), QStringLiteral("1"));

    QProcess writer;
    writer.setProcessEnvironment(env);
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=SettingsRestart.TheNextRunReadsWhatTheFirstWrote")});
    ASSERT_TRUE(writer.waitForFinished(60000));
    ASSERT_EQ(writer.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(writer.exitCode(), 0) << writer.readAllStandardOutput().toStdString();

    const PlatformPaths paths = linuxPaths(env);
    ASSERT_TRUE(QFileInfo::exists(paths.settingsFile)) << paths.settingsFile.toStdString();
    SettingsDefaultsStore defaults(paths.settingsFile);
    test::ManualClock clock;
    FleetSettingsStore store(defaults, clock);
    store.registerFleetDefaults();

    EXPECT_FALSE(store.fleetReportingEnabled()) << "a stored false beats the registered true";
    EXPECT_TRUE(store.systemHealthReporting()) << "registered only";
    EXPECT_TRUE(store.foregroundAppReporting());
    EXPECT_FALSE(store.autoStartServices()) << "a stored false is no absent key";
    EXPECT_TRUE(store.autoRestartServices());
    EXPECT_TRUE(store.lowDataMode());
    EXPECT_FALSE(store.agentMode());
    EXPECT_TRUE(defaults.hasObject(keys::agentMode));
    EXPECT_EQ(store.updateSearchScope(), UpdateSearchScope::applicationsFolder);
    EXPECT_EQ(store.suppressedSerials(),
              (QList<AlertSuppression>{{QStringLiteral("C02AAA"), SuppressionDuration::indefinitely, clock.now()}}));
    EXPECT_EQ(store.locationNotificationRules(), QList<LocationNotificationRule>{kRule});
    EXPECT_EQ(store.scheduledActions(), QList<ScheduledDeviceAction>{kAction});
    EXPECT_EQ(store.activeRemoteMessage(), kMessage);
    EXPECT_EQ(store.tenantCode(), QStringLiteral("EVT-7"));
    EXPECT_EQ(PinnedVersions::read(defaults), (QMap<QString, QString>{{"com.lumora.print", "2.1"}}));
}
