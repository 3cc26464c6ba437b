#pragma once

#include "platform/WorkspaceTypes.h"

#include <QString>
#include <QVariant>

#include <optional>

namespace vesk {

// Where things live inside a bundle folder "Name.app".
QString infoPlistPath(const QString &bundlePath);
QString executablesDir(const QString &bundlePath);

// The innermost bundle whose Contents/MacOS holds `file` (at any depth); empty when none.
// `file` must be absolute.
QString bundleContaining(const QString &file);

// A bundle's information dictionary as decoded from its Info.plist. A CFBundleExecutable
// that is not a plain file name (a path, "..") is treated as absent, so it can never point
// outside Contents/MacOS.
BundleInfo bundleInfoFromPlist(const QString &bundlePath, const QVariant &plist);

// Reads and decodes the bundle's Info.plist; none when it is missing or not a dictionary.
std::optional<BundleInfo> readBundleInfo(const QString &bundlePath);

} // namespace vesk
