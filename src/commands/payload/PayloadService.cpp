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
    const ApiResult<PayloadResponse> record = co_await m_api.fetchPayload(payloadId);
    if (!record)
        co_return failed(QStringLiteral("Could not fetch payload %1: %2").arg(payloadId).arg(record.errorMessage()));
    const RemotePayload payload = record->payload;
    if (const auto refused = PayloadTarget::validateTarget(payload.targetPath, m_paths))
        co_return failed(*refused);

    const ApiResult<QString> download = co_await m_api.downloadPayload(payloadId);
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
    const QString parent = QFileInfo(target).path();
    auto unpacking = QtConcurrent::run([archiver = m_archiver, download, parent] {
        return archiver.extract(download, parent);
    });
    const ArchiveResult staged = co_await unpacking;
    if (!staged.ok())
        co_return failed(staged.error->message());

    PayloadAppCycle cycle(m_apps, m_clock);
    co_await cycle.closeApps(payload.relaunchBundleIds);

    const PayloadBackupStore store(m_paths.payloadBackupDir());
    const QDateTime stamp = m_clock.localNow();
    auto swapping = QtConcurrent::run([store, staging = staged.path, target, stamp] {
        return PayloadFolderSwap::swapIn(store, staging, target, stamp);
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

    const QString name = PayloadTarget::targetName(target);
    auto pruning = QtConcurrent::run([store, name] { store.prune(name); });
    co_await pruning;
    const QString text = deployedText(payload, target, swapped.backedUp, relaunched);
    qCInfo(lcPayload).noquote() << text;
    co_return CommandResult::ok(text);
}

QCoro::Task<CommandResult> PayloadService::restorePayloadBackup(QString targetPath)
{
    if (targetPath.isEmpty())
        co_return failed(QStringLiteral("Missing target_path parameter"));
    if (const auto refused = PayloadTarget::validateTarget(targetPath, m_paths))
        co_return failed(*refused);

    const QString target = QDir::cleanPath(targetPath);
    const QString name = PayloadTarget::targetName(target);
    const PayloadBackupStore store(m_paths.payloadBackupDir());
    const QDateTime stamp = m_clock.localNow();
    auto restoring = QtConcurrent::run([store, name, target, stamp]() -> std::optional<PayloadFolderSwap::RestoreResult> {
        const QStringList backups = store.backupsOf(name);
        if (backups.isEmpty())
            return std::nullopt;
        PayloadFolderSwap::RestoreResult result = PayloadFolderSwap::restore(store, backups.last(), target, stamp);
        if (!result.failure)
            store.prune(name);
        return result;
    });
    const std::optional<PayloadFolderSwap::RestoreResult> restored = co_await restoring;
    if (!restored)
        co_return failed(QStringLiteral("No backup found for ") + target);
    if (restored->failure)
        co_return failed(QStringLiteral("Restore failed: ") + *restored->failure);
    const QString text = QStringLiteral("Restored ") + target + QStringLiteral(" from backup ") + restored->backupName;
    qCInfo(lcPayload).noquote() << text;
    co_return CommandResult::ok(text);
}

} // namespace vesk
