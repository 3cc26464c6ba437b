#pragma once

#include "commands/payload/PayloadBackupStore.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace vesk {

// The two moves that change a target folder: a deploy's swap and a restore. Blocking file
// work: worker threads only.
namespace PayloadFolderSwap {

struct SwapResult {
    bool backedUp = false;          // the previous folder went to the store
    std::optional<QString> failure; // why the swap failed; the previous folder is back
};

// Moves the current target (if any) to a new backup, then the staged folder into its
// place. When a move fails the backup is moved back and the staging folder removed.
SwapResult swapIn(const PayloadBackupStore &store, const QString &staging, const QString &target,
                  const QDateTime &localTime);

struct RestoreResult {
    QString backupName;             // the backup put back
    std::optional<QString> failure; // a file error
};

// Moves the current target (if any) to a new backup, so a restore can itself be undone,
// then the chosen backup into its place.
RestoreResult restore(const PayloadBackupStore &store, const QString &backupName, const QString &target,
                      const QDateTime &localTime);

// rename(2) of a file, folder or link; why it failed, or none.
std::optional<QString> move(const QString &from, const QString &to);
// Something, even a dangling link, is at `path`.
bool occupied(const QString &path);

} // namespace PayloadFolderSwap
} // namespace vesk
