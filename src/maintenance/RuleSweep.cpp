#include "maintenance/RuleSweep.h"

#include "maintenance/RetentionSelection.h"
#include "platform/FolderSweep.h"

namespace vesk {

RuleSweepOutcome sweepRuleFolder(const RuleSweepJob &job)
{
    RuleSweepOutcome outcome;
    Opened<FolderSweep> opened = FolderSweep::open(job.folder);
    if (!opened.ok()) {
        outcome.folderMissing = opened.error->kind == FolderError::Kind::missing;
        outcome.openError = opened.error->text;
        return outcome;
    }
    FolderSweep &sweep = opened.handle;
    SweepWalkOptions options;
    options.includeSubfolders = job.rule.includeSubfolders;
    options.packageSuffixes = job.packageSuffixes;
    const RetentionRule::FileFilter filter = job.rule.fileFilter;
    if (filter != RetentionRule::FileFilter::all)
        options.admits = [filter](std::string_view name) { return retentionFilterAdmits(filter, name); };
    const SweepListing listing = sweep.list(options);
    const std::vector<std::size_t> chosen = selectForRemoval(listing.files, job.cutoffMs, job.rule.keepNewestCount);

    outcome.selected = int(chosen.size());
    for (const std::size_t index : chosen)
        outcome.selectedBytes += listing.files[index].size;
    if (job.rule.dryRun)
        return outcome;

    for (const std::size_t index : chosen) {
        const SweepFile &file = listing.files[index];
        SweepRemoval removal = job.rule.useTrash ? sweep.moveToTrash(file) : sweep.remove(file);
        // No Trash on this file system, or no room in it: delete instead.
        if (job.rule.useTrash && removal.kind == SweepRemoval::Kind::failed)
            removal = sweep.remove(file);
        switch (removal.kind) {
        case SweepRemoval::Kind::removed:
            ++outcome.removed;
            outcome.freedBytes += file.size;
            break;
        case SweepRemoval::Kind::failed:
            ++outcome.failed;
            outcome.failures.append(QStringLiteral("Retention could not remove %1: %2").arg(sweep.pathOf(file), removal.error));
            break;
        case SweepRemoval::Kind::gone:
        case SweepRemoval::Kind::changed:
            // Removed by someone else, or no longer the file that was chosen: nothing to do.
            break;
        }
    }
    if (job.rule.removeEmptyFolders)
        outcome.emptyFoldersRemoved = sweep.removeEmptyFolders(job.packageSuffixes);
    return outcome;
}

} // namespace vesk
