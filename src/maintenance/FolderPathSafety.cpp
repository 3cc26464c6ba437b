#include "maintenance/FolderPathSafety.h"

#include <QDir>
#include <QFileInfo>

namespace vesk {

namespace {

QString standardised(const QString &path)
{
    return QDir::cleanPath(path);
}

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

} // namespace

FolderPathSafety::FolderPathSafety(ProtectedFolders folders, QString homeDir)
    : m_folders(std::move(folders)), m_home(std::move(homeDir))
{
}

QString FolderPathSafety::expand(const QString &path) const
{
    if (path == QLatin1String("~"))
        return m_home;
    if (path.startsWith(QLatin1String("~/")))
        return m_home + path.mid(1);
    return path;
}

QString FolderPathSafety::resolve(const QString &path) const
{
    return canonical(standardised(expand(path.trimmed())));
}

std::optional<QString> FolderPathSafety::validate(const QString &path) const
{
    const QString expanded = expand(path.trimmed());
    if (expanded.isEmpty())
        return QStringLiteral("Choose a folder first.");
    if (!expanded.startsWith(QLatin1Char('/')))
        return QStringLiteral("The folder path must be a full path.");
    const QString written = standardised(expanded);
    const QString home = standardised(m_home);
    if (auto refused = check(written, home))
        return refused;
    // Where the path leads once its links are followed: a link to /etc is /etc.
    const QString resolved = canonical(written);
    const QString resolvedHome = canonical(home);
    if (resolved != written || resolvedHome != home) {
        if (auto refused = check(resolved, resolvedHome))
            return refused;
        if (auto refused = check(resolved, home))
            return refused;
    }
    return std::nullopt;
}

std::optional<QString> FolderPathSafety::check(const QString &path, const QString &home) const
{
    if (m_folders.tooBroad.contains(path) || path == home)
        return QStringLiteral("That folder is too broad to clean safely. Choose a specific folder instead.");
    for (const QString &prefix : m_folders.systemPrefixes) {
        if (path.startsWith(prefix))
            return QStringLiteral("System and app-support folders can't be cleaned.");
    }
    for (const QString &name : m_folders.homeAppSupport) {
        if ((path + QLatin1Char('/')).startsWith(home + QLatin1Char('/') + name + QLatin1Char('/')))
            return QStringLiteral("System and app-support folders can't be cleaned.");
    }
    for (const QString &parent : m_folders.homeParents) {
        if (path.startsWith(parent + QLatin1Char('/')) && path.split(QLatin1Char('/')).size() < 4)
            return QStringLiteral("A home folder is too broad to clean safely. Choose a folder inside it.");
    }
    return std::nullopt;
}

} // namespace vesk
