#pragma once

#include <QString>

namespace vesk::fleetd {

// A published app release, offered to every tenant's machines.
struct ReleaseRecord {
    QString bundleId;
    QString name;
    QString version;
    QString build;
    QString downloadUrl;
    QString sha256;
    QString releaseNotes;
    QString releasedAt;
    bool critical = false;
};

} // namespace vesk::fleetd
