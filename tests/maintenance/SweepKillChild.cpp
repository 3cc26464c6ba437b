// Runs one real retention sweep over a folder so the folder-retention tests can kill it
// part-way: `sweep_kill_child FOLDER CUTOFF_MS KEEP_NEWEST trash|delete`. Prints "go" when
// the sweep starts and the removal count when it ends.
#include "maintenance/RuleSweep.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 5)
        return 2;
    vesk::RuleSweepJob job;
    job.folder = QString::fromLocal8Bit(argv[1]);
    job.cutoffMs = QByteArray(argv[2]).toLongLong();
    job.rule.keepNewestCount = QByteArray(argv[3]).toInt();
    job.rule.useTrash = QByteArray(argv[4]) == "trash";
    job.rule.dryRun = false;
    job.rule.fileFilter = vesk::RetentionRule::FileFilter::images;
    job.rule.removeEmptyFolders = true;
    std::fputs("go\n", stdout);
    std::fflush(stdout);
    const vesk::RuleSweepOutcome outcome = vesk::sweepRuleFolder(job);
    std::printf("removed %d failed %d\n", outcome.removed, outcome.failed);
    return outcome.failed == 0 && outcome.openError.isEmpty() ? 0 : 1;
}
