#include "BundleFixture.h"
#include "platform/linux/LinuxWorkspace.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace vesk;
using namespace vesk::test;

namespace {

class LinuxWorkspaceTest : public ::testing::Test {
protected:
    QString apps() const { return m_root.path() + "/Applications"; }
    QString homeApps() const { return m_root.path() + "/home/Applications"; }
    QString path(const QString &relative) const { return m_root.path() + "/" + relative; }

    QTemporaryDir m_root;
};

qint64 lstatBlocks(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        ADD_FAILURE() << "lstat " << path.toStdString();
    return qint64(st.st_blocks) * 512;
}

// Sets a file's access and modification times (the fixture's files are fresh otherwise).
void setTimes(const QString &path, const QDateTime &accessed, const QDateTime &modified)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    ASSERT_TRUE(file.setFileTime(accessed, QFileDevice::FileAccessTime));
}

void ageFolder(const QString &folder)
{
    const timespec times[2] = {{978307200, 0}, {978307200, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), times, 0), 0);
}

std::string describe(const QList<RunningApplication> &apps)
{
    std::string out;
    for (const RunningApplication &app : apps)
        out += std::to_string(app.pid) + " " + app.bundlePath.toStdString() + "; ";
    return out.empty() ? "nothing" : out;
}

std::optional<RunningApplication> runningFrom(LinuxWorkspace &ws, const QString &bundle)
{
    std::optional<RunningApplication> found;
    for (const RunningApplication &app : ws.runningApplications()) {
        if (app.bundlePath == bundle) {
            EXPECT_FALSE(found) << "listed twice: " << bundle.toStdString();
            found = app;
        }
    }
    return found;
}

} // namespace

TEST_F(LinuxWorkspaceTest, FindsBundlesWithoutDescendingIntoThemOrFollowingLinks)
{
    makeBundle(apps(), "Print.app", appInfo("com.lumora.print", "Lumora Print"));
    makeBundle(apps() + "/Print.app/Contents/Helpers", "Spooler.app", appInfo("com.lumora.print.spooler", "Spooler"));
    makeBundle(apps() + "/Lumora", "Kiosk.app", appInfo("com.lumora.kiosk", "Lumora Kiosk"));
    writeFile(apps() + "/Broken.app/Contents/Info.plist", "<plist><dict><key>CFBundleIdentifier</key>");
    QDir().mkpath(apps() + "/Empty.app");
    writeFile(apps() + "/Notes.app", "a file, not a folder");
    makeBundle(path("elsewhere"), "Outside.app", appInfo("com.lumora.outside", "Outside"));
    ASSERT_TRUE(QFile::link(path("elsewhere"), apps() + "/Linked"));
    ASSERT_TRUE(QFile::link(path("elsewhere/Outside.app"), apps() + "/Outside.app"));

    LinuxWorkspace ws({apps()});
    const QList<BundleInfo> found = ws.findBundles({apps(), path("missing")});
    QStringList paths;
    for (const BundleInfo &b : found)
        paths.append(b.path.mid(apps().size() + 1));
    EXPECT_EQ(paths, QStringList({"Broken.app", "Empty.app", "Lumora/Kiosk.app", "Print.app"}));
    ASSERT_EQ(found.size(), 4);
    EXPECT_FALSE(found[0].bundleIdentifier) << "an unreadable Info.plist leaves the path only";
    EXPECT_FALSE(found[1].bundleIdentifier);
    EXPECT_EQ(found[3].bundleIdentifier, QString("com.lumora.print"));
    EXPECT_EQ(found[3].executable, QString("run"));
}

TEST_F(LinuxWorkspaceTest, LookupPrefersTheEarlierFolderAndLearnsOfNewBundles)
{
    const QString first = makeBundle(apps(), "Capture.app", appInfo("com.lumora.capture", "Capture", "2.0"));
    makeBundle(homeApps(), "Capture.app", appInfo("com.lumora.capture", "Capture", "1.0"));
    ageFolder(apps());
    LinuxWorkspace ws({apps(), homeApps()});
    LinuxWorkspace staleAtOnce({apps(), homeApps()}, ProcessTable(), std::chrono::milliseconds(0));
    for (LinuxWorkspace *w : {&ws, &staleAtOnce}) {
        EXPECT_EQ(w->applicationPath("com.lumora.capture"), first);
        EXPECT_FALSE(w->applicationPath("com.lumora.print"));
    }

    // Deeper than the folder's top level: unseen until a refresh or until the scan is old.
    const QString nested = makeBundle(apps() + "/Lumora", "Print.app", appInfo("com.lumora.print", "Print"));
    ageFolder(apps());
    EXPECT_FALSE(ws.applicationPath("com.lumora.print")) << "a scan younger than the period is reused";
    EXPECT_EQ(staleAtOnce.applicationPath("com.lumora.print"), nested);
    ws.refreshApplications();
    EXPECT_EQ(ws.applicationPath("com.lumora.print"), nested);

    // At the top level the folder itself changes, which is enough.
    const QString top = makeBundle(apps(), "Sales.app", appInfo("com.lumora.sales", "Sales"));
    EXPECT_EQ(ws.applicationPath("com.lumora.sales"), top);
    EXPECT_EQ(ws.installedApplications().size(), 4);
}

TEST_F(LinuxWorkspaceTest, AllocatedSizeCountsEveryFileWithoutFollowingLinks)
{
    const QString bundle = makeBundle(apps(), "Upload.app", appInfo("com.lumora.upload", "Upload"));
    writeFile(bundle + "/Contents/Resources/a.bin", QByteArray(10000, 'a'));
    writeFile(bundle + "/Contents/Resources/deep/er/b.bin", QByteArray(70000, 'b'));
    writeFile(bundle + "/Contents/Resources/empty", {});
    writeFile(path("big.bin"), QByteArray(4 << 20, 'c'));
    ASSERT_TRUE(QFile::link(path("big.bin"), bundle + "/Contents/Resources/big-link"));
    ASSERT_TRUE(QFile::link(path(""), bundle + "/Contents/Resources/root-link"));

    qint64 want = 0;
    for (const char *file : {"/Contents/Info.plist", "/Contents/MacOS/run", "/Contents/Resources/a.bin",
                             "/Contents/Resources/deep/er/b.bin", "/Contents/Resources/empty",
                             "/Contents/Resources/big-link", "/Contents/Resources/root-link"})
        want += lstatBlocks(bundle + file);

    LinuxWorkspace ws({apps()});
    EXPECT_EQ(ws.allocatedSize(bundle), want);
    EXPECT_GE(want, 80000) << "the data files are counted";
    EXPECT_FALSE(ws.allocatedSize(apps() + "/Gone.app"));
}

TEST_F(LinuxWorkspaceTest, LastUsedDateIsTheExecutablesAccessAfterItWasWritten)
{
    const QDateTime written(QDate(2026, 1, 5), QTime(10, 0), QTimeZone::utc());
    const QDateTime launched(QDate(2026, 2, 14), QTime(18, 30, 5), QTimeZone::utc());
    const struct {
        const char *name;
        QVariantMap info;
        QDateTime accessed;
        std::optional<QDateTime> want;
    } cases[] = {
        {"started after install", appInfo("com.lumora.a", "A"), launched, launched},
        {"never started", appInfo("com.lumora.b", "B"), written, std::nullopt},
        {"executable outside the bundle", appInfo("com.lumora.c", "C", "1", "1", "../../../../bin/sh"), launched, std::nullopt},
    };
    LinuxWorkspace ws({apps()});
    for (const auto &tc : cases) {
        const QString bundle = makeBundle(apps(), QString(tc.name) + ".app", tc.info);
        const QString exe = bundle + "/Contents/MacOS/" + QFileInfo(tc.info.value("CFBundleExecutable").toString()).fileName();
        setTimes(exe, tc.accessed, written);
        EXPECT_EQ(ws.lastUsedDate(bundle), tc.want) << tc.name;
    }
}

TEST_F(LinuxWorkspaceTest, SeesBundleProcessesRunningAndStopped)
{
    const QByteArray sleepBinary = readFile("/bin/sleep");
    QVariantMap named = appInfo("com.lumora.tether", "Tether", "1", "1", "tether");
    named.insert("CFBundleDisplayName", "Lumora Tether");
    const struct {
        const char *name;
        QVariantMap info;
        QByteArray executable;
        QString wantName;
    } cases[] = {
        {"compiled program", named, sleepBinary, "Lumora Tether"},
        {"shell script", appInfo("lumora.launcher", "Launcher", "1", "1", "launch"), "#!/bin/sh\nread line\n", "Launcher"},
    };
    LinuxWorkspace ws({apps()});
    for (const auto &tc : cases) {
        const QString bundle = makeBundle(apps(), QString(tc.name) + ".app", tc.info, tc.executable);
        QProcess process;
        process.start(bundle + "/Contents/MacOS/" + tc.info.value("CFBundleExecutable").toString(), {"30"});
        ASSERT_TRUE(process.waitForStarted(5000)) << tc.name;

        const auto app = runningFrom(ws, bundle);
        ASSERT_TRUE(app) << tc.name << ": pid " << process.processId() << " not among " << describe(ws.runningApplications());
        EXPECT_EQ(app->pid, process.processId()) << tc.name;
        EXPECT_EQ(app->bundleIdentifier, tc.info.value("CFBundleIdentifier").toString()) << tc.name;
        EXPECT_EQ(app->localizedName, tc.wantName) << tc.name;
        EXPECT_TRUE(app->launchDate) << tc.name;
        EXPECT_TRUE(app->isFinishedLaunching) << tc.name;
        EXPECT_FALSE(app->isTerminated) << tc.name;

        // A stopped process is still listed but cannot answer.
        const pid_t pid = pid_t(process.processId());
        ASSERT_EQ(::kill(pid, SIGSTOP), 0);
        siginfo_t info{};
        ASSERT_EQ(::waitid(P_PID, id_t(pid), &info, WSTOPPED | WNOWAIT), 0);
        const auto stopped = runningFrom(ws, bundle);
        ASSERT_TRUE(stopped) << tc.name;
        EXPECT_FALSE(stopped->isFinishedLaunching) << tc.name;

        process.kill();
        ::kill(pid, SIGCONT);
        process.waitForFinished(5000);
        EXPECT_FALSE(runningFrom(ws, bundle)) << tc.name << ": gone once it exits";
    }

    // The same program from a bundle outside the application folders is someone else's.
    const QString stray = makeBundle(path("Downloads"), "Tether.app", named, sleepBinary);
    QProcess outside;
    outside.start(stray + "/Contents/MacOS/tether", {"30"});
    ASSERT_TRUE(outside.waitForStarted(5000));
    const QList<RunningApplication> listed = ws.runningApplications();
    EXPECT_FALSE(std::any_of(listed.cbegin(), listed.cend(),
                             [&](const RunningApplication &app) { return app.pid == outside.processId(); }))
        << describe(listed);
    outside.kill();
    outside.waitForFinished(5000);
}

TEST_F(LinuxWorkspaceTest, AChildRunningFromTheSameBundleIsPartOfTheApp)
{
    const QString bundle = makeBundle(apps(), "Booth.app", appInfo("com.lumora.boothcam", "Booth", "1", "1", "booth"),
                                      "#!/bin/sh\n\"$(dirname \"$0\")/worker\" 30 &\necho $!\nwait\n");
    writeFile(bundle + "/Contents/MacOS/worker", readFile("/bin/sleep"));
    QFile::setPermissions(bundle + "/Contents/MacOS/worker", QFile::ReadOwner | QFile::ExeOwner);

    QProcess process;
    process.start(bundle + "/Contents/MacOS/booth", {});
    ASSERT_TRUE(process.waitForReadyRead(5000));
    const pid_t worker = pid_t(process.readLine().trimmed().toInt());
    ASSERT_GT(worker, 0);

    LinuxWorkspace ws({apps()});
    const auto app = runningFrom(ws, bundle);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->pid, process.processId());

    ::kill(worker, SIGKILL);
    process.waitForFinished(5000);
}

// A process is looked up once and remembered, so the listing must notice when the process under
// a pid is no longer the one it looked at: it exec()s another program, or the pid is reused.
TEST_F(LinuxWorkspaceTest, AProcessThatExecsIntoABundleIsFoundOnTheNextListing)
{
    const struct {
        const char *name;
        const char *executableName;
        QByteArray executable; // echoes the line after "go" once it runs
        int looksBefore;
    } cases[] = {
        {"a compiled program, long after the shell was first seen", "cat", readFile("/bin/cat"), 3},
        {"a script for the same shell, seen once between fork and exec", "launch",
         "#!/bin/sh\nread line\necho \"$line\"\nread rest\n", 1},
    };
    LinuxWorkspace ws({apps()});
    for (const auto &tc : cases) {
        const QString bundle = makeBundle(apps(), QString(tc.name) + ".app",
                                          appInfo("com.lumora.capture", "Capture", "1", "1", tc.executableName),
                                          tc.executable);
        // The shell's `read` takes one byte at a time, so "ping" is left for the program it becomes.
        QProcess process;
        process.start("/bin/sh", {"-c", "read go; exec \"$0\"", bundle + "/Contents/MacOS/" + tc.executableName});
        ASSERT_TRUE(process.waitForStarted(5000)) << tc.name;
        for (int i = 0; i < tc.looksBefore; ++i)
            EXPECT_FALSE(runningFrom(ws, bundle)) << tc.name << ": the shell is no app";

        process.write("go\nping\n");
        ASSERT_TRUE(process.waitForReadyRead(5000)) << tc.name;
        ASSERT_EQ(process.readLine().trimmed(), "ping") << tc.name;

        const auto app = runningFrom(ws, bundle);
        ASSERT_TRUE(app) << tc.name << ": pid " << process.processId() << " not among " << describe(ws.runningApplications());
        EXPECT_EQ(app->pid, process.processId()) << tc.name;
        EXPECT_EQ(app->bundleIdentifier, "com.lumora.capture") << tc.name;
        process.kill();
        process.waitForFinished(5000);
    }
}

namespace {

// A process table under a folder of our own, for what real processes cannot be made to do on
// demand: hand their pid to another process.
class FakeProcFolder {
public:
    explicit FakeProcFolder(QString root) : m_root(std::move(root)) { QDir().mkpath(m_root); }
    const QString &root() const { return m_root; }

    // Replaces whatever ran as `pid` (its folder moves aside, so the new one gets another inode).
    void run(int pid, const QString &exe, const QStringList &argv)
    {
        const QString dir = m_root + "/" + QString::number(pid);
        if (QFileInfo::exists(dir)) {
            ASSERT_TRUE(QDir().rename(dir, dir + ".gone" + QString::number(++m_generation)));
        }
        ASSERT_TRUE(QDir().mkpath(dir));
        ASSERT_TRUE(QFile::link(exe, dir + "/exe"));
        QByteArray cmdline;
        for (const QString &arg : argv)
            cmdline += arg.toUtf8() + '\0';
        writeFile(dir + "/cmdline", cmdline);
        writeFile(dir + "/stat", QByteArray::number(pid) + " (" + QFileInfo(exe).fileName().toUtf8()
                                     + ") S 1 1 1 0 -1 4194304 0 0 0 0 0 0 0 0 20 0 1 0 5000 0 0\n");
    }

private:
    QString m_root;
    int m_generation = 0;
};

} // namespace

TEST_F(LinuxWorkspaceTest, AReusedPidAndAChangedInfoPlistAreReadAgain)
{
    const QString upload = makeBundle(apps(), "Upload.app", appInfo("com.lumora.upload", "Upload", "1", "1", "main.py"));
    const QString share = makeBundle(apps(), "Share.app", appInfo("com.lumora.share", "Share", "1", "1", "main.py"));
    FakeProcFolder proc(path("proc"));
    LinuxWorkspace ws({apps()}, ProcessTable(proc.root()));

    // The same interpreter both times: only the pid folder's identity tells the two apart.
    proc.run(4242, "/usr/bin/python3", {"python3", upload + "/Contents/MacOS/main.py"});
    for (int look = 0; look < 3; ++look)
        ASSERT_TRUE(runningFrom(ws, upload)) << "look " << look;
    proc.run(4242, "/usr/bin/python3", {"python3", share + "/Contents/MacOS/main.py"});
    const auto shared = runningFrom(ws, share);
    ASSERT_TRUE(shared) << describe(ws.runningApplications());
    EXPECT_EQ(shared->pid, 4242);
    EXPECT_EQ(shared->bundleIdentifier, "com.lumora.share");
    EXPECT_FALSE(runningFrom(ws, upload));

    // A new version's Info.plist, written where the old one was.
    writeFile(share + "/Contents/Info.plist", readFile(share + "/Contents/Info.plist").replace("com.lumora.share", "com.lumora.share.v2"));
    const auto updated = runningFrom(ws, share);
    ASSERT_TRUE(updated);
    EXPECT_EQ(updated->bundleIdentifier, "com.lumora.share.v2");

    // Gone from the table, gone from the listing.
    ASSERT_TRUE(QDir(proc.root() + "/4242").removeRecursively());
    EXPECT_TRUE(ws.runningApplications().isEmpty());
}
