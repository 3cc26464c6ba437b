#include "commands/payload/PayloadFolderSwap.h"

#include "platform/LogCategories.h"

namespace vesk::PayloadFolderSwap {

namespace {

bool occupied(const FolderHandle &folder, const QString &name)
{
    return folder.statusOf(name).type != FolderEntryStatus::Type::missing;
}

void removeLeftover(const FolderHandle &folder, const QString &name)
{
    if (const auto failure = folder.removeTree(name))
        qCWarning(lcPayload).noquote() << "Could not remove" << failure->text;
}

} // namespace

std::optional<QString> move(const FolderHandle &from, const QString &name, const FolderHandle &to,
                            const QString &newName)
{
    const QString what = from.path() + QLatin1Char('/') + name;
    const QString where = to.path() + QLatin1Char('/') + newName;
    std::optional<FolderError> failure = from.rename(name, to, newName);
    if (failure && failure->kind == FolderError::Kind::crossDevice) {
        // The two folders sit on different file systems (a mounted share below the shared
        // folder): copy, and only then drop the source. A partial copy is removed.
        failure = from.copyTree(name, to, newName);
        if (failure)
            removeLeftover(to, newName);
        else
            removeLeftover(from, name);
    }
    if (!failure)
        return std::nullopt;
    return QStringLiteral("Could not move %1 to %2: %3").arg(what, where, failure->text);
}

SwapResult swapIn(const PayloadBackupStore &store, const FolderHandle &parent, const FolderHandle &staged,
                  const QString &stagingName, const QString &targetName, const QDateTime &localTime)
{
    SwapResult result;
    // The name may now stand for something else than the folder that was filled and checked.
    if (!parent.holds(stagingName, staged)) {
        result.failure = QStringLiteral("The staging folder %1/%2 was replaced while the apps closed")
                             .arg(parent.path(), stagingName);
        return result;
    }
    std::optional<QString> backupName;
    if (occupied(parent, targetName)) {
        const QString name = store.freshBackupName(targetName, localTime);
        result.failure = move(parent, targetName, store.folder(), name);
        if (!result.failure)
            backupName = name;
    }
    if (!result.failure)
        result.failure = move(parent, stagingName, parent, targetName);
    bool impostor = false;
    if (!result.failure && !parent.holds(targetName, staged)) {
        impostor = true;
        result.failure = QStringLiteral("The staging folder %1/%2 was replaced while it moved into place")
                             .arg(parent.path(), stagingName);
    }
    if (!result.failure) {
        if (const auto failure = staged.setMode(0755))
            qCWarning(lcPayload).noquote() << "Could not open the deployed folder to other users:" << failure->text;
        result.backedUp = backupName.has_value();
        return result;
    }

    if (impostor)
        move(parent, targetName, parent, stagingName); // what was put there goes back where it came from
    if (backupName && occupied(store.folder(), *backupName)) {
        // Best effort: the failure text already says what happened. Whatever took the
        // target's name meanwhile is not ours to keep in the way.
        if (const auto back = move(store.folder(), *backupName, parent, targetName))
            qCCritical(lcPayload).noquote() << "The previous folder stays in the backup store:" << *back;
    }
    if (parent.holds(stagingName, staged))
        removeLeftover(parent, stagingName);
    return result;
}

RestoreResult restore(const PayloadBackupStore &store, const QString &backupName, const FolderHandle &parent,
                      const QString &targetName, const QDateTime &localTime)
{
    RestoreResult result{backupName, std::nullopt};
    if (store.folder().statusOf(backupName).type != FolderEntryStatus::Type::folder) {
        result.failure = QStringLiteral("The backup %1 is not a folder").arg(backupName);
        return result;
    }
    std::optional<QString> savedName;
    if (occupied(parent, targetName)) {
        const QString name = store.freshBackupName(targetName, localTime);
        result.failure = move(parent, targetName, store.folder(), name);
        if (result.failure)
            return result;
        savedName = name;
    }
    result.failure = move(store.folder(), backupName, parent, targetName);
    if (result.failure && savedName) {
        if (const auto back = move(store.folder(), *savedName, parent, targetName))
            qCCritical(lcPayload).noquote() << "The previous folder stays in the backup store:" << *back;
    }
    return result;
}

} // namespace vesk::PayloadFolderSwap
