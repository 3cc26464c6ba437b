// Deploy and restore against real folders under a temporary root, the real fleet client over
// a scripted transport, and applications faked at the AppLifecycle seam.
#include "PayloadRig.h"
#include "ZipFixture.h"

#include "LogCapture.h"
#include "commands/payload/PayloadArchiver.h"
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

#include <sys/stat.h>
#include <unistd.h>

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

QByteArray folderBomb()
{
    // 40 names of 512 parts each: 20,440 nested folders asked for by about 84 KB of zip.
    QList<ZipEntry> entries;
    for (int i = 10; i < 50; ++i)
        entries.append(zipEntry(QByteArray::number(i) + QByteArray("/d").repeated(510) + "/f", S_IFREG, 0644, "x"));
    const QByteArray zip = buildZip(entries);
    EXPECT_LT(zip.size(), 90 * 1024);
    return zip;
}

void chmodPath(const QString &path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

const QDateTime kMorning(QDate(2026, 3, 2), QTime(9, 0));

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
        {"84 KB archive asking for 20,000 folders", [](DeployRig &r) { r.serve(5, folderBomb()); }, 5,
         [](DeployRig &) { return QString("Archive operation failed: an entry name has more than 32 parts"); }},
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

TEST(PayloadDeploy, FailedSwapKeepsThePreviousFolderAndRelaunches)
{
    // The staged folder vanishes while the apps close: the swap notices before it moves anything.
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
    EXPECT_TRUE(result.message.value_or("").startsWith("Deploy failed, previous folder restored: The staging folder " + rig.shared))
        << result;
    EXPECT_EQ(readBytes(rig.target + "/prefs.json"), "old");
    EXPECT_EQ(rig.backups(), QStringList()) << "the backup went back into place";
    EXPECT_EQ(rig.apps.actions, QStringList({"quit com.lumora.capture", "launch com.lumora.capture"}));
    EXPECT_EQ(rig.leftovers(), QStringList());
    EXPECT_EQ(log.count("Payload 7 deploy failed and was rolled back: The staging folder "), 1);
}

TEST(PayloadDeploy, LinksPutInPlaceAfterTheChecksRedirectNothing)
{
    // While the apps close, after every check, a folder the deploy is about to use is moved
    // aside and a link to another folder takes its name, as another user of the shared
    // folder could do. Nothing may land in the linked folder.
    const struct {
        const char *name;
        QString target;  // below the shared folder
        QString swapped; // below the shared folder; "*" stands for the staging folder
        QString landed;  // where the new folder is afterwards; empty: the deploy is refused
    } cases[] = {
        {"the target", "Lumora", "Lumora", "Lumora"},
        {"the target's parent", "Vesk/Kiosk", "Vesk", "Vesk-moved/Kiosk"},
        {"the backup store", "Lumora", ".warden-backups", "Lumora"},
        {"the staging folder", "Lumora", "*", ""},
    };
    for (const auto &c : cases) {
        DeployRig rig;
        const QString target = rig.shared + "/" + c.target;
        writeBytes(target + "/prefs.json", "old");
        const QString decoy = rig.root.path() + "/decoy";
        writeBytes(decoy + "/keep.txt", "decoy");
        rig.apps.running = {"com.lumora.capture"};
        rig.apps.onQuit = [&](const QString &) {
            QString swapped = rig.shared + "/" + c.swapped;
            if (c.swapped == "*")
                swapped = rig.shared + "/" + QDir(rig.shared).entryList({".warden-staging-*"}, QDir::Dirs | QDir::Hidden).value(0);
            ASSERT_TRUE(QDir().rename(swapped, swapped + "-moved")) << swapped.toStdString();
            ASSERT_TRUE(QFile::link(decoy, swapped));
        };
        rig.serve(7, prefsZip("new"), {}, target);

        const CommandResult result = rig.deploy(7);

        EXPECT_EQ(listTree(decoy), QStringList{"keep.txt"}) << c.name << ": nothing written through the link";
        if (c.landed.isEmpty()) {
            EXPECT_TRUE(result.message.value_or("").startsWith("Deploy failed, previous folder restored: The staging folder "))
                << c.name << ": " << result;
            EXPECT_EQ(readBytes(target + "/prefs.json"), "old") << c.name;
        } else {
            EXPECT_TRUE(result.success) << c.name << ": " << result;
            EXPECT_EQ(readBytes(rig.shared + "/" + c.landed + "/prefs.json"), "new") << c.name;
            EXPECT_FALSE(QFileInfo(rig.shared + "/" + c.landed).isSymLink()) << c.name;
        }
    }
}

TEST(PayloadDeploy, RefusesABackupStoreThatIsNotThisUsersPrivateFolder)
{
    struct Case {
        const char *name;
        std::function<void(const QString &store, const QString &decoy)> make;
        QString why;
    };
    std::vector<Case> cases = {
        {"a link to another folder", [](const QString &store, const QString &decoy) { QFile::link(decoy, store); },
         "it is a symbolic link"},
        {"a file", [](const QString &store, const QString &) { writeBytes(store, "x"); }, "it is not a folder"},
        {"open to other users",
         [](const QString &store, const QString &) {
             QDir().mkpath(store);
             chmodPath(store, 0755);
         },
         "its mode is 0755"},
    };
    if (::geteuid() == 0) // giving a folder away takes root
        cases.push_back({"another user's",
                         [](const QString &store, const QString &) {
                             QDir().mkpath(store);
                             chmodPath(store, 0700);
                             ASSERT_EQ(::chown(QFile::encodeName(store).constData(), 65534, 65534), 0);
                         },
                         "it belongs to user 65534"});
    for (const Case &c : cases) {
        DeployRig rig;
        const QString store = rig.paths.payloadBackupDir();
        const QString decoy = rig.root.path() + "/decoy";
        QDir().mkpath(decoy);
        c.make(store, decoy);
        rig.apps.running = {"com.lumora.capture"};
        rig.serve(7, prefsZip("new"));
        const QStringList before = listTree(rig.root.path());

        const CommandResult result = rig.deploy(7);

        EXPECT_EQ(result, CommandResult::failure("Refusing the backup folder " + store + ": " + c.why +
                                                "; it must be a folder of this user with mode 0700."))
            << c.name;
        EXPECT_EQ(listTree(rig.root.path()), before) << c.name << ": staging removed, target untouched";
        EXPECT_EQ(rig.apps.actions, QStringList()) << c.name;
    }
}

TEST(PayloadDeploy, FolderOfMode000IsDeployedBackedUpAndPruned)
{
    // The agent's user, unlike root, cannot enter a folder of mode 000 without opening it up
    // first: deploy five times and the store still ends with the newest three backups.
    QTemporaryDir root;
    const QString shared = root.path() + "/Users/Shared";
    QDir().mkpath(shared);
    writeBytes(root.path() + "/locked.zip",
               buildZip({zipEntry("prefs.json", S_IFREG, 0644, "v"), zipEntry("locked/", S_IFDIR, 0),
                         zipEntry("locked/secret.json", S_IFREG, 0600, "{}")}));
    const Opened<FolderHandle> parent = FolderHandle::openTrusted(shared, false);
    const PayloadBackupStore::Opened store = PayloadBackupStore::open(parent.handle, ".warden-backups", true);
    ASSERT_TRUE(store.store) << store.refusal.value_or("missing").toStdString();
    const PayloadArchiver archiver(root.path() + "/tmp");
    const OwnerPermissionsOnly asTheAgentsUser;

    for (int round = 0; round < 5; ++round) {
        const StagedArchive staged = archiver.stage(root.path() + "/locked.zip", parent.handle);
        ASSERT_TRUE(staged.ok()) << round << ": " << *staged.error;
        const PayloadFolderSwap::SwapResult swapped = PayloadFolderSwap::swapIn(
            *store.store, parent.handle, staged.folder, staged.name, "Lumora", kMorning.addSecs(round));
        ASSERT_EQ(swapped.failure, std::nullopt) << round;
        store.store->prune("Lumora");
    }

    EXPECT_EQ(store.store->backupsOf("Lumora"),
              QStringList({"Lumora-20260302-090002", "Lumora-20260302-090003", "Lumora-20260302-090004"}));
    EXPECT_EQ(parent.handle.openFolder("Lumora").handle.statusOf("locked").mode, 0u) << "the archive's mode is kept";
    EXPECT_EQ(parent.handle.openFolder("Lumora").handle.status().mode, 0755u);
    EXPECT_EQ(QDir(shared).entryList({".warden-staging-*"}, QDir::AllEntries | QDir::Hidden), QStringList());
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
    ASSERT_EQ(::mkdir(QFile::encodeName(rig.paths.payloadBackupDir()).constData(), 0700), 0);
    writeBytes(rig.paths.payloadBackupDir() + "/Lumora-Extra-20260101-000000/x", "not ours");
    EXPECT_EQ(rig.restore(""), CommandResult::failure("Missing target_path parameter"));
    EXPECT_EQ(rig.restore("relative"), CommandResult::failure("Target path must be a full path."));
    EXPECT_EQ(rig.restore(rig.target), CommandResult::failure("No backup found for " + rig.target))
        << "another target's backups do not count";
    EXPECT_EQ(readBytes(rig.target + "/prefs.json"), "old");
}

TEST(PayloadRestore, AMoveFailingHalfwayPutsThePreviousFolderBack)
{
    QTemporaryDir root;
    const QString shared = root.path() + "/Users/Shared";
    writeBytes(shared + "/Lumora/prefs.json", "current");
    const Opened<FolderHandle> parent = FolderHandle::openTrusted(shared, false);
    const PayloadBackupStore::Opened store = PayloadBackupStore::open(parent.handle, ".warden-backups", true);
    ASSERT_TRUE(store.store);
    const QString backup = shared + "/.warden-backups/Lumora-20260301-080000";
    writeBytes(backup + "/prefs.json", "older");
    // Moving a folder into another folder rewrites its "..": one its owner may not write to
    // stays where it is, after the current folder already went to the store.
    chmodPath(backup, 0555);
    PayloadFolderSwap::RestoreResult result;
    {
        const OwnerPermissionsOnly asTheAgentsUser;
        result = PayloadFolderSwap::restore(*store.store, "Lumora-20260301-080000", parent.handle, "Lumora", kMorning);
    }

    ASSERT_TRUE(result.failure.has_value());
    EXPECT_TRUE(result.failure->startsWith("Could not move " + backup + " to " + shared + "/Lumora: "))
        << result.failure->toStdString();
    EXPECT_EQ(readBytes(shared + "/Lumora/prefs.json"), "current");
    EXPECT_EQ(store.store->backupsOf("Lumora"), QStringList{"Lumora-20260301-080000"});
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
    chmodPath(from + "/presets", 0750);
    const QString to = disk.filePath("Lumora");
    const FolderHandle memoryFolder = FolderHandle::openTrusted(memory.path(), false).handle;
    const FolderHandle diskFolder = FolderHandle::openTrusted(disk.path(), false).handle;

    EXPECT_EQ(PayloadFolderSwap::move(memoryFolder, "staged", diskFolder, "Lumora"), std::nullopt);
    EXPECT_EQ(readBytes(to + "/presets/a.json"), "{}");
    EXPECT_EQ(QFileInfo(to + "/current.json").symLinkTarget(), to + "/prefs.json") << "a link stays a link";
    EXPECT_EQ(diskFolder.openFolder("Lumora").handle.statusOf("presets").mode, 0750u) << "modes are kept";
    EXPECT_FALSE(QFileInfo::exists(from));

    const auto refused = PayloadFolderSwap::move(memoryFolder, "absent", diskFolder, "other");
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->startsWith("Could not move ")) << refused->toStdString();
}

} // namespace
} // namespace vesk::test
