#pragma once

#include <QString>
#include <QStringList>

namespace vesk::fleetd {

// A configuration payload's description; the archive bytes are kept apart.
struct PayloadRecord {
    qint64 id = 0;
    QString tenantCode;
    QString name;
    QString notes;
    QString filename;
    QString sha256;
    QString targetPath;
    QStringList relaunchBundleIds;
    qint64 sizeBytes = 0;
    QString createdBy;
    QString createdAt;
};

} // namespace vesk::fleetd
