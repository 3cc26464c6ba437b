#include "LogCapture.h"

#include "local/PrivacyDatabase.h"
#include "local/SystemPermissions.h"
#include "platform/AccessProbe.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

#include <cerrno>

using namespace vesk;

namespace {

// Answers each path with the errno scripted for it; unscripted paths go through. Asked from the
// check's worker thread, so it only reads.
class ScriptedProbe final : public AccessProbe {
public:
    QHash<QString, int> replace;
    QHash<QString, int> read;

    int tryReplaceIn(const QString &folder) const override { return replace.value(folder, 0); }
    int tryRead(const QString &path) const override { return read.value(path, 0); }
};

// A privacy database as the system keeps it: the access table with one row per grant.
void writePrivacyDatabase(const QString &path, const QList<std::tuple<QString, QString, int>> &rows)
{
    const QString connection = QStringLiteral("fixture-") + path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        // A scratch file: no need to wait for the disk.
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA synchronous = OFF")));
        ASSERT_TRUE(query.exec(QStringLiteral("CREATE TABLE access (service TEXT NOT NULL, client TEXT NOT NULL, "
                                              "client_type INTEGER, auth_value INTEGER NOT NULL)")));
        for (const auto &[service, client, value] : rows) {
            ASSERT_TRUE(query.prepare(QStringLiteral("INSERT INTO access VALUES (?, ?, 0, ?)")));
            query.addBindValue(service);
            query.addBindValue(client);
            query.addBindValue(value);
            ASSERT_TRUE(query.exec());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

const QString kAppBundles = QStringLiteral("kTCCServiceSystemPolicyAppBundles");
const QString kWarden = QStringLiteral("com.lumora.VESK-Warden");

TEST(PrivacyDatabase, FirstDatabaseWithARowDecidesAndTwoOrMoreIsOn)
{
    QTemporaryDir dir;
    const QString user = dir.filePath(QStringLiteral("user.db"));
    const QString system = dir.filePath(QStringLiteral("system.db"));
    const QString garbage = dir.filePath(QStringLiteral("garbage.db"));
    QFile bad(garbage);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a database at all, just text that sqlite refuses to read");
    bad.close();

    struct Case {
        const char *name;
        QList<std::tuple<QString, QString, int>> userRows;
        QList<std::tuple<QString, QString, int>> systemRows;
        std::optional<bool> want;
    };
    const Case cases[] = {
        {"2 is on", {{kAppBundles, kWarden, 2}}, {}, true},
        {"0 is off", {{kAppBundles, kWarden, 0}}, {}, false},
        {"1 is off", {{kAppBundles, kWarden, 1}}, {}, false},
        {"the highest row counts", {{kAppBundles, kWarden, 0}, {kAppBundles, kWarden, 3}}, {}, true},
        {"the user's database goes first", {{kAppBundles, kWarden, 0}}, {{kAppBundles, kWarden, 2}}, false},
        {"no row there: the system's decides", {{kAppBundles, "com.other.App", 2}}, {{kAppBundles, kWarden, 2}}, true},
        {"another service is not the switch", {{"kTCCServiceSystemPolicyAllFiles", kWarden, 2}}, {}, std::nullopt},
        {"no row anywhere", {}, {}, std::nullopt},
    };
    for (const Case &c : cases) {
        QFile::remove(user);
        QFile::remove(system);
        writePrivacyDatabase(user, c.userRows);
        writePrivacyDatabase(system, c.systemRows);
        EXPECT_EQ(PrivacyDatabase::appManagementSwitch({garbage, user, system}, kWarden), c.want) << c.name;
    }
    EXPECT_EQ(PrivacyDatabase::appManagementSwitch({dir.filePath(QStringLiteral("missing.db")), garbage}, kWarden),
              std::nullopt)
        << "no readable database, no answer";
    EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty()) << "every connection is closed again";
}

TEST(SystemPermissions, EachPermissionFollowsItsProbesWithTheDetailThatDecidedIt)
{
    using Status = SystemPermissions::Status;
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("privacy.db"));
    const QString apps = QStringLiteral("/opt/apps");
    const QString userApps = QStringLiteral("/home/ana/Applications");

    struct Case {
        const char *name;
        QHash<QString, int> replace;
        std::optional<int> switchValue; // none: no row
        Status want;
        QString wantDetail;
    };
    const Case cases[] = {
        {"both folders take a replacement", {}, std::nullopt, Status::granted,
         "test write into /opt/apps, /home/ana/Applications succeeded"},
        {"one refusal decides", {{userApps, EACCES}}, 2, Status::denied,
         "the system blocked a test write into /home/ana/Applications (errno 13, Permission denied)"},
        {"EPERM is a refusal too", {{apps, EPERM}}, std::nullopt, Status::denied,
         "the system blocked a test write into /opt/apps (errno 1, Operation not permitted)"},
        {"a missing folder is passed over", {{userApps, ENOENT}}, std::nullopt, Status::granted,
         "test write into /opt/apps succeeded"},
        {"a read-only folder leaves it open", {{apps, EROFS}}, std::nullopt, Status::unknown,
         "couldn't test /opt/apps (errno 30, Read-only file system)"},
        {"open, and the switch shows on", {{apps, EROFS}}, 2, Status::granted,
         "System Settings shows the App Management switch on"},
        {"open, and the switch shows off", {{apps, EROFS}}, 1, Status::denied,
         "System Settings shows the App Management switch off"},
        {"no folder at all", {{apps, ENOENT}, {userApps, ENOENT}}, std::nullopt, Status::unknown,
         "no application folder could confirm the grant"},
    };
    for (const Case &c : cases) {
        QFile::remove(db);
        if (c.switchValue)
            writePrivacyDatabase(db, {{kAppBundles, kWarden, *c.switchValue}});
        ScriptedProbe probe;
        probe.replace = c.replace;
        SystemPermissions permissions({probe, {apps, userApps}, "/home/ana", {}, {db}, kWarden, "/opt/vesk-warden"});
        ASSERT_EQ(permissions.appManagement(), Status::unknown) << "nothing is known before the first check";
        QCoro::waitFor(permissions.refresh());
        EXPECT_EQ(permissions.appManagement(), c.want) << c.name;
        EXPECT_EQ(permissions.appManagementDetail(), c.wantDetail) << c.name;
    }
}

TEST(SystemPermissions, FullDiskAccessReadsTheCleanupFoldersAndSharesAndIsNeverLeftOpen)
{
    using Status = SystemPermissions::Status;
    struct Case {
        const char *name;
        QStringList targets;
        QHash<QString, int> read;
        Status want;
        QString wantDetail;
    };
    const Case cases[] = {
        {"nothing configured: the home folder stands in", {}, {}, Status::granted, "/home/ana readable"},
        {"every target readable", {"/srv/exports", "/mnt/studio", "/srv/exports"}, {}, Status::granted,
         "/srv/exports readable; /mnt/studio readable"},
        {"one refusal", {"/srv/exports", "/mnt/studio"}, {{"/mnt/studio", EACCES}}, Status::denied,
         "/srv/exports readable; /mnt/studio read failed (errno 13, Permission denied)"},
        {"a stale share refuses too", {"/mnt/studio"}, {{"/mnt/studio", EIO}}, Status::denied,
         "/mnt/studio read failed (errno 5, Input/output error)"},
        {"a missing folder decides nothing", {"/srv/gone"}, {{"/srv/gone", ENOENT}}, Status::granted,
         "/srv/gone missing"},
    };
    for (const Case &c : cases) {
        ScriptedProbe probe;
        probe.read = c.read;
        SystemPermissions permissions(
            {probe, {}, "/home/ana", [&c] { return c.targets; }, {}, kWarden, "/opt/vesk-warden"});
        test::LogCapture log;
        QCoro::waitFor(permissions.refresh());
        EXPECT_EQ(permissions.fullDiskAccess(), c.want) << c.name;
        EXPECT_EQ(permissions.fullDiskAccessDetail(), c.wantDetail) << c.name;
        const QStringList lines = log.messages(QStringLiteral("permissions"));
        ASSERT_EQ(lines.size(), 1) << c.name;
        EXPECT_EQ(lines.first(), QStringLiteral("Permissions check — FDA ") + SystemPermissions::logWord(c.want) +
                                     ": " + c.wantDetail +
                                     "; App Mgmt unconfirmed: no application folder could confirm the grant; "
                                     "signature: valid; running from /opt/vesk-warden")
            << c.name;
    }
}

TEST(SystemPermissions, MenuLinesNameWhatIsMissing)
{
    struct Case {
        const char *name;
        QHash<QString, int> replace;
        QHash<QString, int> read;
        QStringList want;
    };
    const Case cases[] = {
        {"all granted", {}, {}, {"Permissions: granted"}},
        {"app folder refused", {{"/opt/apps", EACCES}}, {}, {"Grant App Management…", "Repair Permissions…"}},
        {"app folder untestable", {{"/opt/apps", EROFS}}, {}, {"Grant App Management…"}},
        {"home unreadable", {}, {{"/home/ana", EACCES}}, {"Grant Full Disk Access…", "Repair Permissions…"}},
        {"both", {{"/opt/apps", EPERM}}, {{"/home/ana", EACCES}},
         {"Grant App Management…", "Grant Full Disk Access…", "Repair Permissions…"}},
    };
    for (const Case &c : cases) {
        ScriptedProbe probe;
        probe.replace = c.replace;
        probe.read = c.read;
        SystemPermissions permissions({probe, {"/opt/apps"}, "/home/ana", {}, {}, kWarden, {}});
        QCoro::waitFor(permissions.refresh());
        EXPECT_EQ(permissions.menuLines(), c.want) << c.name;
        EXPECT_EQ(permissions.allGranted(), c.want == QStringList{"Permissions: granted"}) << c.name;
    }
}

} // namespace
