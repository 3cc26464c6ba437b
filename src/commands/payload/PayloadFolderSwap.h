#pragma once

#include "commands/payload/PayloadBackupStore.h"
#include "platform/FolderHandle.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace vesk {

// The moves that change a target folder: a deploy's swap and a restore. Each works on
// handles opened before the apps were closed: the target's parent folder, the store and the
// staging folder, so a link put in place of any of them meanwhile redirects nothing.
// Blocking file work: worker threads only.
namespace PayloadFolderSwap {

struct SwapResult {
    bool backedUp = false;          // the previous folder went to the store
    std::optional<QString> failure; // why the swap failed; the previous folder is back
};

// Moves the current target `targetName` inside `parent` (if any) to a new backup, then the
// staging folder `staged` (named `stagingName` in `parent`) into its place and opens it to
// others (0755). When a move fails the backup is moved back and the staging folder removed.
SwapResult swapIn(const PayloadBackupStore &store, const FolderHandle &parent, const FolderHandle &staged,
                  const QString &stagingName, const QString &targetName, const QDateTime &localTime);

struct RestoreResult {
    QString backupName;             // the backup put back
    std::optional<QString> failure; // a file error; the previous folder is back in place
};

// Moves the current target (if any) to a new backup, so a restore can itself be undone,
// then the chosen backup into its place. Should that fail, the previous folder goes back.
RestoreResult restore(const PayloadBackupStore &store, const QString &backupName, const FolderHandle &parent,
                      const QString &targetName, const QDateTime &localTime);

// rename(2) of a file, folder or link from one folder to another; across file systems a copy
// (links as links) that replaces the source only once complete. Why it failed, or none.
std::optional<QString> move(const FolderHandle &from, const QString &name, const FolderHandle &to,
                            const QString &newName);

} // namespace PayloadFolderSwap
} // namespace vesk
