#pragma once

#include "platform/FolderHandle.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// The folder of earlier versions of payload targets: "<name>-yyyyMMdd-HHmmss" per backup,
// the newest three per target name kept. It sits in the shared folder, which other users
// may write to, so it is opened once, must be a real folder of this user that nobody else
// may enter (mode 0700), and is then worked on through its handle only.
// Blocking file work: worker threads only.
class PayloadBackupStore {
public:
    static constexpr int kept = 3;

    struct Opened;

    // The store at `relative` below `shared`. With `create`, a missing store is made with mode
    // 0700; an existing one that is a link, not a folder, another user's, or open to others
    // is refused, never repaired.
    static Opened open(const FolderHandle &shared, const QString &relative, bool create);

    const FolderHandle &folder() const { return m_folder; }

    static QString backupName(const QString &targetName, const QDateTime &localTime);
    // A name for a new backup that nothing occupies yet; a second backup within the same
    // second gets "-2", "-3", … so it still sorts after the first.
    QString freshBackupName(const QString &targetName, const QDateTime &localTime) const;
    // The target's backups, oldest first (by name). Only names that carry a time stamp
    // count, so the backups of "Lumora-Extra" are not taken for backups of "Lumora".
    QStringList backupsOf(const QString &targetName) const;
    // Deletes all but the newest `kept` backups of the target, folders that shut their owner
    // out included; deletion errors are logged.
    void prune(const QString &targetName) const;

private:
    explicit PayloadBackupStore(FolderHandle folder) : m_folder(std::move(folder)) {}

    FolderHandle m_folder;
};

struct PayloadBackupStore::Opened {
    std::optional<PayloadBackupStore> store; // none: missing (and not created) or refused
    std::optional<QString> refusal;          // why it may not be used
};

} // namespace vesk
