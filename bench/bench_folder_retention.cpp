// A retention sweep of a large folder against GNU find on an identical tree, in the same run:
//   removal:  the sweep (no Trash)  vs  find DIR -type f -mmin +N -delete
//   dry run:  the sweep's preview   vs  find DIR -type f -mmin +N | wc -l
// VESK_BENCH_FILES sets the number of files (default 100000), spread over 100 folders.
#include "maintenance/RuleSweep.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vesk;

namespace {

constexpr int kFolders = 100;
constexpr int kAgeHours = 24;

// Files five days old, every tenth one an hour old (kept).
void makeTree(const QString &root, int files)
{
    const time_t now = ::time(nullptr);
    for (int f = 0; f < kFolders; ++f) {
        const QByteArray folder = QFile::encodeName(root + QStringLiteral("/f%1").arg(f));
        ::mkdir(folder.constData(), 0755);
        const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
        for (int i = f; i < files; i += kFolders) {
            const QByteArray name = "IMG_" + QByteArray::number(i) + ".jpg";
            const int fd = ::openat(dirFd, name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::write(fd, "x", 1);
            const time_t age = (i % 10 == 0) ? 3600 : 5 * 86400;
            const timespec times[2] = {{now - age, 0}, {now - age, 0}};
            ::futimens(fd, times);
            ::close(fd);
        }
        ::close(dirFd);
    }
}

double runShell(const QString &command, QByteArray *output = nullptr)
{
    QProcess shell;
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    shell.waitForFinished(-1);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (output)
        *output = shell.readAllStandardOutput().trimmed();
    return ms;
}

double runSweep(const QString &root, bool dryRun, int *count)
{
    RuleSweepJob job;
    job.folder = root;
    job.rule.dryRun = dryRun;
    job.rule.useTrash = false;
    job.rule.maxAgeHours = kAgeHours;
    job.cutoffMs = QDateTime::currentMSecsSinceEpoch() - qint64(kAgeHours) * 3600 * 1000;
    QElapsedTimer timer;
    timer.start();
    const RuleSweepOutcome outcome = sweepRuleFolder(job);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    *count = dryRun ? outcome.selected : outcome.removed;
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int files = qEnvironmentVariableIntValue("VESK_BENCH_FILES") > 0 ? qEnvironmentVariableIntValue("VESK_BENCH_FILES")
                                                                            : 100000;
    QTemporaryDir temp;
    const QString ours = QDir(temp.path()).canonicalPath() + QStringLiteral("/sweep");
    const QString theirs = QDir(temp.path()).canonicalPath() + QStringLiteral("/find");
    QDir().mkpath(ours);
    QDir().mkpath(theirs);
    makeTree(ours, files);
    makeTree(theirs, files);
    const QString findArgs = QStringLiteral("find '%1' -type f -mmin +%2").arg(theirs).arg(kAgeHours * 60);

    // Dry runs first (they leave the trees as they are); best of three each.
    double sweepPreview = 1e18, findCount = 1e18;
    int previewed = 0;
    QByteArray counted;
    for (int round = 0; round < 3; ++round) {
        sweepPreview = std::min(sweepPreview, runSweep(ours, true, &previewed));
        findCount = std::min(findCount, runShell(findArgs + QStringLiteral(" | wc -l"), &counted));
    }
    int removed = 0;
    const double sweepDelete = runSweep(ours, false, &removed);
    const double findDelete = runShell(findArgs + QStringLiteral(" -delete"));

    std::printf("files: %d in %d folders, %d older than %d h\n", files, kFolders, previewed, kAgeHours);
    std::printf("dry run: sweep %.1f ms (%d files) vs find | wc -l %.1f ms (%s files): ratio %.2f\n", sweepPreview,
                previewed, findCount, counted.constData(), sweepPreview / findCount);
    std::printf("removal: sweep %.1f ms (%d files) vs find -delete %.1f ms: ratio %.2f\n", sweepDelete, removed,
                findDelete, sweepDelete / findDelete);
    return 0;
}
