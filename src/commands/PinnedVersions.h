#pragma once

#include <QMap>
#include <QString>

namespace vesk {

class DefaultsStore;

// The user-defaults dictionary "pinnedVersions" (bundle identifier → version) that the
// update service honours. A missing dictionary, or one holding anything but text values,
// reads as empty.
class PinnedVersions {
public:
    static inline const QString key = QStringLiteral("pinnedVersions");

    static QMap<QString, QString> read(const DefaultsStore &defaults);
    static void write(DefaultsStore &defaults, const QMap<QString, QString> &pins);
};

} // namespace vesk
