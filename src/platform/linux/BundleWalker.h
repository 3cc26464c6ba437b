#pragma once

#include <QStringList>

#include <optional>

namespace vesk {

// Walks of bundle folders with the *at() calls, so a walk costs one directory read per
// folder and one lstat per file, like du. Symbolic links are never followed.

// Every "*.app" folder below `roots` (in name order per folder), not descending into one.
QStringList findBundleFolders(const QStringList &roots);

// Sum of st_blocks * 512 over every non-directory entry below `folder`. None when `folder`
// itself cannot be opened; folders inside it that cannot be read count as empty.
std::optional<qint64> allocatedBytes(const QString &folder);

} // namespace vesk
