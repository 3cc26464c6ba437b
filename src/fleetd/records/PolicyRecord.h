#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vesk::fleetd {

// A tenant's device policy: the JSON the console saved, plus the machines it is
// assigned to (the assignment table is authoritative, not the JSON's own list).
struct PolicyRecord {
    QString uuid;
    QString name;
    QJsonObject body;
    QStringList assignedSerials;
};

} // namespace vesk::fleetd
