#include "platform/linux/PosixAccessProbe.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vesk {
namespace {

// Runs `probe` in a child without privileges (root drops to nobody first, as root passes
// every permission check) and returns the errno it answered.
template <class Probe> int unprivileged(Probe probe)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                                 ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(255);
        ::_exit(probe());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PosixAccessProbe, AnswersWithTheKernelsVerdictAndLeavesNothingBehind)
{
    QTemporaryDir root;
    const QString writable = root.filePath(QStringLiteral("Applications"));
    const QString locked = root.filePath(QStringLiteral("Locked"));
    ASSERT_TRUE(QDir().mkpath(writable));
    ASSERT_TRUE(QDir().mkpath(locked + QStringLiteral("/Inside")));
    QFile file(writable + QStringLiteral("/notes.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    const PosixAccessProbe probe;

    EXPECT_EQ(probe.tryReplaceIn(writable), 0);
    EXPECT_EQ(QDir(writable).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("notes.txt")})
        << "the probe's temporary names are gone";
    EXPECT_EQ(probe.tryRead(writable), 0);
    EXPECT_EQ(probe.tryRead(writable + QStringLiteral("/notes.txt")), 0);
    EXPECT_EQ(probe.tryReplaceIn(root.filePath(QStringLiteral("missing"))), ENOENT);
    EXPECT_EQ(probe.tryRead(root.filePath(QStringLiteral("missing"))), ENOENT);

    // Modes that refuse the owner and everyone else alike, so the child is refused whoever runs
    // the test.
    ASSERT_EQ(::chmod(QFile::encodeName(root.path()).constData(), 0755), 0);
    const QByteArray lockedPath = QFile::encodeName(locked);
    ASSERT_EQ(::chmod(lockedPath.constData(), 0000), 0);
    EXPECT_EQ(unprivileged([&] { return probe.tryReplaceIn(locked); }), EACCES);
    EXPECT_EQ(unprivileged([&] { return probe.tryRead(locked); }), EACCES);
    ASSERT_EQ(::chmod(lockedPath.constData(), 0555), 0);
    EXPECT_EQ(unprivileged([&] { return probe.tryRead(locked); }), 0) << "a readable folder lists";
    EXPECT_EQ(unprivileged([&] { return probe.tryReplaceIn(locked); }), EACCES) << "but takes no new entry";
    ASSERT_EQ(::chmod(lockedPath.constData(), 0755), 0);
    EXPECT_EQ(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Inside")});
}

} // namespace
} // namespace vesk
