#include "credentials/CredentialManager.h"

#include "LogCapture.h"
#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "ScriptedHttpTransport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vesk;
using namespace std::chrono_literals;

namespace {

QByteArray credentialFile(const QString &account, const QString &location)
{
    return QStringLiteral("<credentials>\n\t<kr5_account>%1</kr5_account>\n\t<kr5_location>%2</kr5_location>\n"
                          "\t<kr5_2_account>DD-DD-22-22</kr5_2_account>\n\t<kr5_2_location>DL-%2</kr5_2_location>\n"
                          "</credentials>\n")
        .arg(account, location)
        .toUtf8();
}

class CredentialScanTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }

    std::unique_ptr<CredentialManager> makeManager()
    {
        auto manager = std::make_unique<CredentialManager>(m_defaults, m_clock, m_http, m_paths, QUrl());
        manager->setLogger([this](const QString &line) { m_lines.append(line); });
        manager->setAuditLogger([this](const QString &event, const QString &text) {
            m_audits.append(event + QStringLiteral(" ") + text);
        });
        return manager;
    }

    QString write(const QString &path, const QByteArray &content)
    {
        EXPECT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    QStringList names(const CredentialManager &manager) const
    {
        QStringList out;
        for (const CredentialSet &set : manager.currentSets())
            out.append(set.name);
        return out;
    }

    QTemporaryDir m_root;
    PlatformPaths m_paths = PlatformPaths::underRoot(m_root.path());
    test::MemoryDefaultsStore m_defaults;
    test::ManualClock m_clock;
    test::ScriptedHttpTransport m_http;
    QStringList m_lines;
    QStringList m_audits;
};

TEST_F(CredentialScanTest, ReadsEveryLocationInOrderAndSkipsWhatIsNotACredentialFile)
{
    const QString desktop = m_paths.desktopDir;
    const QString documents = m_paths.documentsDir;
    const QString vendor = m_paths.sharedDir + QStringLiteral("/Lumora");
    const QString extra = m_root.path() + QStringLiteral("/extra");
    const QString missing = m_root.path() + QStringLiteral("/missing");

    const QString a = write(desktop + QStringLiteral("/credentials_A.xml"), credentialFile("AA-AA-11-11", "LA"));
    write(desktop + QStringLiteral("/notes.txt"), credentialFile("NNNN1111", "LN"));
    write(documents + QStringLiteral("/Credentials_B.txt"), credentialFile("BBBB2222", "LB"));
    const QString dupA = write(documents + QStringLiteral("/Credentials/credentials_A.txt"),
                               credentialFile("XXXX9999", "LX"));
    write(documents + QStringLiteral("/sub/credentials_Deep.xml"), credentialFile("DDDD4444", "LD"));
    write(vendor + QStringLiteral("/venue/2026/credentials_C.xml"), credentialFile("CCCC3333", "LC"));
    write(extra + QStringLiteral("/credentials_E.xml"), credentialFile("EEEE5555", "LE"));
    // Files that look like candidates but are not credential files.
    QByteArray huge = credentialFile("HHHH6666", "LH");
    huge.append(QByteArray(300 * 1024, ' '));
    write(desktop + QStringLiteral("/credentials_huge.xml"), huge);
    write(desktop + QStringLiteral("/credentials_binary.xml"), QByteArray("<credentials>\0\xff\x01", 16));
    write(desktop + QStringLiteral("/credentials_latin1.txt"),
          "<credentials><kr5_location>Caf\xe9</kr5_location><kr5_account>LLLL7777</kr5_account>");
    write(desktop + QStringLiteral("/credentials_plain.txt"), "just a note about credentials");
    ASSERT_TRUE(QDir().mkpath(desktop + QStringLiteral("/credentials_folder.xml")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(desktop + QStringLiteral("/credentials_pipe.xml")).constData(), 0600), 0);

    auto manager = makeManager();
    int cleanups = 0;
    manager->setDesktopURLCleanup([&]() { ++cleanups; });
    manager->setAdditionalScanLocations({{missing, false}, {extra, false}});
    manager->scanForCredentials();
    EXPECT_EQ(cleanups, 1) << "Desktop access is released after the scan";

    EXPECT_EQ(names(*manager), (QStringList{"A", "B", "C", "E"}));
    EXPECT_EQ(manager->currentSets().first().kr5Account, QStringLiteral("AA-AA-11-11"));
    EXPECT_EQ(manager->currentSets().first().lastReadAt, m_clock.now());
    const QStringList expectedLines = {
        QStringLiteral("Credential scanner started"),
        QStringLiteral("CREDENTIALS scan: skipped duplicate set 'A' at ") + dupA,
        QStringLiteral("CREDENTIALS scan: cannot list ") + missing,
        QStringLiteral("Imported 'A' from ") + a,
        QStringLiteral("CREDENTIALS imported set: A"),
        QStringLiteral("CREDENTIALS updated: 4 scanned + 0 preserved = 4 set(s)"),
    };
    for (const QString &line : expectedLines)
        EXPECT_EQ(m_lines.count(line), 1) << line.toStdString() << "\nin:\n" << m_lines.join('\n').toStdString();
    EXPECT_EQ(m_audits.filter(QStringLiteral("credentialSetAdded Added set '")).size(), 4);
}

TEST_F(CredentialScanTest, RescanReplacesInPlaceKeepsUnseenSetsAndAuditsOnlyChanges)
{
    const QString docs = m_paths.documentsDir;
    write(docs + QStringLiteral("/credentials_A.xml"), credentialFile("AAAA1111", "LA"));
    const QString b = write(docs + QStringLiteral("/credentials_B.xml"), credentialFile("BBBB2222", "LB"));
    auto manager = makeManager();
    manager->scanForCredentials();
    ASSERT_EQ(names(*manager), (QStringList{"A", "B"}));
    ASSERT_TRUE(manager->setPipeline(QStringLiteral("A"), QStringLiteral("kr5-2")));

    QFile::remove(b);
    write(docs + QStringLiteral("/credentials_A.xml"), credentialFile("AAAA1111", "LA-NEW"));
    write(docs + QStringLiteral("/credentials_C.xml"), credentialFile("CCCC3333", "LC"));
    m_clock.advance(3600s);
    m_lines.clear();
    m_audits.clear();
    manager->scanForCredentials();

    EXPECT_EQ(names(*manager), (QStringList{"A", "B", "C"}));
    const CredentialSet &a = manager->currentSets().first();
    EXPECT_EQ(a.kr5Location, QStringLiteral("LA-NEW"));
    EXPECT_EQ(a.lastReadAt, m_clock.now());
    EXPECT_EQ(a.selectedPipeline, QStringLiteral("kr5-2")) << "the chosen pipeline survives a re-read";
    EXPECT_EQ(a.eventCode(), QStringLiteral("DL-LA-NEW"));
    EXPECT_EQ(manager->importTimestamps().value(QStringLiteral("A")), m_clock.now());
    EXPECT_EQ(m_lines.count(QStringLiteral("CREDENTIALS updated: 2 scanned + 1 preserved = 3 set(s)")), 1);
    EXPECT_EQ(m_audits.filter(QStringLiteral("credentialSetUpdated Updated set 'A'")).size(), 1);
    EXPECT_EQ(m_audits.filter(QStringLiteral("credentialSetAdded Added set 'C'")).size(), 1);

    // The same files again change nothing worth an audit.
    m_audits.clear();
    manager->scanForCredentials();
    EXPECT_TRUE(m_audits.filter(QStringLiteral("credentialSetUpdated")).isEmpty()) << m_audits.join('\n').toStdString();
}

TEST_F(CredentialScanTest, DesktopSkippedWithoutAccess)
{
    write(m_paths.desktopDir + QStringLiteral("/credentials_Desk.xml"), credentialFile("AAAA1111", "LA"));
    CredentialManager manager(m_defaults, m_clock, m_http, m_paths, QUrl());
    int cleanups = 0;
    manager.setDesktopURLProvider([]() { return std::nullopt; });
    manager.setDesktopURLCleanup([&]() { ++cleanups; });
    test::LogCapture capture; // without a logger the lines go to the "credentials" category
    manager.scanForCredentials();
    EXPECT_TRUE(manager.currentSets().isEmpty());
    EXPECT_EQ(cleanups, 0) << "nothing to release";
    EXPECT_EQ(capture.messages(QStringLiteral("credentials"))
                  .count(QStringLiteral("CREDENTIALS scan: no Desktop access (provider returned nil)")),
              1);
}

} // namespace
