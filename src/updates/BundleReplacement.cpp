#include "updates/BundleReplacement.h"

#include "commands/payload/PayloadFolderSwap.h"
#include "commands/payload/StagingExtraction.h"
#include "platform/BundleSwap.h"
#include "platform/FolderHandle.h"
#include "platform/LogCategories.h"
#include "platform/Workspace.h"

#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstring>

namespace vesk {

namespace {

QString installFailed(const QString &why)
{
    return QStringLiteral("Install failed: ") + why;
}

QString newStagingName()
{
    return QStringLiteral(".warden-staging-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

StagedBundle BundleReplacement::stageArchive(const QString &archive, const QString &targetDir,
                                             const QString &bundleId) const
{
    StagedBundle staged;
    staged.parentDir = targetDir;
    const Opened<FolderHandle> parent = FolderHandle::openTrusted(targetDir, true);
    if (!parent.ok()) {
        staged.failure = installFailed(parent.error->text);
        return staged;
    }
    StagingExtraction extraction(archive, m_limits, StagingExtraction::Formats::zipOrTar);
    const StagedArchive unpacked = extraction.run(parent.handle);
    if (!unpacked.ok()) {
        qCWarning(lcUpdate).noquote() << "Extracting" << archive << "failed:" << unpacked.error->message();
        // A full disk is named as such: libarchive's text would quote the staging folder.
        const bool full = unpacked.error->detail().contains(QString::fromLocal8Bit(std::strerror(ENOSPC)));
        const QString why = full ? QStringLiteral("not enough free space in ") + targetDir : unpacked.error->message();
        staged.failure = installFailed(QStringLiteral("Failed to extract update archive (%1)").arg(why));
        return staged;
    }
    staged.stagingName = unpacked.name;
    return findBundle(std::move(staged), bundleId);
}

StagedBundle BundleReplacement::stageBundle(const QString &bundle, const QString &targetDir,
                                            const QString &bundleId) const
{
    StagedBundle staged;
    staged.parentDir = targetDir;
    const QFileInfo source(bundle);
    const Opened<FolderHandle> from = FolderHandle::openTrusted(source.absolutePath(), false);
    const Opened<FolderHandle> parent = FolderHandle::openTrusted(targetDir, true);
    if (!from.ok() || !parent.ok()) {
        staged.failure = installFailed(from.ok() ? parent.error->text : from.error->text);
        return staged;
    }
    const QString name = newStagingName();
    Opened<FolderHandle> staging = parent.handle.makeFolder(name, 0700);
    if (!staging.ok()) {
        staged.failure = installFailed(staging.error->text);
        return staged;
    }
    staged.stagingName = name;
    if (const auto failure = from.handle.copyTree(source.fileName(), staging.handle, source.fileName())) {
        discard(staged);
        staged.failure = installFailed(failure->text);
        return staged;
    }
    return findBundle(std::move(staged), bundleId);
}

StagedBundle BundleReplacement::stageKept(const KeptCopy &kept, const QString &targetPath) const
{
    StagedBundle staged;
    const QFileInfo target(targetPath);
    staged.parentDir = target.absolutePath();
    staged.bundleName = target.fileName();
    const Opened<FolderHandle> store = FolderHandle::openTrusted(kept.folder, false);
    const Opened<FolderHandle> parent = FolderHandle::openTrusted(staged.parentDir, true);
    if (!store.ok() || !parent.ok()) {
        staged.failure = store.ok() ? parent.error->text : store.error->text;
        return staged;
    }
    const QString name = newStagingName();
    Opened<FolderHandle> staging = parent.handle.makeFolder(name, 0700);
    if (!staging.ok()) {
        staged.failure = staging.error->text;
        return staged;
    }
    staged.stagingName = name;
    if (const auto failure = PayloadFolderSwap::move(store.handle, kept.name, staging.handle, staged.bundleName)) {
        discard(staged);
        staged.failure = *failure;
    }
    return staged;
}

StagedBundle BundleReplacement::findBundle(StagedBundle staged, const QString &bundleId) const
{
    const Opened<FolderHandle> staging = FolderHandle::openTrusted(staged.stagingPath(), false);
    QStringList bundles;
    if (staging.ok()) {
        for (const QString &entry : staging.handle.entries()) {
            if (entry.endsWith(QLatin1String(".app")) &&
                staging.handle.statusOf(entry).type == FolderEntryStatus::Type::folder)
                bundles.append(entry);
        }
    }
    if (bundles.isEmpty())
        staged.failure = installFailed(QStringLiteral("No .app found in update package"));
    else if (bundles.size() > 1)
        staged.failure = installFailed(QStringLiteral("More than one .app found in update package"));
    if (!staged.ok()) {
        discard(staged);
        return staged;
    }
    staged.bundleName = bundles.first();
    const std::optional<BundleInfo> info = m_workspace.bundleInfo(staged.bundlePath());
    const QString found = info ? info->bundleIdentifier.value_or(QString()) : QString();
    if (found != bundleId) {
        staged.failure = installFailed(QStringLiteral("the update package holds %1, not %2")
                                           .arg(found.isEmpty() ? QStringLiteral("a bundle without identifier") : found,
                                                bundleId));
        discard(staged);
        return staged;
    }
    staged.info = *info;
    return staged;
}

PlaceResult BundleReplacement::putInPlace(const StagedBundle &staged, const QString &targetPath,
                                          const std::optional<KeptCopy> &keep) const
{
    // Readable by everyone, as installed apps are; the staging folder itself stays private.
    if (const Opened<FolderHandle> staging = FolderHandle::openTrusted(staged.stagingPath(), false); staging.ok()) {
        if (const Opened<FolderHandle> bundle = staging.handle.openFolder(staged.bundleName); bundle.ok())
            bundle.handle.setMode(0755);
    }
    const bool replacing = QFileInfo::exists(targetPath) || QFileInfo(targetPath).isSymLink();
    const std::optional<FolderError> swapped =
        replacing ? m_swap.exchange(staged.bundlePath(), targetPath) : m_swap.moveNew(staged.bundlePath(), targetPath);
    if (swapped) {
        discard(staged);
        return PlaceResult{swapped->text, false};
    }
    PlaceResult result;
    // The replaced bundle now sits in staging under the new one's name.
    if (replacing && keep) {
        const Opened<FolderHandle> staging = FolderHandle::openTrusted(staged.stagingPath(), false);
        const Opened<FolderHandle> store = FolderHandle::openTrusted(keep->folder, true);
        std::optional<QString> kept = staging.ok() ? std::nullopt : std::optional<QString>(staging.error->text);
        if (!kept && !store.ok())
            kept = store.error->text;
        if (!kept) {
            if (const auto left = store.handle.removeTree(keep->name))
                kept = left->text;
        }
        if (!kept)
            kept = PayloadFolderSwap::move(staging.handle, staged.bundleName, store.handle, keep->name);
        if (kept)
            qCWarning(lcUpdate).noquote() << "The replaced bundle could not be kept:" << *kept;
        result.kept = !kept;
    }
    discard(staged);
    return result;
}

void BundleReplacement::discard(const StagedBundle &staged) const
{
    if (staged.stagingName.isEmpty())
        return;
    const Opened<FolderHandle> parent = FolderHandle::openTrusted(staged.parentDir, false);
    if (!parent.ok())
        return;
    if (const auto left = parent.handle.removeTree(staged.stagingName))
        qCWarning(lcUpdate).noquote() << "Could not remove the staging folder:" << left->text;
}

} // namespace vesk
