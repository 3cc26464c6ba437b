#pragma once

#include "platform/ProtectedFolders.h"

#include <QString>

#include <optional>

namespace vesk {

// Whether a cleanup rule may sweep a folder. The path is checked as written (after a
// leading ~ is expanded and it is standardised) and again with its symbolic links resolved,
// so a link to a protected folder is refused like the folder itself.
class FolderPathSafety {
public:
    FolderPathSafety(ProtectedFolders folders, QString homeDir);

    // A leading ~ replaced by the home folder.
    QString expand(const QString &path) const;
    // The refusal sentence, or none when the folder may be cleaned.
    std::optional<QString> validate(const QString &path) const;
    // The folder a sweep opens: expanded, standardised, links resolved when it exists.
    QString resolve(const QString &path) const;

private:
    std::optional<QString> check(const QString &path, const QString &home) const;

    ProtectedFolders m_folders;
    QString m_home;
};

} // namespace vesk
