#pragma once

#include <QString>

#include <optional>

namespace vesk {

struct PlatformPaths;

namespace PayloadTarget {

// Why `path` may not receive a payload, or none when it may. Payloads only land in folders
// below the shared folder and never in the backup store; symbolic links and ".." are
// resolved before the check, so a link inside the shared folder cannot lead a payload out.
// The console's capture sheet asks the same question.
std::optional<QString> validateTarget(const QString &path, const PlatformPaths &paths);

// The folder's last path component: the prefix of its backups' names.
QString targetName(const QString &path);

} // namespace PayloadTarget
} // namespace vesk
