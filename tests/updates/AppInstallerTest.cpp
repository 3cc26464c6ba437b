#include "UpdateRig.h"

#include "ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace vesk::test {
namespace {

AppInstaller::Options noGrace()
{
    AppInstaller::Options options;
    options.gracePeriod = std::chrono::seconds(0);
    return options;
}

// A copy of `archive` in the downloads folder, as the download leaves it.
QString downloaded(UpdateRig &rig, const QString &archive, const QString &name)
{
    const QString dir = rig.paths.tempDir + "/VeskWardenUpdates";
    QDir().mkpath(dir);
    const QString path = dir + "/" + name;
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(archive, path));
    return path;
}

TEST(AppInstallerTest, EveryArchiveFormatReplacesTheBundleAndKeepsTheOldOneForRevert)
{
    for (const QString name : {"Capture.zip", "Capture.tar.gz", "Capture.tar.xz", "Capture.tar.zst", "Capture.tar"}) {
        UpdateRig rig;
        const QString bundle = rig.makeApp(UpdateRig::captureId, "Capture", "1.0", {}, QByteArray(3000, 'o'));
        const QByteArray original = treeDigest(bundle);
        const QString archive = rig.makeArchive(UpdateRig::captureId, "Capture", "2.0", name);
        const QString file = downloaded(rig, archive, name);
        const AvailableUpdate release = rig.release(UpdateRig::captureId, "2.0", {});

        EXPECT_EQ(drive(rig.installer.install(release, file, noGrace()), rig.clock),
                  CommandResult::ok("Updated Capture to 2.0"))
            << name.toStdString();
        EXPECT_EQ(rig.installedVersion(UpdateRig::captureId), "2.0") << name.toStdString();
        EXPECT_FALSE(QFile::exists(file)) << name.toStdString();
        EXPECT_TRUE(rig.leftovers(rig.paths.applicationsDir()).isEmpty()) << name.toStdString();
        const auto kept = rig.installer.manifest().entry(UpdateRig::captureId);
        ASSERT_TRUE(kept.has_value()) << name.toStdString();
        EXPECT_EQ(kept->backupFileName, "Capture_1.0_b100.app");
        EXPECT_EQ(kept->previousVersion, "1.0");
        EXPECT_EQ(kept->originalPath, bundle);
        EXPECT_EQ(treeDigest(rig.paths.updateBackupDir() + "/" + kept->backupFileName), original);

        EXPECT_EQ(drive(rig.installer.revert(UpdateRig::captureId), rig.clock),
                  CommandResult::ok("Reverted Capture to 1.0"));
        EXPECT_EQ(treeDigest(bundle), original) << name.toStdString();
        EXPECT_FALSE(rig.installer.manifest().entry(UpdateRig::captureId).has_value());
        EXPECT_TRUE(rig.leftovers(rig.paths.applicationsDir()).isEmpty()) << name.toStdString();
        EXPECT_EQ(drive(rig.installer.revert(UpdateRig::captureId), rig.clock),
                  CommandResult::failure("No backup found for com.lumora.Capture"));
    }
}

TEST(AppInstallerTest, BadPackagesFailWithTheirTextAndLeaveTheAppAsItWas)
{
    struct Case {
        const char *name;
        QString fileName;
        std::function<QByteArray()> bytes;
        QString want;
    };
    const auto file = [](QByteArray path, QByteArray data = "x") { return zipEntry(std::move(path), 0100000, 0644, data); };
    const QByteArray plist = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                             "<key>CFBundleIdentifier</key><string>com.other.App</string></dict></plist>";
    const std::vector<Case> cases = {
        {"bundle inside a folder", "Capture.zip",
         [&] { return buildZip({file("wrapper/Capture.app/Contents/Info.plist", plist)}); },
         "Install failed: No .app found in update package"},
        {"two bundles", "Capture.zip",
         [&] { return buildZip({file("A.app/Contents/Info.plist", plist), file("B.app/Contents/Info.plist", plist)}); },
         "Install failed: More than one .app found in update package"},
        {"another app's bundle", "Capture.zip", [&] { return buildZip({file("Capture.app/Contents/Info.plist", plist)}); },
         "Install failed: the update package holds com.other.App, not com.lumora.Capture"},
        {"entry climbing out", "Capture.zip", [&] { return buildZip({file("Capture.app/../../evil.txt")}); },
         "Install failed: Failed to extract update archive (The archive tried to write outside its staging folder.)"},
        {"not an archive", "Capture.tar.gz", [] { return QByteArray(4000, 'q'); },
         "Install failed: Failed to extract update archive (Archive operation failed: Unrecognized archive format)"},
        {"disk image", "Capture.dmg", [] { return QByteArray(4000, 'd'); },
         "Install failed: disk images and installer packages are not supported on this platform"},
        {"installer package", "Capture.PKG", [] { return QByteArray(4000, 'p'); },
         "Install failed: disk images and installer packages are not supported on this platform"},
        {"unknown format", "Capture.rar", [] { return QByteArray(4000, 'r'); }, "Unsupported update format: .rar"},
    };
    for (const Case &c : cases) {
        UpdateRig rig;
        const QString bundle = rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
        const QByteArray before = treeDigest(bundle);
        rig.apps.running.insert(UpdateRig::captureId);
        const QString path = rig.root.path() + "/" + c.fileName;
        writeBytes(path, c.bytes());
        const QString file = downloaded(rig, path, c.fileName);

        const CommandResult result =
            drive(rig.installer.install(rig.release(UpdateRig::captureId, "2.0", {}), file, noGrace()), rig.clock);
        EXPECT_EQ(result, CommandResult::failure(c.want)) << c.name;
        EXPECT_EQ(treeDigest(bundle), before) << c.name;
        EXPECT_TRUE(rig.leftovers(rig.paths.applicationsDir()).isEmpty()) << c.name;
        EXPECT_FALSE(rig.installer.manifest().entry(UpdateRig::captureId).has_value()) << c.name;
        // An app quit for the install is opened again after a failure too.
        EXPECT_TRUE(rig.apps.running.contains(UpdateRig::captureId)) << c.name;
    }
}

// `bytes` through a compression tool ("" keeps them as they are).
QByteArray compressed(const QByteArray &bytes, const QString &tool)
{
    if (tool.isEmpty())
        return bytes;
    QProcess process;
    process.start(tool, {QStringLiteral("-c")});
    process.write(bytes);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    return process.readAllStandardOutput();
}

TEST(AppInstallerTest, HostileTarEntriesAreRefusedWhateverTheCompression)
{
    const unsigned kFile = 0100000;
    const auto entry = [](QByteArray name, unsigned type, unsigned perm, QByteArray link = {}, QByteArray hard = {}) {
        return zipEntry(std::move(name), type, perm, "x", std::move(link), std::move(hard));
    };
    const QByteArray plist = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
                             "<string>com.lumora.Capture</string></dict></plist>";
    const ZipEntry info = zipEntry("Capture.app/Contents/Info.plist", kFile, 0644, plist);
    struct Case {
        const char *name;
        QList<ZipEntry> entries;
    };
    const std::vector<Case> cases = {
        {"parent entry", {info, entry("Capture.app/../../evil.txt", kFile, 0644)}},
        {"absolute path", {info, entry("/tmp/vesk-update-evil.txt", kFile, 0644)}},
        {"link out of staging", {info, entry("Capture.app/Contents/up", 0120000, 0777, "../../../..")}},
        {"hard link to /etc/passwd", {info, entry("Capture.app/Contents/passwd", kFile, 0644, {}, "/etc/passwd")}},
        {"character device", {info, entry("Capture.app/Contents/tty", 0020000, 0666)}},
        {"setuid executable", {info, entry("Capture.app/Contents/MacOS/run", kFile, 04755)}},
    };
    for (const QString &tool : {QString(), QStringLiteral("gzip"), QStringLiteral("xz"), QStringLiteral("zstd")}) {
        const QString suffix = tool.isEmpty() ? ".tar" : tool == "gzip" ? ".tar.gz" : tool == "xz" ? ".tar.xz" : ".tar.zst";
        // A refused archive changes nothing, so one installed app serves every case.
        UpdateRig rig;
        const QString bundle = rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
        const QByteArray before = treeDigest(bundle);
        for (const Case &c : cases) {
            const std::string label = c.name + (" " + suffix).toStdString();
            const QByteArray tar = buildTar(c.entries);
            const QString path = rig.root.path() + "/Capture" + suffix;
            writeBytes(path, compressed(tar + QByteArray(2000, '\0'), tool));
            const CommandResult result = drive(
                rig.installer.install(rig.release(UpdateRig::captureId, "2.0", {}), downloaded(rig, path, "Capture" + suffix),
                                      noGrace()),
                rig.clock);
            EXPECT_FALSE(result.success) << label;
            EXPECT_TRUE(result.message.value_or(QString()).startsWith("Install failed: Failed to extract update archive"))
                << label << ": " << result.message.value_or(QString()).toStdString();
            EXPECT_EQ(treeDigest(bundle), before) << label;
            EXPECT_TRUE(rig.leftovers(rig.paths.applicationsDir()).isEmpty()) << label;
            EXPECT_FALSE(QFile::exists("/tmp/vesk-update-evil.txt")) << label;
        }
    }
}

TEST(AppInstallerTest, AFullDiskWhileStagingFailsClearlyAndLeavesTheInstalledAppAsItWas)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting the small file system this test fills takes root";
    UpdateRig rig;
    const QString apps = rig.paths.applicationsDir();
    ASSERT_TRUE(QDir().mkpath(apps));
    // 1 MiB for the application folder: the installed app fits, the new one does not.
    if (::mount("tmpfs", QFile::encodeName(apps).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0755") != 0)
        GTEST_SKIP() << "this machine refuses a tmpfs mount: " << std::strerror(errno);
    struct Unmount {
        QString path;
        ~Unmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
    } unmount{apps};

    const QString bundle = rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
    const QByteArray before = treeDigest(bundle);
    rig.apps.running.insert(UpdateRig::captureId);
    // Zeros pack small and unpack to 3 MiB.
    const QString scratch = rig.root.path() + "/scratch";
    const QString big = makeBundle(scratch, "Capture.app", appInfo(UpdateRig::captureId, "Capture", "2.0"));
    writeFile(big + "/Contents/Resources/data.bin", QByteArray(3 * 1024 * 1024, '\0'));
    const QString archive = rig.root.path() + "/Capture.zip";
    packBundle(big, archive);
    const QString file = downloaded(rig, archive, "Capture.zip");

    const CommandResult result =
        drive(rig.installer.install(rig.release(UpdateRig::captureId, "2.0", {}), file, noGrace()), rig.clock);
    EXPECT_EQ(result, CommandResult::failure("Install failed: Failed to extract update archive (not enough free space in " +
                                             apps + ")"));
    EXPECT_EQ(treeDigest(bundle), before) << "the installed app is untouched";
    EXPECT_TRUE(rig.leftovers(apps).isEmpty()) << "the staging folder is gone";
    EXPECT_FALSE(QFile::exists(file)) << "and so is the download";
    EXPECT_FALSE(rig.installer.manifest().entry(UpdateRig::captureId).has_value());
    EXPECT_TRUE(rig.apps.running.contains(UpdateRig::captureId)) << "the app quit for the install runs again";
}

TEST(AppInstallerTest, NewAppIsInstalledIntoTheApplicationsFolder)
{
    UpdateRig rig;
    const QString archive = rig.makeArchive("com.lumora.Kiosk", "Kiosk", "3.1", "Kiosk.tar.gz");
    const QString file = downloaded(rig, archive, "Kiosk.tar.gz");
    EXPECT_EQ(drive(rig.installer.install(rig.release("com.lumora.Kiosk", "3.1", {}), file, noGrace()), rig.clock),
              CommandResult::ok("Installed Kiosk 3.1"));
    EXPECT_EQ(rig.installedVersion("com.lumora.Kiosk"), "3.1");
    EXPECT_TRUE(QFileInfo(rig.paths.applicationsDir() + "/Kiosk.app").isDir());
    // Nothing was replaced, so nothing is kept and the app, not running before, stays closed.
    EXPECT_FALSE(rig.installer.manifest().entry("com.lumora.Kiosk").has_value());
    EXPECT_TRUE(rig.apps.actions.isEmpty());
}

TEST(AppInstallerTest, ReopenedAppMustStayUpThroughTheGracePeriodOrTheOldBundleReturns)
{
    struct Case {
        const char *name;
        std::optional<std::chrono::seconds> diesAfter; // the new version's process ends after this long
        bool hangs;
        CommandResult want;
        QString versionAfter;
    };
    const Case cases[] = {
        {"stays up", std::nullopt, false, CommandResult::ok("Updated Capture to 2.0"), "2.0"},
        {"exits at once", std::chrono::seconds(0), false,
         CommandResult::failure("Capture 2.0 reverted: the new version did not stay running"), "1.0"},
        {"exits after 40 s", std::chrono::seconds(40), false,
         CommandResult::failure("Capture 2.0 reverted: the new version did not stay running"), "1.0"},
        {"stops answering", std::nullopt, true,
         CommandResult::failure("Capture 2.0 reverted: the new version did not stay running"), "1.0"},
    };
    // The alert feed's side: what was raised and cleared.
    struct Alerts final : UpdateRevertSink {
        QList<UpdateRevert> raised;
        QStringList cleared;
        void raiseUpdateRevert(const UpdateRevert &revert) override { raised << revert; }
        void clearUpdateRevert(const QString &title) override { cleared << title; }
    };
    for (const Case &c : cases) {
        UpdateRig rig;
        Alerts alerts;
        rig.installer.setRevertSink(&alerts);
        const QString bundle = rig.makeApp(UpdateRig::captureId, "Capture", "1.0");
        const QByteArray original = treeDigest(bundle);
        rig.apps.running.insert(UpdateRig::captureId);
        if (c.hangs)
            rig.installer.setResponding([](const QString &) { return false; });
        const QDateTime start = rig.clock.now();
        int launches = 0;
        rig.apps.onQuit = [](const QString &) {};
        const QString file = downloaded(rig, rig.makeArchive(UpdateRig::captureId, "Capture", "2.0", "Capture.zip"),
                                        "Capture.zip");
        // The new version's process: counted from its launch, gone once `diesAfter` passed.
        std::optional<QDateTime> launchedAt;
        auto task = rig.installer.install(rig.release(UpdateRig::captureId, "2.0", {}), file, AppInstaller::Options{});
        std::optional<CommandResult> out;
        auto runner = storeResult(std::move(task), out);
        QElapsedTimer guard;
        guard.start();
        while (!out && guard.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (rig.apps.actions.count("launch " + UpdateRig::captureId) > launches) {
                launches = int(rig.apps.actions.count("launch " + UpdateRig::captureId));
                launchedAt = rig.clock.now();
            }
            if (c.diesAfter && launches == 1 && launchedAt && rig.clock.now() >= *launchedAt + *c.diesAfter)
                rig.apps.running.remove(UpdateRig::captureId);
            if (!out && rig.clock.sleeperCount() > 0)
                rig.clock.advance(rig.clock.nextWakeIn());
        }
        ASSERT_TRUE(out.has_value()) << c.name;
        EXPECT_EQ(*out, c.want) << c.name;
        EXPECT_EQ(rig.installedVersion(UpdateRig::captureId), c.versionAfter) << c.name;
        if (c.versionAfter == "1.0") {
            EXPECT_EQ(treeDigest(bundle), original) << c.name;
            ASSERT_EQ(alerts.raised.size(), 1) << c.name;
            EXPECT_EQ(alerts.raised.first().title, "Capture update reverted") << c.name;
            EXPECT_EQ(alerts.raised.first().message, c.want.message.value_or(QString())) << c.name;
            EXPECT_TRUE(alerts.raised.first().restored) << c.name;
            EXPECT_TRUE(alerts.cleared.isEmpty()) << c.name;
        } else {
            EXPECT_TRUE(alerts.raised.isEmpty()) << c.name;
            EXPECT_EQ(alerts.cleared, QStringList{"Capture update reverted"}) << c.name << ": a good install clears it";
        }
        // Quit before the install (2 s), then the grace period when it stayed up.
        if (c.want.success) {
            EXPECT_EQ(rig.clock.now(), start.addSecs(2 + 60)) << c.name;
        }
        EXPECT_TRUE(rig.apps.running.contains(UpdateRig::captureId)) << c.name;
    }
}

} // namespace
} // namespace vesk::test
