#include "commands/payload/PayloadTarget.h"

#include "commands/payload/PathContainment.h"
#include "platform/PlatformPaths.h"

#include <QDir>
#include <QFileInfo>

namespace vesk::PayloadTarget {

std::optional<QString> validateTarget(const QString &path, const PlatformPaths &paths)
{
    if (path.isEmpty())
        return QStringLiteral("No target path given.");
    if (!path.startsWith(QLatin1Char('/')))
        return QStringLiteral("Target path must be a full path.");
    if (path.contains(QStringLiteral("..")))
        return QStringLiteral("Target path may not contain '..'.");

    const QString shared = QDir::cleanPath(paths.sharedDir);
    const QString outside = QStringLiteral("Payloads can only target folders inside %1.").arg(shared);
    const QString standardized = QDir::cleanPath(path);
    if (!PathContainment::isStrictlyInside(standardized, shared))
        return outside;
    // The same question again once links are followed: a link below the shared folder may
    // point anywhere.
    const QString realShared = PathContainment::resolved(shared);
    const QString real = PathContainment::resolved(standardized);
    if (!PathContainment::isStrictlyInside(real, realShared))
        return outside;

    const QString backups = QDir::cleanPath(paths.payloadBackupDir());
    const QString realBackups = PathContainment::resolved(backups);
    if (standardized.startsWith(backups) || real.startsWith(realBackups))
        return QStringLiteral("Target path may not be inside the Warden backups folder.");
    return std::nullopt;
}

QString targetName(const QString &path)
{
    return QFileInfo(QDir::cleanPath(path)).fileName();
}

} // namespace vesk::PayloadTarget
