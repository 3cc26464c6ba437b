#include "commands/payload/PayloadService.h"

#include "commands/payload/PayloadAppCycle.h"
#include "commands/payload/PayloadBackupStore.h"
#include "commands/payload/PayloadChecksum.h"
#include "commands/payload/PayloadFolderSwap.h"
#include "commands/payload/PayloadTarget.h"
#include "fleet/FleetAPIClient.h"
#include "platform/Clock.h"
#include "platform/LogCategories.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

namespace vesk {

namespace {

CommandResult failed(QString text)
{
    qCWarning(lcPayload).noquote() << text;
    return CommandResult::failure(std::move(text));
}

QString deployedText(const RemotePayload &payload, const QString &target, bool backedUp, const QStringList &relaunched)
{
    QString text = QStringLiteral("Deployed \"") + payload.name + QStringLiteral("\" to ") + target;
    if (backedUp)
        text += QStringLiteral(" (previous folder backed up)");
    if (!relaunched.isEmpty())
        text += QStringLiteral(", relaunched ") + relaunched.join(QStringLiteral(", "));
    return text;
}

} // namespace

PayloadService::PayloadService(Dependencies deps)
    : m_api(deps.api), m_apps(deps.apps), m_clock(deps.clock), m_paths(std::move(deps.paths)),
      m_archiver(m_paths.tempDir, deps.limits)
{
}

QCoro::Task<CommandResult> PayloadService::deployPayload(qint64 payloadId)
{
    const APIResult<PayloadResponse> record = co_await m_api.fetchPayload(payloadId);
    if (!record)
        co_return failed(QStringLiteral("Could not fetch payload %1: %2").arg(payloadId).arg(record.errorMessage()));
    const RemotePayload payload = record->payload;
    if (const auto refused = PayloadTarget::validateTarget(payload.targetPath, m_paths))
        co_return failed(*refused);

    const APIResult<QString> download = co_await m_api.downloadPayload(payloadId);
    if (!download)
        co_return failed(QStringLiteral("Download failed: ") + download.errorMessage());
    const CommandResult result = co_await install(payload, *download);
    QFile::remove(*download);
    co_return result;
}

QCoro::Task<CommandResult> PayloadService::install(RemotePayload payload, QString download)
{
    // The archive is opened only once its bytes are known to be the ones the server vouched for.
    auto hashing = QtConcurrent::run([download] { return PayloadChecksum::sha256OfFile(download); });
    const PayloadChecksum::Digest digest = co_await hashing;
    if (!digest.ok())
        co_return failed(QStringLiteral("Could not verify download: ") + digest.error);
    if (const QString mismatch = PayloadChecksum::mismatchText(payload.sha256, digest.hex); !mismatch.isEmpty())
        co_return failed(mismatch);

    const QString target = QDir::cleanPath(payload.targetPath);
    const QString name = PayloadTarget::targetName(target);
    auto unpacking = QtConcurrent::run([archiver = m_archiver, paths = m_paths, download, target] {
        return stage(archiver, paths, download, target);
    });
    const Staged staged = co_await unpacking;
    if (staged.failure)
        co_return failed(*staged.failure);

    PayloadAppCycle cycle(m_apps, m_clock);
    co_await cycle.closeApps(payload.relaunchBundleIds);

    const QDateTime stamp = m_clock.localNow();
    auto swapping = QtConcurrent::run([staged, name, stamp] {
        return PayloadFolderSwap::swapIn(*staged.store, staged.parent, staged.archive.folder, staged.archive.name, name,
                                         stamp);
    });
    const PayloadFolderSwap::SwapResult swapped = co_await swapping;
    const QStringList relaunched = co_await cycle.relaunch(payload.relaunchBundleIds);
    if (swapped.failure) {
        qCCritical(lcPayload).noquote() << QStringLiteral("Payload %1 deploy failed and was rolled back: %2")
                                               .arg(payload.id)
                                               .arg(*swapped.failure);
        co_return CommandResult::failure(QStringLiteral("Deploy failed, previous folder restored: ") +
                                        *swapped.failure);
    }

    auto pruning = QtConcurrent::run([store = *staged.store, name] { store.prune(name); });
    co_await pruning;
    const QString text = deployedText(payload, target, swapped.backedUp, relaunched);
    qCInfo(lcPayload).noquote() << text;
    co_return CommandResult::ok(text);
}

PayloadService::Staged PayloadService::stage(const PayloadArchiver &archiver, const PlatformPaths &paths,
                                             const QString &download, const QString &target)
{
    Staged staged;
    const Opened<FolderHandle> parent = openParent(paths, target);
    if (!parent.ok()) {
        staged.failure = parent.error->text;
        return staged;
    }
    staged.parent = parent.handle;
    staged.archive = archiver.stage(download, staged.parent);
    if (!staged.archive.ok()) {
        staged.failure = staged.archive.error->message();
        return staged;
    }
    // Made and checked only now, so a refused archive leaves no trace; opened before the apps
    // close, so what happens to its name meanwhile does not matter.
    const PayloadBackupStore::Opened store = openStore(paths, true);
    staged.store = store.store;
    staged.failure = store.refusal;
    if (!staged.store && !staged.failure)
        staged.failure = QStringLiteral("Could not open the backup folder ") + paths.payloadBackupDir();
    if (staged.failure)
        staged.parent.removeTree(staged.archive.name);
    return staged;
}

Opened<FolderHandle> PayloadService::openParent(const PlatformPaths &paths, const QString &target)
{
    const Opened<FolderHandle> shared = FolderHandle::openTrusted(paths.sharedDir, false);
    if (!shared.ok())
        return shared;
    // Below the shared folder every part is opened without following links: other users may
    // write there, and a link they put in the way must not lead the payload elsewhere.
    const QString relative = QDir(shared.handle.path()).relativeFilePath(QFileInfo(target).path());
    Opened<FolderHandle> parent = shared.handle.openFolder(relative, 0755);
    if (!parent.ok() && parent.error->kind == FolderError::Kind::notAFolder)
        parent.error->text = QStringLiteral("The target path %1 leads through a symbolic link or a file (%2)")
                                 .arg(target, parent.error->text);
    return parent;
}

PayloadBackupStore::Opened PayloadService::openStore(const PlatformPaths &paths, bool create)
{
    const Opened<FolderHandle> shared = FolderHandle::openTrusted(paths.sharedDir, false);
    if (!shared.ok())
        return {std::nullopt, shared.error->text};
    return PayloadBackupStore::open(shared.handle, QDir(paths.sharedDir).relativeFilePath(paths.payloadBackupDir()),
                                    create);
}

QCoro::Task<CommandResult> PayloadService::restorePayloadBackup(QString targetPath)
{
    if (targetPath.isEmpty())
        co_return failed(QStringLiteral("Missing target_path parameter"));
    if (const auto refused = PayloadTarget::validateTarget(targetPath, m_paths))
        co_return failed(*refused);

    const QString target = QDir::cleanPath(targetPath);
    const QString name = PayloadTarget::targetName(target);
    const QDateTime stamp = m_clock.localNow();
    struct Restored {
        QString text;
        bool ok = false;
    };
    auto restoring = QtConcurrent::run([paths = m_paths, name, target, stamp]() -> Restored {
        const PayloadBackupStore::Opened store = openStore(paths, false);
        if (store.refusal)
            return {*store.refusal};
        const QStringList backups = store.store ? store.store->backupsOf(name) : QStringList();
        if (backups.isEmpty())
            return {QStringLiteral("No backup found for ") + target};
        const Opened<FolderHandle> parent = openParent(paths, target);
        if (!parent.ok())
            return {QStringLiteral("Restore failed: ") + parent.error->text};
        const PayloadFolderSwap::RestoreResult result =
            PayloadFolderSwap::restore(*store.store, backups.last(), parent.handle, name, stamp);
        if (result.failure)
            return {QStringLiteral("Restore failed, previous folder kept: ") + *result.failure};
        store.store->prune(name);
        return {QStringLiteral("Restored ") + target + QStringLiteral(" from backup ") + result.backupName, true};
    });
    const Restored restored = co_await restoring;
    if (!restored.ok)
        co_return failed(restored.text);
    qCInfo(lcPayload).noquote() << restored.text;
    co_return CommandResult::ok(restored.text);
}

} // namespace vesk
