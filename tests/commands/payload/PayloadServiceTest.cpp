// Deploy and restore against real folders under a temporary root, the real fleet client over
// a scripted transport, and applications faked at the AppLifecycle seam.
#include "PayloadRig.h"
#include "ZipFixture.h"

#include "LogCapture.h"
#include "commands/payload/PayloadFolderSwap.h"
#include "commands/payload/PayloadService.h"
#include "commands/payload/PayloadTarget.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

using namespace std::chrono_literals;

struct DeployRig : FleetRig {
    FakeApps apps;
    PayloadService service{PayloadService::Dependencies{api, apps, clock, paths}};
    QString shared = paths.sharedDir;
    QString target = shared + "/Lumora";

    DeployRig()
    {
        QDir().mkpath(paths.tempDir);
        writeBytes(target + "/prefs.json", "old");
        apps.installed = {"com.lumora.capture", "com.lumora.print"};
    }

    // Scripts one payload record and its archive download.
    void serve(qint64 id, const QByteArray &archive, QString sha = {}, QString targetPath = {},
               QStringList relaunch = {"com.lumora.capture"})
    {
        if (sha.isNull())
            sha = QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex();
        const QJsonObject record{{"id", id},
                                 {"photographer", "abc"},
                                 {"name", "Kiosk prefs"},
                                 {"filename", "p.zip"},
                                 {"sha256", sha},
                                 {"target_path", targetPath.isNull() ? target : targetPath},
                                 {"relaunch_bundle_ids", QJsonArray::fromStringList(relaunch)},
                                 {"size_bytes", archive.size()}};
        http.expect("GET", "/api/payload", 200, QJsonDocument(QJsonObject{{"payload", record}}).toJson());
        http.expect("GET", "/api/payload_download", 200, archive);
    }

    CommandResult deploy(qint64 id, std::chrono::milliseconds *slept = nullptr)
    {
        return drive(service.deployPayload(id), clock, slept);
    }
    CommandResult restore(const QString &path) { return drive(service.restorePayloadBackup(path), clock); }
    QStringList backups() const { return QDir(paths.payloadBackupDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
    QStringList leftovers() const
    {
        return QDir(shared).entryList({".warden-staging-*"}, QDir::AllEntries | QDir::Hidden) +
               QDir(paths.tempDir).entryList(QDir::Files);
    }
};

QByteArray prefsZip(const QByteArray &content)
{
    return buildZip({zipEntry("prefs.json", S_IFREG, 0644, content), zipEntry("presets/", S_IFDIR, 0755),
                     zipEntry("presets/a.json", S_IFREG, 0644, "{}")});
}

TEST(PayloadTarget, RulesInOrder)
{
    QTemporaryDir root;
    const PlatformPaths paths = PlatformPaths::underRoot(root.path());
    const QString shared = paths.sharedDir;
    QDir().mkpath(shared);
    QDir().mkpath(root.path() + "/elsewhere");
    ASSERT_TRUE(QFile::link(root.path() + "/elsewhere", shared + "/escape"));
    const QString outside = "Payloads can only target folders inside " + shared + ".";
    const struct {
        const char *name;
        QString path;
        std::optional<QString> want;
    } cases[] = {
        {"empty", "", QString("No target path given.")},
        {"relative", "Users/Shared/Lumora", QString("Target path must be a full path.")},
        {"dot dot", shared + "/../etc", QString("Target path may not contain '..'.")},
        {"dot dot inside a name", shared + "/a..b", QString("Target path may not contain '..'.")},
        {"the shared folder itself", shared, outside},
        {"the shared folder with a slash", shared + "/", outside},
        {"a sibling sharing the prefix", shared + "X/Lumora", outside},
        {"outside altogether", root.path() + "/elsewhere/x", outside},
        {"through a link that leads out", shared + "/escape/Lumora", outside},
        {"the backup store", shared + "/.warden-backups", QString("Target path may not be inside the Warden backups folder.")},
        {"inside the backup store", shared + "/.warden-backups/Lumora-20260302-090000",
         QString("Target path may not be inside the Warden backups folder.")},
        {"a folder below the shared folder", shared + "/Lumora", std::nullopt},
        {"a deeper, not yet existing folder", shared + "/Vesk/Kiosk/prefs", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PayloadTarget::validateTarget(c.path, paths), c.want) << c.name;
}

TEST(PayloadDeploy, ReplacesTheFolderKeepsOneBackupAndRelaunches)
{
    DeployRig rig;
    rig.apps.running = {"com.lumora.capture"};
    const QByteArray zip = prefsZip("new");
    // Upper-case hex from the server is the same checksum.
    rig.serve(7, zip, QCryptographicHash::hash(zip, QCryptographicHash::Sha256).toHex().toUpper(), {},
              {"com.lumora.capture", "com.lumora.gone"});
    LogCapture log;

    const CommandResult result = rig.deploy(7);

    const QString want = "Deployed \"Kiosk prefs\" to " + rig.target +
                         " (previous folder backed up), relaunched com.lumora.capture";
    EXPECT_EQ(result, CommandResult::ok(want));
    EXPECT_EQ(readBytes(rig.target + "/prefs.json"), "new");
    EXPECT_EQ(readBytes(rig.target + "/presets/a.json"), "{}");
    EXPECT_EQ(rig.backups(), QStringList{"Lumora-20260302-090000"});
    EXPECT_EQ(readBytes(rig.paths.payloadBackupDir() + "/Lumora-20260302-090000/prefs.json"), "old");
    EXPECT_EQ(rig.apps.actions, QStringList({"quit com.lumora.capture", "launch com.lumora.capture"}));
    EXPECT_EQ(rig.leftovers(), QStringList()) << "download and staging are removed";
    EXPECT_EQ(rig.http.requests().at(0).url.query(), "id=7");
    EXPECT_TRUE(log.messages("payload").contains(want));
    EXPECT_TRUE(log.messages("payload").contains("Payload relaunch: com.lumora.gone not installed"));
}

TEST(PayloadDeploy, NewTargetIsCreatedWithoutBackupText)
{
    DeployRig rig;
    rig.serve(8, prefsZip("fresh"), {}, rig.shared + "/Vesk/Kiosk", {});
    EXPECT_EQ(rig.deploy(8), CommandResult::ok("Deployed \"Kiosk prefs\" to " + rig.shared + "/Vesk/Kiosk"));
    EXPECT_EQ(readBytes(rig.shared + "/Vesk/Kiosk/prefs.json"), "fresh");
    EXPECT_EQ(rig.backups(), QStringList());
}

TEST(PayloadDeploy, FourthBackupRemovesTheOldest)
{
    DeployRig rig;
    for (int round = 1; round <= 4; ++round) {
        rig.serve(round, prefsZip("v" + QByteArray::number(round)), {}, {}, {});
        ASSERT_TRUE(rig.deploy(round).success) << round;
        rig.clock.advance(1s);
    }
    EXPECT_EQ(rig.backups(), QStringList({"Lumora-20260302-090001", "Lumora-20260302-090002", "Lumora-20260302-090003"}));
    EXPECT_EQ(readBytes(rig.paths.payloadBackupDir() + "/Lumora-20260302-090001/prefs.json"), "v1");
    EXPECT_EQ(readBytes(rig.target + "/prefs.json"), "v4");
}

TEST(PayloadDeploy, FailuresBeforeTheSwapLeaveTheTargetUntouched)
{
    const QByteArray good = prefsZip("new");
    const QString sha = QCryptographicHash::hash(good, QCryptographicHash::Sha256).toHex();
    const struct {
        const char *name;
        std::function<void(DeployRig &)> script;
        qint64 id;
        std::function<QString(DeployRig &)> want;
    } cases[] = {
        {"record not found", [](DeployRig &r) { r.http.expect("GET", "/api/payload", 404); }, -3,
         [](DeployRig &) { return QString("Could not fetch payload -3: Not found (404)"); }},
        {"target outside the shared folder", [](DeployRig &r) { r.http.expect("GET", "/api/payload", 200,
            R"({"payload":{"id":5,"photographer":"a","name":"n","filename":"f","sha256":"00","target_path":"/etc",
                "relaunch_bundle_ids":[],"size_bytes":1}})"); }, 5,
         [](DeployRig &r) { return "Payloads can only target folders inside " + r.shared + "."; }},
        {"download fails", [](DeployRig &r) {
             r.http.expect("GET", "/api/payload", 200, QJsonDocument(QJsonObject{{"payload", QJsonObject{
                 {"id", 5}, {"photographer", "a"}, {"name", "n"}, {"filename", "f"}, {"sha256", "00"},
                 {"target_path", r.target}, {"relaunch_bundle_ids", QJsonArray{}}, {"size_bytes", 1}}}}).toJson());
             r.http.expect("GET", "/api/payload_download", 500); }, 5,
         [](DeployRig &) { return QString("Download failed: Server error (500)"); }},
        {"checksum mismatch", [&](DeployRig &r) { r.serve(5, good, "0123456789abcdef" + sha.mid(16)); }, 5,
         [&](DeployRig &) { return "Checksum mismatch — expected 0123456789ab…, got " + sha.left(12) + "…"; }},
        {"archive escapes", [](DeployRig &r) { r.serve(5, buildZip({zipEntry("../prefs.json", S_IFREG, 0644, "x")})); }, 5,
         [](DeployRig &) { return QString("The archive tried to write outside its staging folder."); }},
        {"archive empty", [](DeployRig &r) { r.serve(5, buildZip({})); }, 5,
         [](DeployRig &) { return QString("The archive extracted to nothing."); }},
    };
    for (const auto &c : cases) {
        DeployRig rig;
        rig.apps.running = {"com.lumora.capture"};
        c.script(rig);
        const QStringList before = listTree(rig.root.path());

        const CommandResult result = rig.deploy(c.id);

        EXPECT_EQ(result, CommandResult::failure(c.want(rig))) << c.name;
        EXPECT_EQ(listTree(rig.root.path()), before) << c.name << ": nothing changed, nothing left behind";
        EXPECT_EQ(rig.apps.actions, QStringList()) << c.name << ": apps are closed only after every check passed";
        EXPECT_EQ(rig.http.pendingCount(), 0u) << c.name;
    }
}

TEST(PayloadDeploy, AppIgnoringTerminateIsForceQuitAfterTenSeconds)
{
    DeployRig rig;
    rig.apps.running = {"com.lumora.capture"};
    rig.apps.ignoresTerminate = {"com.lumora.capture"};
    rig.serve(7, prefsZip("new"));
    std::chrono::milliseconds slept{0};

    ASSERT_TRUE(rig.deploy(7, &slept).success);

    EXPECT_EQ(rig.apps.actions,
              QStringList({"quit com.lumora.capture", "force com.lumora.capture", "launch com.lumora.capture"}));
    EXPECT_EQ(slept, 11s) << "20 checks 0.5 s apart, then one second after the force-quit";
}

TEST(PayloadDeploy, FailedSwapRestoresThePreviousFolderAndRelaunches)
{
    // A real failure at the last move: the staged folder vanishes while the apps close, so
    // moving it into place fails after the previous folder already went to the store.
    DeployRig rig;
    rig.apps.running = {"com.lumora.capture"};
    rig.apps.onQuit = [&](const QString &) {
        for (const QString &staging : QDir(rig.shared).entryList({".warden-staging-*"}, QDir::Dirs | QDir::Hidden))
            QDir(rig.shared + "/" + staging).removeRecursively();
    };
    rig.serve(7, prefsZip("new"));
    LogCapture log;

    const CommandResult result = rig.deploy(7);

    ASSERT_FALSE(result.success);
    EXPECT_TRUE(result.message.value_or("").startsWith("Deploy failed, previous folder restored: Could not move ")) << result;
    EXPECT_EQ(readBytes(rig.target + "/prefs.json"), "old");
    EXPECT_EQ(rig.backups(), QStringList()) << "the backup went back into place";
    EXPECT_EQ(rig.apps.actions, QStringList({"quit com.lumora.capture", "launch com.lumora.capture"}));
    EXPECT_EQ(rig.leftovers(), QStringList());
    EXPECT_EQ(log.count("Payload 7 deploy failed and was rolled back: Could not move "), 1);
}

TEST(PayloadRestore, UndoesADeployAndCanItselfBeUndone)
{
    DeployRig rig;
    rig.serve(7, prefsZip("new"));
    ASSERT_TRUE(rig.deploy(7).success);
    rig.clock.advance(5s);

    const CommandResult result = rig.restore(rig.target + "/");

    EXPECT_EQ(result, CommandResult::ok("Restored " + rig.target + " from backup Lumora-20260302-090000"));
    EXPECT_EQ(readBytes(rig.target + "/prefs.json"), "old");
    EXPECT_EQ(rig.backups(), QStringList{"Lumora-20260302-090005"});
    EXPECT_EQ(readBytes(rig.paths.payloadBackupDir() + "/Lumora-20260302-090005/prefs.json"), "new");
    EXPECT_EQ(rig.apps.actions, QStringList({"launch com.lumora.capture"})) << "restore leaves apps alone";
}

TEST(PayloadRestore, RefusalsAndMissingBackups)
{
    DeployRig rig;
    writeBytes(rig.paths.payloadBackupDir() + "/Lumora-Extra-20260101-000000/x", "not ours");
    EXPECT_EQ(rig.restore(""), CommandResult::failure("Missing target_path parameter"));
    EXPECT_EQ(rig.restore("relative"), CommandResult::failure("Target path must be a full path."));
    EXPECT_EQ(rig.restore(rig.target), CommandResult::failure("No backup found for " + rig.target))
        << "another target's backups do not count";
    EXPECT_EQ(readBytes(rig.target + "/prefs.json"), "old");
}

TEST(PayloadFolderSwap, MovesAFolderFromAnotherFileSystemWithItsLinks)
{
    // /dev/shm is a tmpfs here, the temporary root a disk: a rename between them fails.
    QTemporaryDir memory(QStringLiteral("/dev/shm/vesk-swap-XXXXXX"));
    QTemporaryDir disk;
    ASSERT_TRUE(memory.isValid() && disk.isValid());
    const QString from = memory.filePath("staged");
    writeBytes(from + "/prefs.json", "new");
    writeBytes(from + "/presets/a.json", "{}");
    ASSERT_TRUE(QFile::link("prefs.json", from + "/current.json"));
    const QString to = disk.filePath("Lumora");

    EXPECT_EQ(PayloadFolderSwap::move(from, to), std::nullopt);
    EXPECT_EQ(readBytes(to + "/presets/a.json"), "{}");
    EXPECT_EQ(QFileInfo(to + "/current.json").symLinkTarget(), to + "/prefs.json") << "a link stays a link";
    EXPECT_FALSE(QFileInfo::exists(from));

    const auto refused = PayloadFolderSwap::move(memory.filePath("absent"), disk.filePath("other"));
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->startsWith("Could not move ")) << refused->toStdString();
}

} // namespace
} // namespace vesk::test
