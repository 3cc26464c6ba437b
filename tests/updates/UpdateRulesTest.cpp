#include "updates/BackupManifest.h"
#include "updates/UpdateWindow.h"
#include "updates/VersionRule.h"
#include "wire/policy/AvailableUpdate.h"
#include "wire/policy/UpdatePolicy.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <optional>

namespace vesk {
namespace {

AvailableUpdate release(QString version, std::optional<QString> build = std::nullopt)
{
    AvailableUpdate r;
    r.bundleId = QStringLiteral("com.lumora.Capture");
    r.version = std::move(version);
    r.build = std::move(build);
    return r;
}

TEST(VersionRuleTest, ReleaseIsNewerOnlyByNumberThenBuild)
{
    struct Case {
        const char *name;
        QString release;
        std::optional<QString> releaseBuild;
        QString installed;
        std::optional<QString> installedBuild;
        bool newer;
    };
    const Case cases[] = {
        {"2.10 over 2.9 by number, not text", "2.10", {}, "2.9", {}, true},
        {"older release", "1.9", {}, "1.10", {}, false},
        {"prefix and suffix around the number", "v3.0.1-beta", {}, "3.0", {}, true},
        {"leading zeros count as numbers", "1.010", {}, "1.9", {}, true},
        {"same version, higher b-build", "1.4", "b121", "1.4", "b120", true},
        {"same version, build word with space", "1.4", "build 99", "1.4", "build 100", false},
        {"same version, trailing digits", "1.4", "rc-7", "1.4", "rc-12", false},
        {"same version, installed has no build", "1.4", "200", "1.4", {}, false},
        {"same version, release has no build", "1.4", {}, "1.4", "1", false},
        {"same version and build", "1.4", "b7", "1.4", "b7", false},
        {"no digits: whole strings compared", "beta", {}, "alpha", {}, true},
        {"no digits, equal", "beta", {}, "beta", {}, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(VersionRule::isNewer(release(c.release, c.releaseBuild), c.installed, c.installedBuild), c.newer)
            << c.name;
}

TEST(UpdateWindowTest, HoursAndDaysDecideTheAutomaticPass)
{
    UpdatePolicy overnight;
    overnight.mode = UpdatePolicy::Mode::automatic;
    overnight.windowStart = 22;
    overnight.windowEnd = 2;
    UpdatePolicy closed = overnight;
    closed.windowStart = closed.windowEnd = 3;
    UpdatePolicy defaults;
    defaults.mode = UpdatePolicy::Mode::automatic;
    UpdatePolicy mondaysOnly = defaults;
    mondaysOnly.days = Weekdays(Weekdays::monday);
    UpdatePolicy approvalOnly;

    const QDate monday(2026, 3, 2);
    const QDate tuesday(2026, 3, 3);
    struct Case {
        const char *name;
        const UpdatePolicy &policy;
        QDate date;
        QTime time;
        bool open;
    };
    const Case cases[] = {
        {"over midnight, late evening", overnight, monday, QTime(23, 40), true},
        {"over midnight, last minute", overnight, monday, QTime(1, 59), true},
        {"over midnight, end hour", overnight, monday, QTime(2, 0), false},
        {"over midnight, before start", overnight, monday, QTime(21, 59), false},
        {"start equals end never opens", closed, monday, QTime(3, 0), false},
        {"default window 1-5 inside", defaults, monday, QTime(4, 59), true},
        {"default window 1-5 at 5", defaults, monday, QTime(5, 0), false},
        {"day in the mask", mondaysOnly, monday, QTime(2, 0), true},
        {"day not in the mask", mondaysOnly, tuesday, QTime(2, 0), false},
        {"admin-approved mode never installs", approvalOnly, monday, QTime(2, 0), false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(UpdateWindow::isOpen(c.policy, QDateTime(c.date, c.time)), c.open) << c.name;
}

TEST(BackupManifestTest, OneEntryPerAppAndCorruptFilesReadEmpty)
{
    QTemporaryDir dir;
    const BackupManifest manifest(dir.path());
    EXPECT_EQ(BackupManifest::backupFileName("Capture.app", "v2.4.1", "build 381"), "Capture_2.4.1_b381.app");
    EXPECT_EQ(BackupManifest::backupFileName("Capture.app", "Unknown", "Unknown"), "Capture_Unknown_bUnknown.app");

    const QDateTime when(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());
    AppBackup first{"com.lumora.Capture", "Capture", "1.0", "100", "Capture_1.0_b100.app", "/apps/Capture.app", when};
    AppBackup second = first;
    second.previousVersion = "2.0";
    second.backupFileName = "Capture_2.0_b100.app";
    AppBackup other = first;
    other.bundleId = "com.lumora.Print";
    ASSERT_TRUE(manifest.put(first.bundleId, first));
    ASSERT_TRUE(manifest.put(other.bundleId, other));
    ASSERT_TRUE(manifest.put(second.bundleId, second));
    EXPECT_EQ(manifest.load(), (QList<AppBackup>{other, second}));
    ASSERT_TRUE(manifest.put(other.bundleId, std::nullopt));
    EXPECT_EQ(manifest.load(), QList<AppBackup>{second});

    QFile corrupt(manifest.path());
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly | QIODevice::Truncate));
    corrupt.write("[{\"bundleId\": ");
    corrupt.close();
    EXPECT_TRUE(manifest.load().isEmpty());
    EXPECT_FALSE(manifest.entry(second.bundleId).has_value());
}

} // namespace
} // namespace vesk
