#pragma once

#include <QString>

namespace vesk::PathContainment {

// True when `path` is `folder` or lies below it, compared by whole path components, so
// "/a/outnot" is not inside "/a/out". Both must be clean absolute paths.
bool isWithin(const QString &path, const QString &folder);
// Strictly below `folder` (not the folder itself).
bool isStrictlyInside(const QString &path, const QString &folder);

// `path` with every symbolic link and ".." resolved: the real path of its deepest existing
// ancestor followed by the parts that do not exist yet.
QString resolved(const QString &path);

} // namespace vesk::PathContainment
