#include "updates/InstalledAppLookup.h"

#include "platform/Workspace.h"

#include <QDir>

namespace vesk {

bool InstalledAppLookup::isEligible(const QString &path, bool searchEntireMachine) const
{
    for (const QLatin1String excluded : {QLatin1String("/.Trash/"), QLatin1String("/DerivedData/"),
                                         QLatin1String("/Library/Developer/")}) {
        if (path.contains(excluded))
            return false;
    }
    return searchEntireMachine || path.startsWith(m_applicationsDir + QLatin1Char('/'));
}

std::optional<BundleInfo> InstalledAppLookup::find(const QString &bundleId, bool searchEntireMachine) const
{
    if (const std::optional<QString> path = m_workspace.applicationPath(bundleId);
        path && isEligible(*path, searchEntireMachine)) {
        if (std::optional<BundleInfo> info = m_workspace.bundleInfo(*path))
            return info;
        return BundleInfo{*path, bundleId, {}, {}, {}, {}, {}};
    }
    const QDir folder(m_applicationsDir);
    const QStringList names = folder.entryList({QStringLiteral("*.app")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const QString path = folder.filePath(name);
        const std::optional<BundleInfo> info = m_workspace.bundleInfo(path);
        if (info && info->bundleIdentifier == bundleId && isEligible(path, searchEntireMachine))
            return info;
    }
    return std::nullopt;
}

} // namespace vesk
