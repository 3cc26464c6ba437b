#include "commands/payload/PayloadBackupStore.h"

#include "platform/LogCategories.h"

#include <QRegularExpression>

namespace vesk {

namespace {

constexpr unsigned kStoreMode = 0700;

QString refusalOf(const FolderEntryStatus &status)
{
    switch (status.type) {
    case FolderEntryStatus::Type::link:
        return QStringLiteral("it is a symbolic link");
    case FolderEntryStatus::Type::folder:
        break;
    default:
        return QStringLiteral("it is not a folder");
    }
    if (!status.ownedByUs)
        return QStringLiteral("it belongs to user %1").arg(status.owner);
    if (status.mode != kStoreMode)
        return QStringLiteral("its mode is %1").arg(status.mode, 4, 8, QLatin1Char('0'));
    return {};
}

} // namespace

PayloadBackupStore::Opened PayloadBackupStore::open(const FolderHandle &shared, const QString &relative, bool create)
{
    const QString path = shared.path() + QLatin1Char('/') + relative;
    auto refused = [&](const QString &why) {
        return Opened{std::nullopt, QStringLiteral("Refusing the backup folder %1: %2; it must be a folder of this "
                                                   "user with mode 0700.")
                                        .arg(path, why)};
    };

    bool made = false;
    if (create && shared.statusOf(relative).type == FolderEntryStatus::Type::missing) {
        const vesk::Opened<FolderHandle> fresh = shared.makeFolder(relative, kStoreMode);
        if (!fresh.ok() && fresh.error->kind != FolderError::Kind::occupied)
            return Opened{std::nullopt, QStringLiteral("Could not create the backup folder %1").arg(path)};
        made = fresh.ok();
    }
    vesk::Opened<FolderHandle> folder = shared.openFolder(relative);
    if (!folder.ok() && folder.error->kind == FolderError::Kind::missing)
        return Opened{std::nullopt, std::nullopt};
    if (!folder.ok())
        return refused(refusalOf(shared.statusOf(relative)));
    // The umask may have taken bits from the mode asked for, never added any.
    if (made)
        folder.handle.setMode(kStoreMode);
    // Judged by the opened folder itself: what the name points at now no longer matters.
    if (const QString why = refusalOf(folder.handle.status()); !why.isEmpty())
        return refused(why);
    return Opened{PayloadBackupStore(std::move(folder.handle)), std::nullopt};
}

QString PayloadBackupStore::backupName(const QString &targetName, const QDateTime &localTime)
{
    return targetName + QLatin1Char('-') + localTime.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

QString PayloadBackupStore::freshBackupName(const QString &targetName, const QDateTime &localTime) const
{
    const QString base = backupName(targetName, localTime);
    QString candidate = base;
    for (int n = 2; m_folder.statusOf(candidate).type != FolderEntryStatus::Type::missing; ++n)
        candidate = base + QLatin1Char('-') + QString::number(n);
    return candidate;
}

QStringList PayloadBackupStore::backupsOf(const QString &targetName) const
{
    const QRegularExpression stamped(QStringLiteral("^%1-\\d{8}-\\d{6}(-\\d+)?$")
                                         .arg(QRegularExpression::escape(targetName)));
    QStringList names = m_folder.entries();
    names.removeIf([&](const QString &name) { return !stamped.match(name).hasMatch(); });
    names.sort();
    return names;
}

void PayloadBackupStore::prune(const QString &targetName) const
{
    const QStringList names = backupsOf(targetName);
    for (qsizetype i = 0; i + kept < names.size(); ++i) {
        if (const auto failure = m_folder.removeTree(names[i]))
            qCWarning(lcPayload).noquote() << "Could not remove an old payload backup:" << failure->text;
    }
}

} // namespace vesk
