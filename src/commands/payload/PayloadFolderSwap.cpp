#include "commands/payload/PayloadFolderSwap.h"

#include "commands/payload/PayloadTarget.h"

#include <QDir>
#include <QFile>

#include <filesystem>

namespace vesk::PayloadFolderSwap {

namespace fs = std::filesystem;

namespace {
fs::path native(const QString &path) { return fs::path(QFile::encodeName(path).toStdString()); }
} // namespace

std::optional<QString> move(const QString &from, const QString &to)
{
    std::error_code ec;
    fs::rename(native(from), native(to), ec);
    if (ec == std::errc::cross_device_link) {
        // The staging folder sits on another file system (a tmpfs /tmp, a mounted share):
        // copy, links as links, and only then drop the source. A partial copy is removed.
        ec.clear();
        fs::copy(native(from), native(to), fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
        std::error_code ignored;
        if (ec)
            fs::remove_all(native(to), ignored);
        else
            fs::remove_all(native(from), ignored);
    }
    if (!ec)
        return std::nullopt;
    return QStringLiteral("Could not move %1 to %2: %3").arg(from, to, QString::fromStdString(ec.message()));
}

bool occupied(const QString &path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(native(path), ec));
}

SwapResult swapIn(const PayloadBackupStore &store, const QString &staging, const QString &target,
                  const QDateTime &localTime)
{
    SwapResult result;
    std::optional<QString> backupPath;
    result.failure = store.ensureExists();
    if (!result.failure && occupied(target)) {
        const QString path = store.freshBackupPath(PayloadTarget::targetName(target), localTime);
        result.failure = move(target, path);
        if (!result.failure)
            backupPath = path;
    }
    if (!result.failure)
        result.failure = move(staging, target);
    result.backedUp = backupPath.has_value();
    if (!result.failure)
        return result;

    if (backupPath && occupied(*backupPath))
        move(*backupPath, target); // best effort: the failure text already says what happened
    QDir(staging).removeRecursively();
    result.backedUp = false;
    return result;
}

RestoreResult restore(const PayloadBackupStore &store, const QString &backupName, const QString &target,
                      const QDateTime &localTime)
{
    RestoreResult result{backupName, std::nullopt};
    if (occupied(target)) {
        result.failure = move(target, store.freshBackupPath(PayloadTarget::targetName(target), localTime));
        if (result.failure)
            return result;
    }
    result.failure = move(store.folder() + QLatin1Char('/') + backupName, target);
    return result;
}

} // namespace vesk::PayloadFolderSwap
