#include "BundleFixture.h"
#include "TestWorkspace.h"
#include "monitor/FamilyApps.h"
#include "monitor/FleetAppDirectory.h"
#include "platform/linux/LinuxWorkspace.h"

#include "ManualClock.h"

#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace std::chrono_literals;
using namespace vesk;
using namespace vesk::test;

namespace {

class FleetAppDirectoryTest : public ::testing::Test {
protected:
    QString dir(const QString &relative) const { return m_root.path() + "/" + relative; }
    PlatformPaths makePaths() const
    {
        PlatformPaths paths = PlatformPaths::underRoot(m_root.path());
        paths.applicationDirs = {dir("Applications"), dir("System/Applications"), dir("home/Applications")};
        return paths;
    }

    QTemporaryDir m_root;
    PlatformPaths m_paths = makePaths();
    ManualClock m_clock;
    LinuxWorkspace m_real{m_paths.applicationDirs};
    TestWorkspace m_workspace{m_real, m_root.path()};
    FleetAppDirectory m_directory{m_workspace, m_clock, m_paths};
};

const AppRef *find(const QList<AppRef> &refs, const QString &id)
{
    for (const AppRef &ref : refs) {
        if (ref.bundleId == id)
            return &ref;
    }
    return nullptr;
}

} // namespace

TEST_F(FleetAppDirectoryTest, ListsEveryApplicationOnceWithTheFamilyTableMergedIn)
{
    QVariantMap capture = appInfo("com.lumora.capture", "Lumora Capture");
    capture.insert("CFBundleDisplayName", "Capture Studio");
    const QString captureBundle = makeBundle(dir("Applications"), "Capture.app", capture);
    makeBundle(captureBundle + "/Contents/Helpers", "Helper.app", appInfo("com.lumora.capture.helper", "Helper"));
    capture.insert("CFBundleDisplayName", "Old Capture");
    makeBundle(dir("home/Applications"), "Capture.app", capture);
    makeBundle(dir("Applications/Utilities"), "Notes.app", appInfo("org.example.notes", "Notes Plus"));
    makeBundle(dir("Applications"), "Untitled.app", {{"CFBundleIdentifier", "org.example.untitled"}});
    makeBundle(dir("Applications"), "NoId.app", {{"CFBundleName", "No Identifier"}});
    makeBundle(dir("System/Applications"), "Calculator.app", appInfo("org.example.calculator", "Calculator"));

    const QList<AppRef> refs = QCoro::waitFor(m_directory.allApplications());

    ASSERT_TRUE(find(refs, "org.example.untitled") && find(refs, "com.lumora.print"));
    EXPECT_EQ(*find(refs, "com.lumora.capture"), (AppRef{"com.lumora.capture", "Capture Studio", true}))
        << "display name first, and the first application folder wins";
    EXPECT_EQ(*find(refs, "org.example.notes"), (AppRef{"org.example.notes", "Notes Plus", false}));
    EXPECT_EQ(*find(refs, "org.example.untitled"), (AppRef{"org.example.untitled", "Untitled", false}));
    EXPECT_EQ(*find(refs, "org.example.calculator"), (AppRef{"org.example.calculator", "Calculator", false}));
    EXPECT_EQ(*find(refs, "com.lumora.print"), (AppRef{"com.lumora.print", "Lumora Print", true}))
        << "family apps not on disk come from the table";
    EXPECT_FALSE(find(refs, "com.lumora.capture.helper")) << "nested bundles are not listed";

    QSet<QString> ids;
    for (const AppRef &ref : refs)
        ids.insert(ref.bundleId);
    EXPECT_EQ(ids.size(), refs.size()) << "one row per identifier";
    EXPECT_EQ(refs.size(), familyAppTable().size() + 3);
    EXPECT_EQ(refs.first().name, "Calculator");
    EXPECT_EQ(refs.last().name, "Untitled");
}

TEST_F(FleetAppDirectoryTest, ConcurrentCallersShareOneScanAndItIsKeptFor600Seconds)
{
    makeBundle(dir("Applications"), "Notes.app", appInfo("org.example.notes", "Notes"));

    auto first = m_directory.allApplications();
    auto second = m_directory.allApplications();
    const QList<AppRef> a = QCoro::waitFor(std::move(first));
    const QList<AppRef> b = QCoro::waitFor(std::move(second));
    EXPECT_EQ(m_workspace.walks(), 1);
    EXPECT_EQ(a, b);
    ASSERT_TRUE(find(a, "org.example.notes"));

    makeBundle(dir("Applications"), "Atlas.app", appInfo("org.example.atlas", "Atlas"));
    m_clock.advance(599s);
    EXPECT_FALSE(find(QCoro::waitFor(m_directory.allApplications()), "org.example.atlas"));
    EXPECT_EQ(m_workspace.walks(), 1) << "still inside the 600 seconds";

    m_clock.advance(1s);
    EXPECT_TRUE(find(QCoro::waitFor(m_directory.allApplications()), "org.example.atlas"));
    EXPECT_EQ(m_workspace.walks(), 2);
}
