#include "updates/AppInstaller.h"

#include "commands/payload/AppLifecycle.h"
#include "platform/Clock.h"
#include "platform/FolderHandle.h"
#include "platform/LogCategories.h"
#include "platform/Workspace.h"
#include "updates/VersionRule.h"

#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

namespace vesk {

namespace {

enum class Format { archive, bundle, diskImage, other };

Format formatOf(const QString &file)
{
    const QString name = QFileInfo(file).fileName().toLower();
    for (const char *suffix : {".zip", ".tar", ".tar.gz", ".tgz", ".tar.xz", ".txz", ".tar.zst", ".tzst"}) {
        if (name.endsWith(QLatin1String(suffix)))
            return Format::archive;
    }
    if (name.endsWith(QLatin1String(".dmg")) || name.endsWith(QLatin1String(".pkg")))
        return Format::diskImage;
    if (name.endsWith(QLatin1String(".app")) && QFileInfo(file).isDir())
        return Format::bundle;
    return Format::other;
}

QString bundleFileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

AppInstaller::AppInstaller(Dependencies deps)
    : m_workspace(deps.workspace), m_apps(deps.apps), m_clock(deps.clock), m_paths(std::move(deps.paths)),
      m_lookup(deps.workspace, m_paths.applicationsDir()), m_replacement(deps.swap, deps.workspace),
      m_manifest(m_paths.updateBackupDir())
{
}

void AppInstaller::removeLeftStaging() const
{
    for (const QString &folder : m_paths.applicationDirs) {
        const Opened<FolderHandle> apps = FolderHandle::openTrusted(folder, false);
        if (!apps.ok())
            continue;
        for (const QString &name : apps.handle.entries()) {
            if (!name.startsWith(QLatin1String(".warden-staging-")))
                continue;
            qCInfo(lcUpdate).noquote() << "Removing" << folder + QLatin1Char('/') + name << "left by an interrupted install";
            if (const auto left = apps.handle.removeTree(name))
                qCWarning(lcUpdate).noquote() << "Could not remove it:" << left->text;
        }
    }
}

QString AppInstaller::permissionRefusal(const QString &targetPath, const QString &name) const
{
    const QFileInfo target(targetPath);
    const QFileInfo folder(target.absolutePath());
    // Moving a folder to another parent rewrites its "..": the bundle itself must be writable too.
    const bool blocked = (folder.exists() && !folder.isWritable()) || (target.exists() && !target.isWritable());
    if (!blocked)
        return {};
    return QStringLiteral("Install failed: the system blocked Warden from replacing ") + name +
           QStringLiteral(". Give the account Vesk Warden runs as write access to ") + folder.absoluteFilePath() +
           QStringLiteral(", then retry.");
}

QCoro::Task<> AppInstaller::closeApp(QString bundleId)
{
    AppLifecycle &apps = m_apps;
    Clock &clock = m_clock;
    co_await apps.quit(bundleId);
    co_await clock.sleep(std::chrono::seconds(2));
    const bool stillRunning = co_await apps.isRunning(bundleId);
    if (stillRunning) {
        co_await apps.forceQuit(bundleId);
        co_await clock.sleep(std::chrono::seconds(1));
    }
}

QCoro::Task<CommandResult> AppInstaller::install(AvailableUpdate release, QString file, Options options)
{
    const QString name = release.displayName();
    const Format format = formatOf(file);
    if (format == Format::diskImage) {
        QFile::remove(file);
        co_return CommandResult::failure(QStringLiteral("Install failed: disk images and installer packages are "
                                                        "not supported on this platform"));
    }
    if (format == Format::other) {
        QFile::remove(file);
        co_return CommandResult::failure(QStringLiteral("Unsupported update format: .") +
                                         QFileInfo(file).suffix().toLower());
    }

    const std::optional<BundleInfo> installed = m_lookup.find(release.bundleId, options.searchEntireMachine);
    if (const QString refused = permissionRefusal(installed ? installed->path : m_paths.applicationsDir(), name);
        !refused.isEmpty()) {
        QFile::remove(file);
        co_return CommandResult::failure(refused);
    }
    const QString targetDir = installed ? QFileInfo(installed->path).absolutePath() : m_paths.applicationsDir();

    AppLifecycle &apps = m_apps;
    const bool wasRunning = co_await apps.isRunning(release.bundleId);
    if (wasRunning)
        co_await closeApp(release.bundleId);

    // Unpacking and the swap: blocking file work, off the main thread.
    const BundleReplacement replacement = m_replacement;
    const BackupManifest manifest = m_manifest;
    const QString backupDir = m_paths.updateBackupDir();
    const QDateTime now = m_clock.now();
    const Workspace *workspace = &m_workspace;
    struct Done {
        CommandResult result;
        bool replaced = false;
    };
    QFuture<Done> work = QtConcurrent::run([=]() -> Done {
        StagedBundle staged = format == Format::archive
                                  ? replacement.stageArchive(file, targetDir, release.bundleId)
                                  : replacement.stageBundle(file, targetDir, release.bundleId);
        if (!staged.ok())
            return Done{CommandResult::failure(*staged.failure)};
        // An app not found where it should be may still sit at the same name (another identifier
        // or an unreadable bundle): it is replaced and kept like any installed copy.
        const QString target = installed ? installed->path : targetDir + QLatin1Char('/') + staged.bundleName;
        std::optional<BundleInfo> old = installed;
        if (!old && QFileInfo::exists(target)) {
            old = workspace->bundleInfo(target);
            if (!old) {
                old = BundleInfo();
                old->path = target;
            }
        }
        std::optional<AppBackup> backup;
        if (old) {
            const QString version = old->shortVersion.value_or(QStringLiteral("Unknown"));
            const QString build = old->buildVersion.value_or(QStringLiteral("Unknown"));
            QString oldName = old->name.value_or(bundleFileNameOf(old->path));
            if (oldName.endsWith(QLatin1String(".app")))
                oldName.chop(4);
            backup = AppBackup{old->bundleIdentifier.value_or(QStringLiteral("Unknown")),
                               oldName,
                               version,
                               build,
                               BackupManifest::backupFileName(bundleFileNameOf(old->path), version, build),
                               old->path,
                               now};
        }
        const PlaceResult placed = replacement.putInPlace(
            staged, target, backup ? std::optional<KeptCopy>(KeptCopy{backupDir, backup->backupFileName}) : std::nullopt);
        if (placed.failure)
            return Done{CommandResult::failure(QStringLiteral("Install failed: ") + *placed.failure)};
        if (backup && placed.kept && !manifest.put(release.bundleId, backup))
            qCWarning(lcUpdate).noquote() << "Could not write the backup manifest" << manifest.path();
        const QString text = old && installed ? QStringLiteral("Updated ") + release.displayName() +
                                                    QStringLiteral(" to ") + release.version
                                              : QStringLiteral("Installed ") + release.displayName() +
                                                    QLatin1Char(' ') + release.version;
        return Done{CommandResult::ok(text), true};
    });
    // Awaited on its own line: g++ 12 mishandles temporaries inside a co_await expression.
    const Done done = co_await work;
    QFile::remove(file);
    m_workspace.refreshApplications();

    if (wasRunning) {
        const bool launched = co_await apps.launch(release.bundleId);
        if (done.replaced && options.gracePeriod.count() > 0) {
            bool up = launched;
            if (up) {
                const bool stayed = co_await staysUp(release.bundleId, options.gracePeriod);
                up = stayed;
            }
            if (!up) {
                const QString reverted = name + QLatin1Char(' ') + release.version +
                                         QStringLiteral(" reverted: the new version did not stay running");
                qCWarning(lcUpdate).noquote() << reverted;
                const std::optional<AppBackup> backup = m_manifest.entry(release.bundleId);
                std::optional<QString> failure = QStringLiteral("no kept copy");
                if (backup) {
                    co_await closeApp(release.bundleId);
                    const std::optional<QString> restored = co_await restoreKept(*backup);
                    failure = restored;
                }
                co_await apps.launch(release.bundleId);
                const QString text = failure ? name + QLatin1Char(' ') + release.version +
                                                   QStringLiteral(" did not stay running and could not be reverted: ") +
                                                   *failure
                                             : reverted;
                if (m_revertSink)
                    m_revertSink->raiseUpdateRevert(
                        UpdateRevert{release.bundleId, UpdateRevertSink::titleFor(name), text, !failure});
                co_return CommandResult::failure(text);
            }
        }
    }
    if (done.replaced && m_revertSink)
        m_revertSink->clearUpdateRevert(UpdateRevertSink::titleFor(name));
    co_return done.result;
}

QCoro::Task<bool> AppInstaller::staysUp(QString bundleId, std::chrono::seconds grace)
{
    AppLifecycle &apps = m_apps;
    Clock &clock = m_clock;
    const Responding responding = m_responding;
    std::chrono::seconds waited{0};
    while (true) {
        const bool running = co_await apps.isRunning(bundleId);
        if (!running || (responding && !responding(bundleId)))
            co_return false;
        if (waited >= grace)
            co_return true;
        const std::chrono::seconds step = std::min(healthCheckInterval, grace - waited);
        co_await clock.sleep(step);
        waited += step;
    }
}

QCoro::Task<std::optional<QString>> AppInstaller::restoreKept(AppBackup backup)
{
    const BundleReplacement replacement = m_replacement;
    const BackupManifest manifest = m_manifest;
    const QString backupDir = m_paths.updateBackupDir();
    QFuture<std::optional<QString>> work = QtConcurrent::run([=]() -> std::optional<QString> {
        const StagedBundle staged = replacement.stageKept(KeptCopy{backupDir, backup.backupFileName}, backup.originalPath);
        if (!staged.ok())
            return staged.failure;
        const PlaceResult placed = replacement.putInPlace(staged, backup.originalPath, std::nullopt);
        if (placed.failure)
            return placed.failure;
        if (!manifest.put(backup.bundleId, std::nullopt))
            return QStringLiteral("could not write ") + manifest.path();
        return std::nullopt;
    });
    const std::optional<QString> failure = co_await work;
    m_workspace.refreshApplications();
    co_return failure;
}

QCoro::Task<CommandResult> AppInstaller::revert(QString bundleId)
{
    const std::optional<AppBackup> backup = m_manifest.entry(bundleId);
    if (!backup)
        co_return CommandResult::failure(QStringLiteral("No backup found for ") + bundleId);
    if (!QFileInfo::exists(m_paths.updateBackupDir() + QLatin1Char('/') + backup->backupFileName))
        co_return CommandResult::failure(QStringLiteral("Backup file missing"));
    AppLifecycle &apps = m_apps;
    const bool wasRunning = co_await apps.isRunning(bundleId);
    if (wasRunning)
        co_await closeApp(bundleId);
    const std::optional<QString> failure = co_await restoreKept(*backup);
    if (wasRunning)
        co_await apps.launch(bundleId);
    if (failure)
        co_return CommandResult::failure(QStringLiteral("Revert failed: ") + *failure);
    co_return CommandResult::ok(QStringLiteral("Reverted ") + backup->name + QStringLiteral(" to ") +
                                VersionRule::numericPart(backup->previousVersion));
}

} // namespace vesk
