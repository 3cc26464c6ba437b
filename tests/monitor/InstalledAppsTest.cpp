#include "BundleFixture.h"
#include "TestWorkspace.h"
#include "monitor/FleetAppDirectory.h"
#include "platform/linux/LinuxWorkspace.h"

#include "ManualClock.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace vesk;
using namespace vesk::test;

namespace {

// Written by an independent encoder; CFBundleVersion is the integer 200, not a string.
const QByteArray kSlideshowPlist = QByteArray::fromBase64(
    "YnBsaXN0MDDVAQIDBAUGBwgJCl8QEkNGQnVuZGxlRXhlY3V0YWJsZV8QEkNGQnVuZGxlSWRlbnRpZmllclxDRkJ1bmRsZU5hbWVfEBpDRkJ1bmRs"
    "ZVNob3J0VmVyc2lvblN0cmluZ18QD0NGQnVuZGxlVmVyc2lvblZzbGlkZXNfEBRjb20ubHVtb3JhLnNsaWRlc2hvd18QEEx1bW9yYSBTbGlkZXNo"
    "b3dTMi4wEMgIEyg9Smd5gJeqrgAAAAAAAAEBAAAAAAAAAAsAAAAAAAAAAAAAAAAAAACw");

class InstalledAppsTest : public ::testing::Test {
protected:
    InstalledAppsTest()
    {
        m_paths = PlatformPaths::underRoot(m_root.path());
        m_paths.applicationDirs = {apps(), m_root.path() + "/System/Applications", homeApps()};
    }
    QString apps() const { return m_root.path() + "/Applications"; }
    QString homeApps() const { return m_root.path() + "/home/Applications"; }

    QTemporaryDir m_root;
    PlatformPaths m_paths;
    ManualClock m_clock;
};

QVariantMap without(QVariantMap info, const QStringList &keys)
{
    for (const QString &k : keys)
        info.remove(k);
    return info;
}

const InstalledApp *find(const QList<InstalledApp> &apps, const QString &id)
{
    for (const InstalledApp &app : apps) {
        if (app.bundleId == id)
            return &app;
    }
    return nullptr;
}

} // namespace

TEST_F(InstalledAppsTest, ReportsTheFamilyWithItsFallbacks)
{
    const QString capture = makeBundle(apps(), "Lumora Capture.app", appInfo("com.lumora.capture", "Lumora Capture", "4.2.1", "421"),
                                       readFile("/bin/sleep"));
    writeFile(capture + "/Contents/Resources/model.bin", QByteArray(50000, 'm'));
    const QString print = makeBundle(apps(), "Print.app", without(appInfo("com.lumora.print", "Lumora Print", "", "77"), {"CFBundleShortVersionString"}));
    makeBundle(print + "/Contents/Helpers", "Print Spooler.app", appInfo("com.lumora.printqueue", "Spooler"));
    const QString kiosk = makeBundle(apps(), "Kiosk Station.app",
                                     without(appInfo("com.lumora.kiosk", ""), {"CFBundleName", "CFBundleShortVersionString", "CFBundleVersion"}));
    QVariantMap numericName = appInfo("com.lumora.display", "");
    numericName.insert("CFBundleName", 5);
    const QString display = makeBundle(apps(), "Display.app", numericName);
    const QString slides = makeBundle(homeApps(), "Slides.app", {});
    writeFile(slides + "/Contents/Info.plist", kSlideshowPlist);
    makeBundle(apps(), "Other.app", appInfo("org.example.other", "Other"));
    writeFile(apps() + "/Sales.app/Contents/Info.plist", "<plist><dict><key>CFBundleIdentifier</key><string>com.lumora.sales");

    LinuxWorkspace real(m_paths.applicationDirs);
    TestWorkspace workspace(real, m_root.path());
    FleetAppDirectory directory(workspace, m_clock, m_paths);
    QProcess running;
    running.start(capture + "/Contents/MacOS/run", {"30"});
    ASSERT_TRUE(running.waitForStarted(5000));
    const QList<InstalledApp> got = QCoro::waitFor(directory.installedFamilyApps());
    running.kill();
    running.waitForFinished(5000);

    const struct {
        QString id, name, version, build, path;
        bool running;
    } want[] = {
        {"com.lumora.display", "Display", "1.0", "100", display, false},
        {"com.lumora.kiosk", "Kiosk Station", "Unknown", "Unknown", kiosk, false},
        {"com.lumora.capture", "Lumora Capture", "4.2.1", "421", capture, true},
        {"com.lumora.print", "Lumora Print", "Unknown", "77", print, false},
        {"com.lumora.slideshow", "Lumora Slideshow", "2.0", "Unknown", slides, false},
    };
    ASSERT_EQ(got.size(), std::size(want)) << "nested, foreign and unreadable bundles are not listed";
    for (size_t i = 0; i < std::size(want); ++i) {
        const InstalledApp &app = got[qsizetype(i)];
        const auto &w = want[i];
        // Only the started one can have a last use (exec reads its executable); sizes below.
        const auto lastOpened = w.running ? app.lastOpened : std::nullopt;
        EXPECT_EQ(app, (InstalledApp{w.id, w.name, w.version, w.build, w.path, lastOpened, app.fileSize, w.running, w.name, true}));
        EXPECT_GT(app.fileSize.value_or(0), 0) << w.id.toStdString();
    }
    EXPECT_GE(*find(got, "com.lumora.capture")->fileSize, 50000);
}

TEST_F(InstalledAppsTest, FolderScanAndWorkspaceLookupFindDifferentCopies)
{
    const QString current = makeBundle(apps(), "Capture.app", appInfo("com.lumora.capture", "Capture", "2.0"));
    makeBundle(apps() + "/Old", "Capture.app", appInfo("com.lumora.capture", "Capture", "1.0"));
    const QString share = makeBundle(homeApps(), "Share.app", appInfo("com.lumora.share", "Share"));
    QDir().mkpath(apps() + "/Lumora");

    LinuxWorkspace real(m_paths.applicationDirs);
    TestWorkspace workspace(real, m_root.path());
    FleetAppDirectory directory(workspace, m_clock, m_paths);
    ASSERT_EQ(QCoro::waitFor(directory.installedFamilyApps()).size(), 2); // the workspace has now registered what it saw
    const QString upload = makeBundle(apps() + "/Lumora", "Upload.app", appInfo("com.lumora.upload", "Upload"));

    auto paths = [](const QList<InstalledApp> &list) {
        QStringList out;
        for (const auto &app : list)
            out.append(app.path);
        return out;
    };
    EXPECT_EQ(paths(QCoro::waitFor(directory.familyApps(InstalledAppsScope::entireMachine))), QStringList({current, share}))
        << "installed but not registered yet: not reported";
    EXPECT_EQ(paths(QCoro::waitFor(directory.familyApps(InstalledAppsScope::applicationsFolder))), QStringList({current, upload}))
        << "the folder scan finds it, keeps the shallower copy and ignores other folders";
}

TEST_F(InstalledAppsTest, TheBundleWalksRunWhileTheMainThreadGoesOn)
{
    makeBundle(apps(), "Capture.app", appInfo("com.lumora.capture", "Capture"));
    makeBundle(apps(), "Print.app", appInfo("com.lumora.print", "Print"));
    LinuxWorkspace real(m_paths.applicationDirs);
    TestWorkspace workspace(real, m_root.path());
    QSemaphore gate;
    workspace.sizeGate = &gate;
    FleetAppDirectory directory(workspace, m_clock, m_paths);

    auto discovery = directory.installedFamilyApps();
    EXPECT_FALSE(discovery.isReady()) << "the caller is back while the size walks are held";
    gate.release(2);
    const QList<InstalledApp> got = QCoro::waitFor(std::move(discovery));
    ASSERT_EQ(got.size(), 2);
    EXPECT_GT(got[0].fileSize.value_or(0), 0);
    EXPECT_GT(got[1].fileSize.value_or(0), 0);
    EXPECT_FALSE(workspace.sizedOnMainThread());
}

TEST(InstalledAppReport, KeysAndOptionalFields)
{
    InstalledApp app{"com.lumora.print", "Lumora Print", "3.1", "310", "/Applications/Print.app",
                     QDateTime(QDate(2026, 2, 14), QTime(18, 30, 5, 750), QTimeZone::utc()),
                     3 * 1048576 + 524288, true, "Lumora Print", true};
    const QJsonObject full = reportRecord(app).toJson();
    EXPECT_EQ(full, QJsonObject({{"bundle_id", "com.lumora.print"},
                                 {"name", "Lumora Print"},
                                 {"version", "3.1"},
                                 {"build", "310"},
                                 {"path", "/Applications/Print.app"},
                                 {"is_running", true},
                                 {"is_vesk_app", true},
                                 {"file_size_mb", 3.5},
                                 {"last_opened", "2026-02-14T18:30:05Z"}}))
        << QJsonDocument(full).toJson().toStdString();

    app.fileSize.reset();
    app.lastOpened.reset();
    const QJsonObject bare = reportRecord(app).toJson();
    EXPECT_FALSE(bare.contains("file_size_mb"));
    EXPECT_FALSE(bare.contains("last_opened"));
}
