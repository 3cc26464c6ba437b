#include "LogCapture.h"
#include "ManualClock.h"

#include "maintenance/FolderPathSafety.h"
#include "maintenance/FolderRetentionService.h"
#include "maintenance/RetentionSelection.h"
#include "platform/FolderSweep.h"
#include "platform/linux/LinuxProtectedFolders.h"

#include <QDir>
#include <QElapsedTimer>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <thread>

#include <unistd.h>

using namespace std::chrono_literals;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vesk::test {
namespace {

const QString kTooBroad = QStringLiteral("That folder is too broad to clean safely. Choose a specific folder instead.");
const QString kSystem = QStringLiteral("System and app-support folders can't be cleaned.");
const QString kHome = QStringLiteral("A home folder is too broad to clean safely. Choose a folder inside it.");

TEST(FolderPathSafetyTest, RefusesDangerousFoldersAndAcceptsWorkingOnes)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString etcLink = temp.path() + QStringLiteral("/to-etc");
    const QString homeLink = temp.path() + QStringLiteral("/to-home");
    const QString home = temp.path() + QStringLiteral("/booth");
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/Desktop/Drops")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/etc"), etcLink));
    ASSERT_TRUE(QFile::link(home, homeLink));
    const FolderPathSafety safety(linuxProtectedFolders(), home);

    struct Case {
        const char *name;
        QString path;
        std::optional<QString> want;
    };
    const Case cases[] = {
        {"empty", QString(), QStringLiteral("Choose a folder first.")},
        {"blank", QStringLiteral("  "), QStringLiteral("Choose a folder first.")},
        {"relative", QStringLiteral("Desktop/Drops"), QStringLiteral("The folder path must be a full path.")},
        {"lone tilde", QStringLiteral("~"), kTooBroad},
        {"home with slash", home + QStringLiteral("/"), kTooBroad},
        {"root", QStringLiteral("/"), kTooBroad},
        {"dot-dot to root", home + QStringLiteral("/Desktop/../../../../../.."), kTooBroad},
        {"/Users", QStringLiteral("/Users"), kTooBroad},
        {"/Applications", QStringLiteral("/Applications"), kTooBroad},
        {"/home", QStringLiteral("/home"), kTooBroad},
        {"/root", QStringLiteral("/root"), kTooBroad},
        {"/proc", QStringLiteral("/proc"), kTooBroad},
        {"/sys", QStringLiteral("/sys"), kTooBroad},
        {"/run", QStringLiteral("/run"), kTooBroad},
        {"/boot", QStringLiteral("/boot"), kTooBroad},
        {"/srv", QStringLiteral("/srv/"), kTooBroad},
        {"/mnt", QStringLiteral("/mnt"), kTooBroad},
        {"/media", QStringLiteral("/media"), kTooBroad},
        {"/tmp", QStringLiteral("/tmp"), kTooBroad},
        {"link to home", homeLink, kTooBroad},
        {"link to /etc", etcLink, kTooBroad},
        {"below a link to /etc", etcLink + QStringLiteral("/ssh"), kSystem},
        {"/Library below", QStringLiteral("/Library/Caches"), kSystem},
        {"own Library", QStringLiteral("~/Library/Caches"), kSystem},
        {"own Library itself", QStringLiteral("~/Library"), kSystem},
        {"own .config", QStringLiteral("~/.config/vesk"), kSystem},
        {"own .local", home + QStringLiteral("/.local/share/Trash"), kSystem},
        {"/usr below", QStringLiteral("/usr/local/share"), kSystem},
        {"/var below", QStringLiteral("/var/log"), kSystem},
        {"/proc below", QStringLiteral("/proc/1"), kSystem},
        {"/sys below", QStringLiteral("/sys/class"), kSystem},
        {"/run below", QStringLiteral("/run/user/1000"), kSystem},
        {"/boot below", QStringLiteral("/boot/grub"), kSystem},
        {"dot-dot into /etc", home + QStringLiteral("/Desktop/../../../../../../etc/cron.d"), kSystem},
        {"another home", QStringLiteral("/home/anna"), kHome},
        {"a Mac home", QStringLiteral("/Users/anna/"), kHome},
        {"desktop folder", QStringLiteral("~/Desktop/Drops"), std::nullopt},
        {"dot in the path", home + QStringLiteral("/./Desktop/Drops/"), std::nullopt},
        {"inside another home", QStringLiteral("/home/anna/Exports"), std::nullopt},
        {"card under /media", QStringLiteral("/media/booth/CARD/DCIM"), std::nullopt},
        {"disk under /mnt", QStringLiteral("/mnt/photos/Spool"), std::nullopt},
        {"under /srv", QStringLiteral("/srv/prints/done"), std::nullopt},
        {"a Mac volume", QStringLiteral("/Volumes/Card/DCIM"), std::nullopt},
        {"through a link to a home folder", homeLink + QStringLiteral("/Desktop/Drops"), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(safety.validate(c.path), c.want) << c.name;
}

TEST(RetentionSelectionTest, FiltersByLastExtensionAndKeepsTheNewest)
{
    using Filter = RetentionRule::FileFilter;
    EXPECT_TRUE(retentionFilterAdmits(Filter::images, "PHOTO.JPG"));
    EXPECT_FALSE(retentionFilterAdmits(Filter::images, "photo.jpg.tmp"));
    EXPECT_FALSE(retentionFilterAdmits(Filter::images, "clip.MOV"));
    EXPECT_TRUE(retentionFilterAdmits(Filter::videos, "clip.MOV"));
    EXPECT_TRUE(retentionFilterAdmits(Filter::media, "raw.CR3"));
    EXPECT_FALSE(retentionFilterAdmits(Filter::media, "noextension"));
    EXPECT_TRUE(retentionFilterAdmits(Filter::all, "noextension"));

    const auto files = [](std::initializer_list<qint64> ages) {
        std::vector<SweepFile> made;
        for (qint64 modified : ages)
            made.push_back(SweepFile{{}, QByteArray::number(modified), modified, 1, 0, 0});
        return made;
    };
    struct Case {
        const char *name;
        std::vector<SweepFile> files;
        int keep;
        std::vector<std::size_t> want;
    };
    // Cutoff 100: anything modified before it is old.
    const Case cases[] = {
        {"five old, keep three: the two oldest go", files({10, 50, 20, 40, 30}), 3, {0, 2}},
        {"three new and two old, keep three: both old go", files({200, 10, 300, 20, 400}), 3, {1, 3}},
        {"keep more than there are", files({10, 20}), 5, {}},
        {"negative keep counts as none", files({10, 150}), -2, {0}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(selectForRemoval(c.files, 100, c.keep), c.want) << c.name;

    EXPECT_EQ(retentionAgeText(1), QStringLiteral("1 hour"));
    EXPECT_EQ(retentionAgeText(36), QStringLiteral("36 hours"));
    EXPECT_EQ(retentionAgeText(24), QStringLiteral("1 day"));
    EXPECT_EQ(retentionAgeText(72), QStringLiteral("3 days"));
    EXPECT_EQ(retentionSizeText(0), QStringLiteral("Zero KB"));
    EXPECT_EQ(retentionSizeText(532), QStringLiteral("532 bytes"));
    EXPECT_EQ(retentionSizeText(1500000), QStringLiteral("1.5 MB"));
}

// A working folder with old and new pictures, hidden files, a package, links that lead
// out of it and empty folders, beside a folder that must never be touched.
struct SweepTree {
    QTemporaryDir temp;
    ManualClock clock;
    QString root = temp.path() + QStringLiteral("/Drops");
    QString outside = temp.path() + QStringLiteral("/Keep");
    QString storage = temp.path() + QStringLiteral("/storage");

    SweepTree()
    {
        file(QStringLiteral("old1.jpg"), 100);
        file(QStringLiteral("old2.JPG"), 90);
        file(QStringLiteral("notes.txt"), 100);
        file(QStringLiteral(".hidden.jpg"), 100);
        file(QStringLiteral("sub/old3.jpg"), 80);
        file(QStringLiteral("sub/new.jpg"), 1);
        file(QStringLiteral(".cache/old.jpg"), 100);
        file(QStringLiteral("Kiosk.app/Contents/old.jpg"), 100);
        QDir().mkpath(root + QStringLiteral("/empty/nested/deeper"));
        file(QStringLiteral("empty/nested/.DS_Store"), 100);
        // Outside the folder: reachable only through links.
        write(outside + QStringLiteral("/victim.jpg"), 100);
        write(outside + QStringLiteral("/inner/victim.jpg"), 100);
        QFile::link(outside + QStringLiteral("/victim.jpg"), root + QStringLiteral("/link.jpg"));
        QFile::link(outside + QStringLiteral("/inner"), root + QStringLiteral("/linked-folder"));
    }

    void file(const QString &relative, int hoursOld) { write(root + QLatin1Char('/') + relative, hoursOld); }
    void write(const QString &path, int hoursOld)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(1000, 'x'));
        out.flush(); // a later flush would stamp the file with the real time
        out.setFileTime(clock.now().addSecs(-3600LL * hoursOld), QFileDevice::FileModificationTime);
    }

    // Every entry below the temporary folder (links as links) with its size and time.
    std::map<QString, QString> snapshot() const
    {
        std::map<QString, QString> entries;
        QDirIterator it(temp.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            entries[info.filePath()] = info.isSymLink()
                                           ? QStringLiteral("link ") + info.symLinkTarget()
                                           : QString::number(info.size()) + QLatin1Char(' ') +
                                                 QString::number(info.lastModified().toSecsSinceEpoch());
        }
        return entries;
    }

    bool exists(const QString &relative) const { return QFileInfo::exists(root + QLatin1Char('/') + relative); }

    RetentionRule rule() const
    {
        RetentionRule made;
        made.name = QStringLiteral("Camera drops");
        made.folderPath = root;
        made.maxAgeHours = 24;
        made.fileFilter = RetentionRule::FileFilter::images;
        return made;
    }

    std::unique_ptr<FolderRetentionService> service()
    {
        return std::make_unique<FolderRetentionService>(FolderRetentionService::Dependencies{
            clock, linuxProtectedFolders(), temp.path() + QStringLiteral("/home"), storage});
    }

    static void finish(FolderRetentionService &service)
    {
        auto task = service.sweepAll();
        ASSERT_TRUE(QTest::qWaitFor([&] { return task.isReady(); }, 10000));
    }
};

TEST(FolderRetentionTest, SweepRemovesOldMatchingFilesAndNothingBeyondTheFolder)
{
    SweepTree tree;
    const auto outsideBefore = tree.snapshot();
    RetentionRule rule = tree.rule();
    rule.dryRun = false;
    rule.useTrash = false;
    rule.keepNewestCount = 2; // sub/new.jpg and old3.jpg, the newest two images
    rule.removeEmptyFolders = true;
    auto service = tree.service();
    service->addOrUpdateRule(rule);
    LogCapture capture;
    SweepTree::finish(*service);

    EXPECT_FALSE(tree.exists(QStringLiteral("old1.jpg")));
    EXPECT_FALSE(tree.exists(QStringLiteral("old2.JPG")));
    EXPECT_TRUE(tree.exists(QStringLiteral("sub/old3.jpg"))) << "protected as one of the newest two";
    EXPECT_TRUE(tree.exists(QStringLiteral("sub/new.jpg")));
    EXPECT_TRUE(tree.exists(QStringLiteral("notes.txt"))) << "not an image";
    EXPECT_TRUE(tree.exists(QStringLiteral(".hidden.jpg")));
    EXPECT_TRUE(tree.exists(QStringLiteral(".cache/old.jpg"))) << "hidden folders are not entered";
    EXPECT_TRUE(tree.exists(QStringLiteral("Kiosk.app/Contents/old.jpg"))) << "packages are not entered";
    EXPECT_FALSE(tree.exists(QStringLiteral("empty"))) << "nested empty folders go in one sweep";
    EXPECT_TRUE(QFileInfo(tree.root + QStringLiteral("/link.jpg")).isSymLink()) << "a link is skipped, not removed";
    const auto after = tree.snapshot();
    for (const auto &[path, state] : outsideBefore) {
        if (path.startsWith(tree.outside)) {
            EXPECT_EQ(after.at(path), state) << qPrintable(path);
        }
    }
    const std::optional<RuleStatus> status = service->ruleStatus(rule.id);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->removedCount, 2);
    EXPECT_EQ(status->freedBytes, 2000);
    EXPECT_FALSE(status->wasDryRun);
    EXPECT_EQ(status->error, std::nullopt);
    EXPECT_EQ(service->logMessages(), QStringList({QStringLiteral("Camera drops: removed 2 files (2 KB)"),
                                                   QStringLiteral("Camera drops: removed 3 empty folders")}));
    EXPECT_TRUE(capture.lines().contains(QStringLiteral("retention: Camera drops: removed 2 files (2 KB)")));
}

TEST(FolderRetentionTest, DryRunAndTheDefaultsTouchNothing)
{
    SweepTree tree;
    const auto before = tree.snapshot();
    RetentionRule preview = tree.rule();
    preview.removeEmptyFolders = true;
    RetentionRule defaults; // 72 hours, preview only
    defaults.name = QStringLiteral("Defaults");
    defaults.folderPath = tree.root;
    RetentionRule refused;
    refused.name = QStringLiteral("Whole disk");
    refused.folderPath = QStringLiteral("/");
    refused.dryRun = false;
    RetentionRule missing;
    missing.name = QStringLiteral("Gone");
    missing.folderPath = tree.root + QStringLiteral("/nowhere");
    missing.dryRun = false;
    auto service = tree.service();
    for (const RetentionRule &rule : {preview, defaults, refused, missing})
        service->addOrUpdateRule(rule);
    service->start(); // the first sweep runs at once
    ASSERT_TRUE(QTest::qWaitFor([&] { return service->lastSweep().has_value(); }, 10000));

    const auto after = tree.snapshot();
    EXPECT_EQ(after.size(), before.size() + 2) << "only the rules file and its folder were added";
    for (const auto &[path, state] : before)
        EXPECT_EQ(after.count(path) ? after.at(path) : QStringLiteral("missing"), state) << qPrintable(path);
    EXPECT_EQ(service->ruleStatus(preview.id), (RuleStatus{tree.clock.now(), 3, 3000, true, std::nullopt}));
    EXPECT_EQ(service->ruleStatus(defaults.id)->removedCount, 4) << "jpg and txt older than 72 hours";
    EXPECT_EQ(service->ruleStatus(refused.id)->error, kTooBroad);
    EXPECT_EQ(service->ruleStatus(missing.id)->error, QStringLiteral("Folder not found"));
    EXPECT_EQ(service->logMessages(),
              QStringList({QStringLiteral("Camera drops: preview — 3 files (3 KB) would be removed"),
                           QStringLiteral("Defaults: preview — 4 files (4 KB) would be removed"),
                           QStringLiteral("Whole disk: ") + kTooBroad,
                           QStringLiteral("Gone: folder not found at ") + missing.folderPath}));

    // The next sweep comes 900 s later, not before.
    const QDateTime first = *service->lastSweep();
    tree.clock.advance(899s);
    EXPECT_EQ(service->lastSweep(), first);
    tree.clock.advance(1s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service->lastSweep() != first; }, 10000));
    service->stop();

    // The rules survive a restart; the policy's never reach the file.
    service->setPolicyRetentionRules({tree.rule()});
    auto reloaded = tree.service();
    EXPECT_EQ(reloaded->rules(), service->rules());
}

TEST(FolderRetentionTest, AFolderSwappedForALinkAfterTheCheckDeletesNothing)
{
    SweepTree tree;
    // The folder is opened, then its subfolder is swapped for a link to the outside folder.
    Opened<FolderSweep> sweep = FolderSweep::open(QFileInfo(tree.root).canonicalFilePath());
    ASSERT_TRUE(sweep.ok());
    const SweepListing listing = sweep.handle.list({});
    EXPECT_EQ(listing.linksSkipped, 2);
    ASSERT_TRUE(QDir(tree.root).rename(QStringLiteral("sub"), QStringLiteral("moved")));
    ASSERT_TRUE(QFile::link(tree.outside, tree.root + QStringLiteral("/sub")));
    QFile::copy(tree.outside + QStringLiteral("/victim.jpg"), tree.outside + QStringLiteral("/old3.jpg"));
    int changed = 0;
    for (const SweepFile &file : listing.files) {
        if (file.folder == "sub")
            changed += sweep.handle.remove(file).kind == SweepRemoval::Kind::changed;
    }
    EXPECT_EQ(changed, 2);
    EXPECT_TRUE(QFileInfo::exists(tree.outside + QStringLiteral("/old3.jpg")));
    EXPECT_TRUE(QFileInfo::exists(tree.root + QStringLiteral("/moved/old3.jpg")));

    // The whole folder swapped for a link: opening it by its checked path fails.
    const QString canonical = QFileInfo(tree.root).canonicalFilePath();
    ASSERT_TRUE(QDir(tree.temp.path()).rename(QStringLiteral("Drops"), QStringLiteral("Drops-moved")));
    ASSERT_TRUE(QFile::link(tree.outside, canonical));
    const Opened<FolderSweep> swapped = FolderSweep::open(canonical);
    ASSERT_FALSE(swapped.ok());
    EXPECT_EQ(swapped.error->kind, FolderError::Kind::notAFolder);

    // A file removed by someone else between listing and removal is simply gone.
    Opened<FolderSweep> again = FolderSweep::open(QFileInfo(tree.temp.path() + QStringLiteral("/Drops-moved")).canonicalFilePath());
    ASSERT_TRUE(again.ok());
    const SweepListing files = again.handle.list({});
    ASSERT_FALSE(files.files.empty());
    ASSERT_TRUE(QFile::remove(again.handle.pathOf(files.files.front())));
    EXPECT_EQ(again.handle.remove(files.files.front()).kind, SweepRemoval::Kind::gone);
    // The Trash of the user's data folder (the test one: standard paths are in test mode).
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    ASSERT_TRUE(QDir().mkpath(trash));
    const auto emptyTrash = qScopeGuard([&] { QDir(trash).removeRecursively(); });
    const SweepFile &trashed = files.files.back();
    EXPECT_EQ(again.handle.moveToTrash(trashed).kind, SweepRemoval::Kind::removed);
    EXPECT_FALSE(QFileInfo::exists(again.handle.pathOf(trashed)));
    EXPECT_TRUE(QFileInfo::exists(trash + QStringLiteral("/files/") + QString::fromUtf8(trashed.name)));
}

// A folder of a few thousand pictures swept by a real child process that is killed with
// SIGKILL at random moments: whatever is left is whole, the protected files stay, nothing
// outside the folder changes, and a later sweep finishes the job.
struct KilledSweepTree {
    static constexpr int kOld = 2000;
    static constexpr int kNew = 10;
    static constexpr int kKeepNewest = 30; // the new ten and the twenty youngest old ones
    QTemporaryDir temp;
    QString root = temp.path() + QStringLiteral("/Drops");
    QString outside = temp.path() + QStringLiteral("/Keep");
    QString trash = temp.path() + QStringLiteral("/data/Trash/files");
    QString originals = temp.path() + QStringLiteral("/originals");
    QStringList names; // below the folder
    QDateTime now = QDateTime::currentDateTimeUtc();
    std::map<QString, QByteArray> outsideFiles;

    static QByteArray content(const QString &name)
    {
        const QByteArray head = "name=" + name.toUtf8() + '\n';
        return head + QByteArray(int(100 + qHash(name) % 3000), char('a' + qHash(name) % 26)) + "\nEND\n";
    }
    static QString oldName(int i) { return QStringLiteral("d%1/old%2.jpg").arg(i % 20).arg(i, 4, 10, QLatin1Char('0')); }
    static QString newName(int i) { return QStringLiteral("d%1/new%2.jpg").arg(i).arg(i); }
    static QString textName(int i) { return QStringLiteral("d%1/notes%2.txt").arg(i).arg(i); }

    void write(const QString &path, const QByteArray &bytes, qint64 ageMinutes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(bytes), bytes.size());
        out.flush();
        out.setFileTime(now.addSecs(-60 * ageMinutes), QFileDevice::FileModificationTime);
    }
    // Puts back whatever the sweeps took, as hard links to the untouched originals (cheap,
    // and the same times), so each kill lands in a full folder.
    void restore()
    {
        for (const QString &relative : names) {
            const QString target = root + QLatin1Char('/') + relative;
            if (QFileInfo::exists(target))
                continue;
            QDir().mkpath(QFileInfo(target).absolutePath());
            const QByteArray original = QFile::encodeName(originals + QLatin1Char('/') + relative);
            ASSERT_EQ(::link(original.constData(), QFile::encodeName(target).constData()), 0) << qPrintable(target);
        }
    }
    KilledSweepTree()
    {
        for (const char *name : {"victim.jpg", "inner/victim.jpg"}) {
            const QString path = outside + QLatin1Char('/') + QLatin1String(name);
            outsideFiles[path] = content(QLatin1String(name));
            write(path, outsideFiles[path], 100 * 60);
        }
        for (int i = 0; i < kOld; ++i)
            names.append(oldName(i));
        for (int i = 0; i < kNew; ++i)
            names << newName(i) << textName(i);
        for (const QString &relative : names) {
            const qint64 ageMinutes = relative.contains(QStringLiteral("/old"))   ? 48 * 60 + relative.section(QStringLiteral("/old"), 1).left(4).toInt()
                                      : relative.contains(QStringLiteral("/new")) ? 5
                                                                                  : 72 * 60;
            write(originals + QLatin1Char('/') + relative, content(relative), ageMinutes);
        }
        restore();
        QFile::link(outside + QStringLiteral("/victim.jpg"), root + QStringLiteral("/link.jpg"));
        QFile::link(outside + QStringLiteral("/inner"), root + QStringLiteral("/linked-folder"));
    }
    bool isProtected(const QString &relative) const
    {
        if (!relative.contains(QStringLiteral("/old")))
            return true;
        return relative.section(QStringLiteral("/old"), 1).left(4).toInt() < kKeepNewest - kNew;
    }

    // Starts a sweep; killed after `killAfterUs` from its start, or run to its end when negative.
    // Returns the microseconds from its start to its end or kill.
    qint64 sweep(bool useTrash, qint64 killAfterUs)
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), temp.path() + QStringLiteral("/data")); // same disk: a rename
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(VESK_SWEEP_KILL_CHILD),
                    {QFileInfo(root).canonicalFilePath(), QString::number(now.addSecs(-24 * 3600).toMSecsSinceEpoch()),
                     QString::number(kKeepNewest), useTrash ? QStringLiteral("trash") : QStringLiteral("delete")});
        EXPECT_TRUE(child.waitForReadyRead(30000)) << "the sweep never started";
        QElapsedTimer started;
        started.start();
        if (killAfterUs >= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(killAfterUs));
            child.kill(); // SIGKILL
        }
        EXPECT_TRUE(child.waitForFinished(60000));
        const qint64 took = started.nsecsElapsed() / 1000;
        if (killAfterUs < 0) {
            EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().constData();
        }
        return took;
    }

    // Whole files only, in the folder and in the Trash; the protected ones all there; the
    // outside untouched. Returns how many removable pictures are left.
    int check(const char *when)
    {
        int removableLeft = 0;
        QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            if (info.isSymLink())
                continue;
            const QString relative = QDir(root).relativeFilePath(info.filePath());
            QFile in(info.filePath());
            EXPECT_TRUE(in.open(QIODevice::ReadOnly));
            EXPECT_EQ(in.readAll(), content(relative)) << when << ": " << qPrintable(relative);
            removableLeft += !isProtected(relative);
        }
        for (int i = 0; i < kOld; ++i) {
            if (isProtected(oldName(i))) {
                EXPECT_TRUE(QFileInfo::exists(root + QLatin1Char('/') + oldName(i))) << when << ": " << qPrintable(oldName(i));
            }
        }
        for (int i = 0; i < kNew; ++i) {
            EXPECT_TRUE(QFileInfo::exists(root + QLatin1Char('/') + newName(i))) << when;
            EXPECT_TRUE(QFileInfo::exists(root + QLatin1Char('/') + textName(i))) << when;
        }
        for (const auto &[path, bytes] : outsideFiles) {
            QFile in(path);
            EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << when << ": " << qPrintable(path);
            EXPECT_EQ(in.readAll(), bytes) << when << ": " << qPrintable(path);
        }
        EXPECT_TRUE(QFileInfo(root + QStringLiteral("/link.jpg")).isSymLink()) << when;
        QDirIterator trashed(trash, QDir::Files | QDir::Hidden);
        while (trashed.hasNext()) {
            QFile in(trashed.next());
            EXPECT_TRUE(in.open(QIODevice::ReadOnly));
            const QByteArray bytes = in.readAll();
            const QString name = QString::fromUtf8(bytes.left(bytes.indexOf('\n')).mid(5));
            EXPECT_EQ(bytes, content(name)) << when << ": trashed " << qPrintable(trashed.filePath());
        }
        return removableLeft;
    }
};

TEST(FolderRetentionTest, ASweepKilledAtAnyMomentLeavesOnlyWholeFiles)
{
    KilledSweepTree tree;
    const int removable = KilledSweepTree::kOld - (KilledSweepTree::kKeepNewest - KilledSweepTree::kNew);
    ASSERT_EQ(tree.check("before"), removable);
    // A sweep left alone, to learn how long one takes here.
    const qint64 fullUs = std::max<qint64>(tree.sweep(false, -1), 1000);
    ASSERT_EQ(tree.check("after a full sweep"), 0);

    const int kills = qEnvironmentVariableIsSet("VESK_SWEEP_KILLS") ? qEnvironmentVariableIntValue("VESK_SWEEP_KILLS") : 6;
    int midway = 0;
    for (int kill = 0; kill < kills && !testing::Test::HasFailure(); ++kill) {
        tree.restore();
        const bool useTrash = kill % 2 == 1;
        tree.sweep(useTrash, qint64(QRandomGenerator::global()->bounded(quint64(fullUs))));
        const QByteArray when = "after kill " + QByteArray::number(kill);
        const int left = tree.check(when.constData());
        midway += left > 0 && left < removable;
    }
    std::printf("%d of %d kills landed mid-sweep\n", midway, kills);
    EXPECT_TRUE(kills < 4 || midway > 0) << "no kill landed mid-sweep";

    // A later sweep finishes what the killed ones started.
    tree.sweep(false, -1);
    EXPECT_EQ(tree.check("after the last sweep"), 0);
}

} // namespace
} // namespace vesk::test
