// Files the agent writes survive a crash at any moment: the atomic-write helper on its own,
// then every kind of agent file written by a real process that is killed with SIGKILL at
// random moments (VESK_ATOMIC_KILLS times per kind). After each kill the file must hold
// exactly the last generation the writer finished, or the one it was writing.
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <sys/stat.h>
#include <thread>

using namespace vesk;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The writer's next line; empty when it sent none within the time limit or ended.
QByteArray nextLine(QProcess &writer)
{
    while (!writer.canReadLine()) {
        if (!writer.waitForReadyRead(20000))
            return {};
    }
    return writer.readLine().trimmed();
}

qint64 lastWritten(const QByteArray &output, qint64 fallback)
{
    qint64 last = fallback;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("wrote "))
            last = line.mid(6).toLongLong();
    }
    return last;
}

} // namespace

TEST(AtomicFile, ReplacesContentKeepsPermissionsAndReportsFailures)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("items.json"));

    ASSERT_EQ(AtomicFile::write(path, "old"), std::nullopt);
    ASSERT_EQ(AtomicFile::write(path, "new", QFileDevice::ReadOwner | QFileDevice::WriteOwner), std::nullopt);
    EXPECT_EQ(readFile(path), "new");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // Nothing but the file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("items.json")});

    const std::optional<QString> missingFolder =
        AtomicFile::write(dir.filePath(QStringLiteral("gone/items.json")), "x");
    ASSERT_TRUE(missingFolder.has_value());
    EXPECT_TRUE(missingFolder->contains(QStringLiteral("gone/items.json"))) << missingFolder->toStdString();
    EXPECT_TRUE(AtomicFile::syncFolder(dir.path()));
    EXPECT_FALSE(AtomicFile::syncFolder(dir.filePath(QStringLiteral("gone"))));
}

TEST(CrashSafeFiles, EveryKindIsWholeAfterSigkillAtRandomMoments)
{
    const int kills =
        qEnvironmentVariableIsSet("VESK_ATOMIC_KILLS") ? qEnvironmentVariableIntValue("VESK_ATOMIC_KILLS") : 10;
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));

    for (const char *kind : {"keychain", "settings", "policy_library", "policy_cache", "backups_manifest",
                             "retention_rules", "shares", "recent_commands", "alert_outbox"}) {
        SCOPED_TRACE(kind);
        QTemporaryDir dir;
        qint64 written = 0;
        for (int round = 0; round <= kills; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(VESK_ATOMIC_WRITER), {QString::fromLatin1(kind), dir.path()});
            ASSERT_TRUE(writer.waitForStarted());

            // The previous writer finished `written`; it may also have finished the next one
            // before the kill landed. Anything else is a torn, empty or lost file.
            const QByteArray found = nextLine(writer);
            const qint64 generation = found.startsWith("found ") ? found.mid(6).toLongLong() : -1;
            const bool whole = found != "found torn" && (generation == written || generation == written + 1);
            EXPECT_TRUE(whole) << "round " << round << ": " << found.toStdString() << " after generation " << written;
            if (!whole || round == kills) {
                writer.kill();
                writer.waitForFinished();
                break;
            }

            // Kill it a random time after a random number of finished writes, somewhere in a
            // later write: the moment must vary across the whole write, so this waits for real.
            const int writes = 1 + int(random() % 3);
            for (int i = 0; i < writes; ++i)
                written = lastWritten(nextLine(writer), written);
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
            writer.kill();
            ASSERT_TRUE(writer.waitForFinished());
            written = lastWritten(writer.readAllStandardOutput(), written);
        }
    }
}
