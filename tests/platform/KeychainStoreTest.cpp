#include "LogCapture.h"
#include "platform/PlatformPaths.h"
#include "platform/linux/FileKeychainStore.h"
#include "platform/linux/KeychainStoreFactory.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/SecretServiceProbe.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include <sys/stat.h>

using namespace std::chrono_literals;
using vesk::FileKeychainStore;
using vesk::KeychainError;
using vesk::KeychainRead;
using vesk::KeychainResult;
using vesk::KeychainStore;

namespace {

// No test here may reach the desktop keychain of whoever runs it: the session bus
// points to nothing before the application object or any bus connection exists.
const bool g_noSessionBus = qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vesk-no-session-bus");

const QString kService = QStringLiteral("com.lumora.warden");

mode_t modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray everyByte()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    return bytes;
}

KeychainRead readItem(KeychainStore &store, const QString &service, const QString &account)
{
    return QCoro::waitFor(store.read(service, account));
}

KeychainResult writeItem(KeychainStore &store, const QString &service, const QString &account, const QByteArray &value)
{
    return QCoro::waitFor(store.write(service, account, value));
}

KeychainResult removeItem(KeychainStore &store, const QString &service, const QString &account)
{
    return QCoro::waitFor(store.remove(service, account));
}

// A bus daemon of the test's own, so the Secret Service check runs against a real bus
// whose names the test decides. `activatable` installs a service file for the name.
class PrivateBus {
public:
    PrivateBus(const QString &root, bool activatable)
    {
        const QString services = root + QStringLiteral("/services");
        QDir().mkpath(services);
        if (activatable) {
            writeRaw(services + QStringLiteral("/secrets.service"),
                     "[D-BUS Service]\nName=org.freedesktop.secrets\nExec=/bin/false\n");
        }
        const QString config = root + QStringLiteral("/bus.conf");
        writeRaw(config, QStringLiteral(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>unix:path=%1/bus</listen><servicedir>%2</servicedir>"
            "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                             .arg(root, services).toUtf8());
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (m_daemon.waitForStarted(10000) && m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString &name : m_connections)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished(10000);
    }

    const QString &address() const { return m_address; }
    QDBusConnection connect()
    {
        const QString name = QStringLiteral("keychain-test-%1").arg(m_connections.size());
        m_connections.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

class FileKeychainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(g_noSessionBus);
        ASSERT_TRUE(m_root.isValid());
        m_paths = vesk::PlatformPaths::underRoot(m_root.path());
    }

    QString file() const { return m_paths.keychainFile; }
    QString folder() const { return QFileInfo(file()).absolutePath(); }
    QStringList corruptCopies() const
    {
        return QDir(folder()).entryList({QStringLiteral("keychain.json.corrupt-*")}, QDir::Files);
    }

    QTemporaryDir m_root;
    vesk::PlatformPaths m_paths;
};

struct Item {
    const char *name;
    QString service;
    QString account;
    QByteArray value;
};

// Names that overlap in service or account, as the lock hashes, share passwords and
// per-tenant fleet secrets do.
const std::vector<Item> kItems = {
    {"lock hash, no account", kService + QStringLiteral(".applock_hash"), {}, QByteArray(64, 'a')},
    {"other lock, same hash", kService + QStringLiteral(".pauselock_hash"), {}, QByteArray(64, 'a')},
    {"fleet secret of abc", kService, QStringLiteral("fleet-secret::abc"), QByteArray(64, 'f')},
    {"fleet secret of xyz", kService, QStringLiteral("fleet-secret::xyz"), QByteArray(64, '0')},
    {"secret id of abc", kService, QStringLiteral("fleet-secret-id::abc"), "42"},
    {"same account, other service", QStringLiteral("com.lumora.other"), QStringLiteral("fleet-secret::abc"), "other"},
    {"account named like a service", {}, kService, "swapped"},
    {"share password, UTF-8", kService + QStringLiteral(".share-password-1b4e28ba"), {}, QStringLiteral("pässwörd ✓").toUtf8()},
    {"every byte value", QStringLiteral("binary"), QStringLiteral("bytes"), everyByte()},
    {"present but empty", QStringLiteral("empty"), QStringLiteral("value"), QByteArray()},
};

TEST_F(FileKeychainTest, ItemsKeepTheirOwnValuesAcrossStoresOnOneFile)
{
    {
        FileKeychainStore writer(file());
        for (const Item &item : kItems)
            ASSERT_EQ(writeItem(writer, item.service, item.account, item.value), KeychainResult::success()) << item.name;
    }
    FileKeychainStore reader(file());
    for (const Item &item : kItems)
        EXPECT_EQ(readItem(reader, item.service, item.account), KeychainRead::of(item.value)) << item.name;

    // Rewriting one item and removing another leaves every neighbour as it was.
    ASSERT_TRUE(writeItem(reader, kItems[2].service, kItems[2].account, "rotated").ok());
    ASSERT_TRUE(removeItem(reader, kItems[3].service, kItems[3].account).ok());
    FileKeychainStore again(file());
    for (std::size_t i = 0; i < kItems.size(); ++i) {
        const KeychainRead got = readItem(again, kItems[i].service, kItems[i].account);
        if (i == 2)
            EXPECT_EQ(got, KeychainRead::of("rotated"));
        else if (i == 3)
            EXPECT_TRUE(got.absent()) << got;
        else
            EXPECT_EQ(got, KeychainRead::of(kItems[i].value)) << kItems[i].name;
    }
}

TEST_F(FileKeychainTest, AbsentIsNotAnErrorAndNotAnEmptyValue)
{
    FileKeychainStore store(file());
    const KeychainRead beforeAnyFile = readItem(store, kService, QStringLiteral("fleet-secret::abc"));
    EXPECT_TRUE(beforeAnyFile.absent()) << beforeAnyFile;
    EXPECT_FALSE(beforeAnyFile.failed());
    EXPECT_EQ(beforeAnyFile.valueOrNone(), std::nullopt);
    EXPECT_TRUE(removeItem(store, kService, QStringLiteral("fleet-secret::abc")).ok()) << "removing nothing succeeds";
    EXPECT_FALSE(QFileInfo::exists(folder())) << "reads and idle removals create nothing";

    ASSERT_TRUE(writeItem(store, kService, QStringLiteral("empty"), QByteArray()).ok());
    const KeychainRead empty = readItem(store, kService, QStringLiteral("empty"));
    EXPECT_TRUE(empty.found()) << empty;
    EXPECT_EQ(empty.valueOrNone(), std::optional<QByteArray>(QByteArray()));

    ASSERT_TRUE(removeItem(store, kService, QStringLiteral("empty")).ok());
    EXPECT_TRUE(readItem(store, kService, QStringLiteral("empty")).absent());
}

TEST_F(FileKeychainTest, NewFileIsPrivateWhateverTheUmask)
{
    const mode_t previous = ::umask(0);
    FileKeychainStore store(file());
    const KeychainResult written = writeItem(store, kService, QStringLiteral("fleet-secret::abc"), "s3cret");
    ::umask(previous);
    ASSERT_TRUE(written.ok()) << written;
    EXPECT_EQ(modeOf(folder()), 0700u);
    EXPECT_EQ(modeOf(file()), 0600u);
}

TEST_F(FileKeychainTest, WrongModesAreRepairedAndLoggedWithoutTheSecret)
{
    struct Case {
        const char *name;
        mode_t folderMode;
        mode_t fileMode;
        int repairs;
    };
    const Case cases[] = {
        {"shared folder and readable file", 0755, 0644, 2},
        {"world-writable folder only", 0777, 0600, 1},
        {"group-readable file only", 0700, 0640, 1},
        {"file lost its owner write bit", 0700, 0400, 1},
    };
    const QByteArray secret = "correct-horse-battery-staple";
    for (const Case &tc : cases) {
        QTemporaryDir root;
        FileKeychainStore store(vesk::PlatformPaths::underRoot(root.path()).keychainFile);
        const QString dir = QFileInfo(store.file()).absolutePath();
        ASSERT_TRUE(writeItem(store, kService, QStringLiteral("fleet-secret::abc"), secret).ok()) << tc.name;
        ASSERT_EQ(::chmod(QFile::encodeName(store.file()).constData(), tc.fileMode), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), tc.folderMode), 0);

        vesk::test::LogCapture log;
        EXPECT_EQ(readItem(store, kService, QStringLiteral("fleet-secret::abc")), KeychainRead::of(secret)) << tc.name;
        EXPECT_EQ(modeOf(dir), 0700u) << tc.name;
        EXPECT_EQ(modeOf(store.file()), 0600u) << tc.name;
        EXPECT_EQ(log.count(QStringLiteral("restricted it to")), tc.repairs) << tc.name;
        EXPECT_EQ(log.count(QString::fromLatin1(secret)), 0) << tc.name;

        // Once repaired there is nothing more to say.
        vesk::test::LogCapture quiet;
        EXPECT_TRUE(readItem(store, kService, QStringLiteral("fleet-secret::abc")).found()) << tc.name;
        EXPECT_EQ(quiet.count(QStringLiteral("restricted it to")), 0) << tc.name;
    }
}

TEST_F(FileKeychainTest, DamagedFileIsReportedThenKeptAsideByTheNextWrite)
{
    struct Case {
        const char *name;
        QByteArray text;
    };
    const Case cases[] = {
        {"truncated JSON", R"({"format": 1, "items": [{"service": "s", )"},
        {"not an object", "[]"},
        {"empty file", ""},
        {"newer format", R"({"format": 2, "items": []})"},
        {"value not base64", R"({"format": 1, "items": [{"service": "s", "account": "a", "value": "not base64!"}]})"},
        {"item without account", R"({"format": 1, "items": [{"service": "s", "value": "AA=="}]})"},
    };
    for (const Case &tc : cases) {
        QTemporaryDir root;
        const QString path = vesk::PlatformPaths::underRoot(root.path()).keychainFile;
        writeRaw(path, tc.text);
        ::chmod(QFile::encodeName(path).constData(), 0600);
        FileKeychainStore store(path);

        const KeychainRead read = readItem(store, QStringLiteral("s"), QStringLiteral("a"));
        EXPECT_EQ(read.result.code, KeychainError::Corrupt) << tc.name << ": " << read;
        EXPECT_EQ(read.valueOrNone(), std::nullopt) << tc.name;
        EXPECT_EQ(removeItem(store, QStringLiteral("s"), QStringLiteral("a")).code, KeychainError::Corrupt) << tc.name;
        EXPECT_EQ(contentsOf(path), tc.text) << tc.name << ": only a write may replace it";

        vesk::test::LogCapture log;
        ASSERT_TRUE(writeItem(store, kService, QStringLiteral("fresh"), "new").ok()) << tc.name;
        const QStringList copies = QDir(QFileInfo(path).absolutePath())
                                       .entryList({QStringLiteral("keychain.json.corrupt-*")}, QDir::Files);
        ASSERT_EQ(copies.size(), 1) << tc.name;
        const QString copy = QFileInfo(path).absolutePath() + QLatin1Char('/') + copies.first();
        EXPECT_EQ(contentsOf(copy), tc.text) << tc.name;
        EXPECT_EQ(modeOf(copy), 0600u) << tc.name;
        EXPECT_EQ(log.count(copies.first()), 1) << tc.name;

        FileKeychainStore reopened(path);
        EXPECT_EQ(readItem(reopened, kService, QStringLiteral("fresh")), KeychainRead::of("new")) << tc.name;
    }
}

TEST_F(FileKeychainTest, SecondDamageKeepsBothCopies)
{
    FileKeychainStore store(file());
    for (const QByteArray &damage : {QByteArray("first damage"), QByteArray("second damage")}) {
        writeRaw(file(), damage);
        ASSERT_TRUE(writeItem(store, kService, QStringLiteral("a"), "v").ok());
    }
    QStringList kept;
    for (const QString &name : corruptCopies())
        kept.append(QString::fromUtf8(contentsOf(folder() + QLatin1Char('/') + name)));
    kept.sort();
    EXPECT_EQ(kept, QStringList({QStringLiteral("first damage"), QStringLiteral("second damage")}));
}

TEST_F(FileKeychainTest, SomethingElseInThePlaceOfTheFileIsLeftAlone)
{
    FileKeychainStore store(file());
    ASSERT_TRUE(writeItem(store, kService, QStringLiteral("a"), "kept").ok());
    // A folder where the file should be: not readable as a keychain, and not ours to
    // replace or re-permission.
    QFile::remove(file());
    ASSERT_TRUE(QDir().mkpath(file()));
    ASSERT_EQ(::chmod(QFile::encodeName(file()).constData(), 0755), 0);

    EXPECT_TRUE(readItem(store, kService, QStringLiteral("a")).failed());
    const KeychainResult written = writeItem(store, kService, QStringLiteral("b"), "v");
    EXPECT_EQ(written.code, KeychainError::Failed) << written;
    EXPECT_TRUE(QFileInfo(file()).isDir());
    EXPECT_EQ(modeOf(file()), 0755u);
    EXPECT_TRUE(corruptCopies().isEmpty());
}

TEST(KeychainStoreFactory, ChoosesThePrivateFileWithoutASessionBus)
{
    ASSERT_TRUE(g_noSessionBus);
    QTemporaryDir root;
    const auto paths = vesk::PlatformPaths::underRoot(root.path());
    vesk::test::LogCapture log;
    const std::unique_ptr<KeychainStore> store = vesk::makeKeychainStore(paths);
    const auto *file = dynamic_cast<FileKeychainStore *>(store.get());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->file(), paths.keychainFile);
    EXPECT_EQ(log.count(QStringLiteral("Keychain: the private file")), 1);
}

TEST(SecretServiceProbe, AnswersOnlyWhenTheNameIsOwnedOrCanBeStarted)
{
    struct Case {
        const char *name;
        bool owned;
        bool activatable;
        bool want;
    };
    const Case cases[] = {
        {"a keyring owns the name", true, false, true},
        {"the bus can start one", false, true, true},
        {"a bus without one", false, false, false},
    };
    for (const Case &tc : cases) {
        QTemporaryDir root;
        PrivateBus bus(root.path(), tc.activatable);
        ASSERT_FALSE(bus.address().isEmpty()) << tc.name << ": dbus-daemon did not start";
        QDBusConnection keyring = bus.connect();
        ASSERT_TRUE(keyring.isConnected()) << tc.name;
        if (tc.owned) {
            ASSERT_TRUE(keyring.registerService(vesk::kSecretServiceName)) << tc.name;
        }
        EXPECT_EQ(vesk::secretServiceAnswers(bus.connect(), 5s), tc.want) << tc.name;
    }
    const QDBusConnection nowhere = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/vesk-no-bus"), QStringLiteral("keychain-test-nowhere"));
    EXPECT_FALSE(vesk::secretServiceAnswers(nowhere, 5s)) << "no bus at all";
    QDBusConnection::disconnectFromBus(QStringLiteral("keychain-test-nowhere"));
}

TEST(SecretServiceKeychain, MissingBackendIsAnErrorNotAnAbsentItem)
{
    ASSERT_TRUE(g_noSessionBus);
    vesk::SecretServiceKeychain store(5s);
    const KeychainRead read = readItem(store, kService, QStringLiteral("fleet-secret::abc"));
    EXPECT_TRUE(read.failed()) << read;
    EXPECT_FALSE(writeItem(store, kService, QStringLiteral("fleet-secret::abc"), "v").ok());
}

} // namespace
