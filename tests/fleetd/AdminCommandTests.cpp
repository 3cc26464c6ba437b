#include "fleetd/cli/FleetdMain.h"
#include "fleetd/http/ReleaseWire.h"
#include "fleetd/storage/FleetStore.h"
#include "fleetd/storage/ReleaseArchives.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sodium.h>

using namespace vesk::fleetd;

namespace {

struct CliRun {
    int code = -1;
    QString out;
    QString err;
};

class AdminCommandTest : public ::testing::Test {
protected:
    CliRun run(QStringList arguments)
    {
        CliRun result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        result.code = fleetdMain(QStringList{"vesk-fleetd"} + arguments + QStringList{"--db", m_db}, out, err);
        return result;
    }

    QByteArray databaseBytes()
    {
        QByteArray bytes;
        for (const char *suffix : {"", "-wal"}) {
            QFile file(m_db + QLatin1String(suffix));
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll();
        }
        return bytes;
    }

    QTemporaryDir m_dir;
    QString m_db = m_dir.filePath("fleet.sqlite");
};

TEST_F(AdminCommandTest, SecretCodesAreShownOnceAndNeverStored)
{
    ASSERT_EQ(run({"tenant", "add", "ABCD1234"}).code, 0);
    EXPECT_EQ(run({"tenant", "add", "abcd1234"}).code, 1);
    EXPECT_EQ(run({"secret", "issue", "NOSUCH"}).code, 1);

    const CliRun issued = run({"secret", "issue", "abcd1234"});
    ASSERT_EQ(issued.code, 0) << issued.err.toStdString();
    const QStringList first = issued.out.trimmed().split('\t');
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(first[0], "1");
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{64}$").match(first[1]).hasMatch()) << first[1].toStdString();
    EXPECT_EQ(run({"secret", "issue", "ABCD1234"}).code, 1) << "a second active secret";

    const CliRun rotated = run({"secret", "rotate", "ABCD1234"});
    ASSERT_EQ(rotated.code, 0);
    const QString second = rotated.out.trimmed().split('\t').value(1);
    ASSERT_EQ(run({"secret", "revoke", "ABCD1234"}).code, 0);
    EXPECT_EQ(run({"secret", "revoke", "ABCD1234"}).code, 1) << "nothing active is left";

    const CliRun listed = run({"secret", "list", "ABCD1234"});
    ASSERT_EQ(listed.code, 0);
    const QStringList lines = listed.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QStringList one = lines[0].split('\t');
    const QStringList two = lines[1].split('\t');
    EXPECT_EQ(one.mid(0, 3), (QStringList{"1", first[1].left(8), "rotated"}));
    EXPECT_NE(one[4], "-");
    EXPECT_EQ(two.mid(0, 3), (QStringList{"2", second.left(8), "revoked"}));
    EXPECT_NE(two[5], "-");

    for (const QString &code : {first[1], second}) {
        EXPECT_FALSE(listed.out.contains(code));
        EXPECT_FALSE(databaseBytes().contains(code.toLatin1())) << "the code itself is in the database";
        EXPECT_FALSE(databaseBytes().contains(code.toUpper().toLatin1()));
    }
}

TEST_F(AdminCommandTest, QueuedCommandsCarryTextParamsAndNeedAMachineOfATenant)
{
    ASSERT_EQ(run({"tenant", "add", "ABCD1234"}).code, 0);
    ASSERT_EQ(run({"event", "add", "ABCD1234", "EVT-1"}).code, 0);
    EXPECT_EQ(run({"event", "add", "ABCD1234", "evt-1"}).code, 0) << "binding again is harmless";
    ASSERT_EQ(run({"tenant", "add", "OTHER"}).code, 0);
    EXPECT_EQ(run({"event", "add", "OTHER", "EVT-1"}).code, 1) << "an event belongs to one tenant";
    {
        FleetStore store;
        ASSERT_EQ(store.open(m_db, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
        ASSERT_EQ(store.recordHeartbeat({"evt-1", "S1", "warden", "1.0", {}}, QDateTime::currentDateTimeUtc()),
                  StoreStatus::ok());
    }
    const CliRun queued = run({"command", "queue", "S1", "show_message", "--param", "message=Back soon", "--param",
                            "dismissable=true", "--param", "payload_id=42", "--param", "version=010",
                            "--param", "note=a=b"});
    ASSERT_EQ(queued.code, 0) << queued.err.toStdString();
    EXPECT_EQ(queued.out.trimmed(), "1");
    EXPECT_EQ(run({"command", "queue", "S1", "format_disk"}).code, 1);
    EXPECT_EQ(run({"command", "queue", "S1", "restart", "--param", "novalue"}).code, 1);
    EXPECT_EQ(run({"command", "queue", "UNSEEN", "restart"}).code, 1);

    FleetStore store;
    ASSERT_EQ(store.open(m_db, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
    const QList<CommandRecord> commands = store.commands().list("S1").value;
    ASSERT_EQ(commands.size(), 1);
    // The agent reads every parameter as text: "010" must not arrive as the number 10.
    EXPECT_EQ(commands[0].params, (QJsonObject{{"message", "Back soon"},
                                              {"dismissable", "true"},
                                              {"payload_id", "42"},
                                              {"version", "010"},
                                              {"note", "a=b"}}));
    const CliRun listed = run({"command", "list", "S1"});
    EXPECT_TRUE(listed.out.startsWith("1\tshow_message\t")) << listed.out.toStdString();
    EXPECT_TRUE(listed.out.contains("\tpending\t"));

    // Only an administrator moves a machine; its old tenant's open command cannot reach it any more.
    EXPECT_EQ(run({"machine", "move", "S1", "NOBODY"}).code, 1);
    EXPECT_EQ(run({"machine", "move", "UNSEEN", "OTHER"}).code, 1);
    const CliRun moved = run({"machine", "move", "S1", "other"});
    ASSERT_EQ(moved.code, 0) << moved.err.toStdString();
    EXPECT_EQ(moved.out.trimmed(), "machine S1 moved from ABCD1234 to OTHER");
    EXPECT_EQ(store.ownership().owner("S1").value.code, "OTHER");
    EXPECT_TRUE(run({"command", "list", "S1"}).out.contains("\tfailed\t"));
}

TEST_F(AdminCommandTest, AppsPrintsTheLatestInstalledAppsReportOnceThereIsOne)
{
    ASSERT_EQ(run({"tenant", "add", "ABCD1234"}).code, 0);
    const CliRun none = run({"apps", "S1"});
    EXPECT_EQ(none.code, 1) << "a waiting script must tell no report from an empty one";
    EXPECT_TRUE(none.err.contains("no installed-apps report from S1 yet")) << none.err.toStdString();
    {
        FleetStore store;
        ASSERT_EQ(store.open(m_db, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
        const QJsonArray apps{QJsonObject{{"bundle_id", "com.lumora.capture"}, {"version", "2.1"}},
                              QJsonObject{{"bundle_id", "com.lumora.print"}, {"version", "1.0"}}};
        ASSERT_EQ(store.tenants().bindEventCode(1, "EVT-1", QDateTime::currentDateTimeUtc()), StoreStatus::ok());
        ASSERT_EQ(store.recordHeartbeat({"EVT-1", "S1", "warden", "1.0", {}}, QDateTime::currentDateTimeUtc()),
                  StoreStatus::ok());
        ASSERT_EQ(run({"apps", "S1"}).code, 1) << "registered, but no report yet";
        ASSERT_EQ(store.reports().putInstalledApps(1, "S1", apps, QDateTime::currentDateTimeUtc()), StoreStatus::ok());
    }
    const CliRun listed = run({"apps", "S1"});
    ASSERT_EQ(listed.code, 0) << listed.err.toStdString();
    const QStringList lines = listed.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << listed.out.toStdString();
    const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(first.value("bundle_id").toString(), "com.lumora.capture");
    EXPECT_EQ(first.value("version").toString(), "2.1");
    EXPECT_TRUE(QDateTime::fromString(first.value("reported_at").toString(), Qt::ISODateWithMs).isValid())
        << lines[0].toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(lines[1].toUtf8()).object().value("bundle_id").toString(), "com.lumora.print");
}

TEST_F(AdminCommandTest, ReleasePublishChecksItsArguments)
{
    const QString sha(64, 'b');
    EXPECT_EQ(run({"release", "publish", "com.lumora.x", "1.0", "https://h/x.zip", "--sha256", "abc"}).code, 1);
    EXPECT_EQ(run({"release", "publish", "com.lumora.x", "1.0", "ftp://h/x.zip", "--sha256", sha}).code, 1);
    EXPECT_EQ(run({"release", "publish", "com.lumora.x", "1.0", "https://h/x.zip"}).code, 1);
    ASSERT_EQ(run({"release", "publish", "com.lumora.x", "1.0", "https://h/x.zip", "--sha256", sha.toUpper(), "--build",
                   "7", "--notes", "Fixes", "--critical"})
                  .code,
              0);
    FleetStore store;
    ASSERT_EQ(store.open(m_db, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
    const QList<ReleaseRecord> releases = store.releases().list().value;
    ASSERT_EQ(releases.size(), 1);
    EXPECT_EQ(releases[0].sha256, sha);
    EXPECT_EQ(releases[0].build, "7");
    EXPECT_EQ(releases[0].releaseNotes, "Fixes");
    EXPECT_TRUE(releases[0].critical);
}

TEST_F(AdminCommandTest, PoliciesAreSavedListedAndAssignedFromTheShell)
{
    ASSERT_EQ(run({"tenant", "add", "ABCD1234"}).code, 0);
    const QString uuid = "5e1f6a3c-1111-4222-8333-944455556666";
    const auto write = [&](const char *name, const QJsonObject &policy) {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(policy).toJson());
        return file.fileName();
    };
    const QString kiosk = write("kiosk.json", {{"id", uuid.toUpper()}, {"name", "Kiosk"}});
    const QString renamed = write("renamed.json", {{"id", uuid}, {"name", "Kiosk\tfront"}});
    const QString listed = write("listed.json", {{"id", uuid}, {"name", "Kiosk"}, {"assigned_serials", QJsonArray{"C3"}}});
    const QString other = write("other.json", {{"id", "6e1f6a3c-1111-4222-8333-944455556666"}, {"name", "Archive"}});
    const QString broken = write("broken.json", {{"name", "no id"}});

    const CliRun saved = run({"policy", "save", "ABCD1234", kiosk});
    ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
    EXPECT_EQ(saved.out.trimmed(), "policy " + uuid + " saved");
    ASSERT_EQ(run({"policy", "assign", "ABCD1234", "C1", uuid}).code, 0);
    ASSERT_EQ(run({"policy", "assign", "ABCD1234", "C2", uuid.toUpper()}).code, 0);
    // Saving again keeps its machines; a file that lists machines names exactly those.
    ASSERT_EQ(run({"policy", "save", "ABCD1234", renamed}).code, 0);
    ASSERT_EQ(run({"policy", "save", "ABCD1234", other}).code, 0);
    EXPECT_EQ(run({"policy", "list", "ABCD1234"}).out,
              "6e1f6a3c-1111-4222-8333-944455556666\tArchive\t\n" + uuid + "\tKiosk front\tC1,C2\n");
    ASSERT_EQ(run({"policy", "save", "ABCD1234", listed}).code, 0);
    EXPECT_TRUE(run({"policy", "list", "ABCD1234"}).out.endsWith(uuid + "\tKiosk\tC3\n"));

    struct Refusal {
        QStringList arguments;
        int code;
    };
    const Refusal refusals[] = {
        {{"policy", "save", "ABCD1234", broken}, 1},
        {{"policy", "save", "ABCD1234", m_dir.filePath("missing.json")}, 1},
        {{"policy", "save", "NOSUCH", kiosk}, 1},
        {{"policy", "list", "NOSUCH"}, 1},
        {{"policy", "list"}, 2},
        {{"policy", "save", "ABCD1234"}, 2},
    };
    for (const Refusal &r : refusals) {
        const CliRun refused = run(r.arguments);
        EXPECT_EQ(refused.code, r.code) << r.arguments.join(' ').toStdString();
        EXPECT_FALSE(refused.err.isEmpty()) << r.arguments.join(' ').toStdString();
    }
    EXPECT_EQ(run({"policy", "list", "ABCD1234"}).out.count('\n'), 2) << "refusals changed nothing";
}

TEST_F(AdminCommandTest, LocalArchiveIsHostedSignedWithTheFleetKeyAndOfferedWithItsSignature)
{
    const QString archive = QFileInfo(m_db).absolutePath() + "/Capture 2.0.zip";
    QFile file(archive);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray bytes = QByteArray(5000, 'z') + "release";
    file.write(bytes);
    file.close();
    ASSERT_EQ(run({"release", "publish", "com.lumora.capture", "2.0", archive}).code, 0);
    EXPECT_EQ(run({"release", "publish", "com.lumora.capture", "2.0", archive, "--sha256", QString(64, 'c')}).code, 1)
        << "a checksum that does not match the archive";

    const ReleaseArchives archives(m_db);
    // Owner read and write only (Qt reports the owner's bits twice, also as the user's).
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(archives.keyFile()) & (others | QFileDevice::ExeOwner), QFileDevice::Permissions());
    EXPECT_TRUE(QFile::permissions(archives.keyFile()).testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    FleetStore store;
    ASSERT_EQ(store.open(m_db, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
    const QList<ReleaseRecord> releases = store.releases().list().value;
    ASSERT_EQ(releases.size(), 1);
    const QString sha = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(releases[0].sha256, sha);

    // The agent is offered an absolute URL on the address it asked, and the signature, which
    // verifies against the key handed out at pairing.
    const QJsonArray offered = appUpdatesJson(releases, QUrl("http://10.0.0.5:8080/api/app_updates"), m_db)
                                   .value("updates").toArray();
    ASSERT_EQ(offered.size(), 1);
    const QJsonObject update = offered[0].toObject();
    EXPECT_EQ(update.value("download_url").toString(),
              "http://10.0.0.5:8080/api/release_download?file=" + sha + "-Capture 2.0.zip");
    QString error;
    const QByteArray publicKey = QByteArray::fromBase64(archives.publicKey(&error).value_or(QString()).toLatin1());
    const QByteArray signature = QByteArray::fromBase64(update.value("signature").toString().toLatin1());
    ASSERT_EQ(publicKey.size(), crypto_sign_PUBLICKEYBYTES) << error.toStdString();
    ASSERT_EQ(signature.size(), crypto_sign_BYTES);
    crypto_sign_state state;
    crypto_sign_init(&state);
    crypto_sign_update(&state, reinterpret_cast<const unsigned char *>(bytes.constData()), quint64(bytes.size()));
    EXPECT_EQ(crypto_sign_final_verify(&state, reinterpret_cast<const unsigned char *>(signature.constData()),
                                       reinterpret_cast<const unsigned char *>(publicKey.constData())),
              0);
    EXPECT_EQ(archives.pathOf("../" + sha + "-Capture 2.0.zip"), std::nullopt);
    EXPECT_EQ(archives.pathOf(sha + "-Capture 2.0.zip.sig"), std::nullopt);
}

} // namespace
