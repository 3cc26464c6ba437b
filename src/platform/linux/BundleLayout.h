#pragma once

#include "platform/WorkspaceTypes.h"

#include <QHash>
#include <QSet>
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

// readBundleInfo() remembered per bundle until its Info.plist changes: another file (inode),
// size, modification or change time. Costs one stat() per read while nothing changed. A file
// changed within the last seconds is read every time: file times move in clock ticks, so a
// second write in the same tick could otherwise go unseen.
class BundleInfoCache {
public:
    std::optional<BundleInfo> read(const QString &bundlePath);
    // Forgets the bundles not in `kept`.
    void retain(const QSet<QString> &kept);

private:
    struct Stamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modified = 0; // ns
        qint64 changed = 0;  // ns
        bool operator==(const Stamp &) const = default;
    };
    struct Entry {
        Stamp stamp;
        std::optional<BundleInfo> info;
        bool settled = false;
    };
    QHash<QString, Entry> m_entries;
};

} // namespace vesk
