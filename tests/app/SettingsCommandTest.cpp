// Settings carried from one machine to another through the one-shot commands, over the real
// settings file, keychain file and storage folder of two HOMEs.
#include "ManualClock.h"

#include "app/SettingsCommand.h"
#include "local/JsonListFile.h"
#include "local/SettingsTransferService.h"
#include "pairing/AgentBundle.h"
#include "platform/linux/FileKeychainStore.h"
#include "platform/linux/LinuxPaths.h"
#include "platform/linux/SettingsDefaultsStore.h"
#include "policy/PolicyFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

using namespace vesk;

namespace {

const QString kBase = AgentBundle{}.keychainService();

QString shareItem(const MonitoredShare &share)
{
    return kBase + QLatin1Char('.') + SettingsTransferService::sharePasswordKey(share.id);
}

MonitoredShare share(const QString &name)
{
    MonitoredShare s;
    s.name = name;
    s.address = QStringLiteral("smb://nas.local/") + name;
    return s;
}

// One account on one machine: its settings, keychain and storage folder under its own HOME.
PlatformPaths pathsUnder(const QString &home)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), home);
    return linuxPaths(env);
}

struct Home {
    CommandOutcome run(const QString &action, const QString &file)
    {
        return QCoro::waitFor(runSettingsCommand(action, file, {defaults, keychain, clock, paths, kBase, "2.4.0"}));
    }
    std::optional<QByteArray> item(const QString &service) { return QCoro::waitFor(keychain.read(service, {})).valueOrNone(); }
    void putItem(const QString &service, const QByteArray &value) { QCoro::waitFor(keychain.write(service, {}, value)); }

    QTemporaryDir dir;
    PlatformPaths paths = pathsUnder(dir.path());
    test::ManualClock clock;
    SettingsDefaultsStore defaults{paths.settingsFile};
    FileKeychainStore keychain{paths.keychainFile};
    PolicyFiles policies{paths.storageDir};
    JsonListFile<RetentionRule> rules{paths.storageDir, "retention_rules.json"};
    JsonListFile<MonitoredShare> shares{paths.storageDir, "monitored_shares.json"};
};

TEST(SettingsCommandTest, ExportThenImportOntoASecondHomeCarriesTheSetUpAndNoSecret)
{
    Home first;
    first.defaults.setValue("lowDataMode", true);
    first.defaults.setValue("warden_photographer", "EVNT5678");
    first.defaults.setValue("workflow_showPolicies", false);
    first.defaults.setValue("warden_autoStartServices", false);
    first.defaults.setValue("scheduledRestartHour", 3);
    first.defaults.setValue("scheduledRestartDays", 65);
    first.defaults.setValue("pinnedVersions", QVariantMap{{"com.lumora.capture", "2.1"}});
    first.putItem(kBase + ".applock_hash", "lock-hash-never-exported");
    DevicePolicy kiosk;
    kiosk.name = "Kiosk";
    kiosk.assignedSerials = {"C02XK1ABCD"};
    DevicePolicy archive;
    archive.name = "Archive";
    ASSERT_TRUE(first.policies.saveLibrary({kiosk, archive}));
    ASSERT_TRUE(first.policies.writeCache(archive));
    RetentionRule drop;
    drop.folderPath = "~/Pictures/Drop";
    drop.keepNewestCount = 20;
    first.rules.replace({drop});
    const MonitoredShare prints = share("prints");
    const MonitoredShare raw = share("raw");
    first.shares.replace({prints, raw});
    first.putItem(shareItem(prints), "share-secret-never-exported");

    const QString file = first.dir.filePath("Vesk Warden Settings.json");
    const CommandOutcome exported = first.run("export", file);
    ASSERT_EQ(exported.exitCode, 0) << exported.message.toStdString();
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_FALSE(bytes.contains("never-exported")) << "no lock hash and no share password";
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    EXPECT_EQ(root.value("formatVersion").toInt(), 1);
    EXPECT_EQ(root.value("appVersion").toString(), "2.4.0");
    const QJsonObject preferences = root.value("preferences").toObject();
    EXPECT_EQ(preferences.value("alertScope").toString(), "photographer") << "a scope never chosen";
    EXPECT_EQ(preferences.value("autoRestartServices"), QJsonValue(true)) << "on while never written";
    EXPECT_EQ(preferences.value("hideWindowAtLaunch"), QJsonValue(false));
    EXPECT_EQ(preferences.value("scheduledRestartMinute"), QJsonValue(0));
    EXPECT_FALSE(preferences.contains("eventcode"));
    EXPECT_FALSE(preferences.contains("workflowShowSoftware")) << "switches only when set";
    EXPECT_EQ(preferences.value("workflowShowPolicies"), QJsonValue(false));
    EXPECT_EQ(root.value("policies").toArray().size(), 2) << "the library, not the cached policy in force";

    // The second machine has a share the file keeps (same id) and one it does not.
    Home second;
    second.defaults.setValue("warden_eventcode", "GALA-26");
    second.defaults.setValue("lowDataMode", false);
    const MonitoredShare old = share("old");
    second.shares.replace({raw, old});
    second.putItem(shareItem(raw), "raw-password");
    second.putItem(shareItem(old), "old-password");

    const CommandOutcome imported = second.run("import", file);
    EXPECT_EQ(imported, (CommandOutcome{0, "Imported 2 policies, 1 cleanup rules, 2 network shares."}));
    EXPECT_TRUE(second.defaults.boolValue("lowDataMode"));
    EXPECT_EQ(second.defaults.stringValue("warden_photographer"), "EVNT5678");
    EXPECT_EQ(second.defaults.stringValue("warden_eventcode"), "GALA-26") << "absent from the file: untouched";
    EXPECT_FALSE(second.defaults.boolValue("warden_autoStartServices"));
    EXPECT_EQ(second.defaults.object("scheduledRestartDays").toInt(), 65);
    EXPECT_EQ(second.defaults.object("pinnedVersions").toMap(), (QVariantMap{{"com.lumora.capture", "2.1"}}));
    EXPECT_EQ(second.policies.readLibrary(), (QList<DevicePolicy>{kiosk, archive}));
    EXPECT_FALSE(second.policies.readCache()) << "the policy in force is not carried";
    EXPECT_EQ(second.rules.items(), QList<RetentionRule>{drop});
    EXPECT_EQ(second.shares.items(), (QList<MonitoredShare>{prints, raw}));
    EXPECT_EQ(second.item(shareItem(raw)), QByteArray("raw-password")) << "a share that keeps its id keeps its password";
    EXPECT_FALSE(second.item(shareItem(old))) << "a share no longer listed takes its password along";
    EXPECT_FALSE(second.item(shareItem(prints))) << "passwords are entered again";
    EXPECT_FALSE(second.item(kBase + ".applock_hash"));
}

struct BadFile {
    const char *name;
    QByteArray bytes; // empty: no file at all
    QString refusal;  // empty: accepted
};

QByteArray edited(const std::function<void(QJsonObject &)> &edit)
{
    SettingsSnapshot snapshot;
    snapshot.monitoredShares = {share("prints")};
    QJsonObject root = QJsonDocument::fromJson(snapshot.encode()).object();
    edit(root);
    return QJsonDocument(root).toJson();
}

TEST(SettingsCommandTest, FilesThatAreNotOursAreRefusedWithTheirTextAndChangeNothing)
{
    const QString unreadable = "The file could not be read.";
    const QString notOurs = "This isn't a Vesk Warden settings file.";
    const auto set = [](const char *key, QJsonValue value) {
        return edited([=](QJsonObject &root) { root.insert(key, value); });
    };
    const auto drop = [](const char *key) { return edited([=](QJsonObject &root) { root.remove(key); }); };
    const auto preference = [](const char *key, QJsonValue value) {
        return edited([=](QJsonObject &root) {
            QJsonObject p = root.value("preferences").toObject();
            p.insert(key, value);
            root.insert("preferences", p);
        });
    };
    const QJsonObject prints = share("prints").toJson();
    QJsonObject homeless = prints;
    homeless.remove("address");
    const BadFile cases[] = {
        {"no such file", {}, unreadable},
        {"not JSON", "Vesk Warden Settings\n", notOurs},
        {"a JSON list", "[]", notOurs},
        {"JSON but another program's", R"({"name": "Vesk", "version": 1})", notOurs},
        {"no formatVersion", drop("formatVersion"), notOurs},
        {"formatVersion as text", set("formatVersion", "1"), notOurs},
        {"formatVersion 1.5", set("formatVersion", 1.5), notOurs},
        {"exportedAt not a date", set("exportedAt", "last Tuesday"), notOurs},
        {"no preferences", drop("preferences"), notOurs},
        {"no policies", drop("policies"), notOurs},
        {"rules not a list", set("retentionRules", QJsonObject{}), notOurs},
        {"a preference of the wrong type", preference("lowDataMode", "yes"), notOurs},
        {"a pin that is not text", preference("pinnedVersions", QJsonObject{{"com.lumora.capture", 2}}), notOurs},
        {"a share without its address", set("monitoredShares", QJsonArray{homeless}), notOurs},
        {"two shares with one id", set("monitoredShares", QJsonArray{prints, prints}), notOurs},
        {"formatVersion 7", set("formatVersion", 7), {}},
    };
    for (const BadFile &c : cases) {
        SCOPED_TRACE(c.name);
        Home home;
        home.defaults.setValue("lowDataMode", true);
        const QString file = home.dir.filePath("settings.json");
        if (!c.bytes.isEmpty()) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(c.bytes);
        }
        const CommandOutcome outcome = home.run("import", file);
        if (c.refusal.isEmpty()) {
            EXPECT_EQ(outcome, (CommandOutcome{0, "Imported 0 policies, 0 cleanup rules, 1 network shares."}));
            EXPECT_TRUE(home.defaults.boolValue("lowDataMode")) << "empty preferences leave every preference";
            continue;
        }
        EXPECT_EQ(outcome, (CommandOutcome{1, c.refusal}));
        EXPECT_TRUE(home.defaults.boolValue("lowDataMode"));
        EXPECT_FALSE(QFile::exists(home.policies.libraryPath()));
        EXPECT_FALSE(QFile::exists(home.shares.path()));
    }

    // A file far larger than ours is refused without reading it whole.
    Home home;
    QFile huge(home.dir.filePath("huge.json"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(200LL * 1024 * 1024));
    huge.close();
    EXPECT_EQ(home.run("import", huge.fileName()), (CommandOutcome{1, notOurs}));
}

} // namespace
