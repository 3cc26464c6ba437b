#pragma once

#include <QList>
#include <QStringList>

namespace vesk::fleetd {

// The store's schema as an ordered list of migrations. Migration i (0-based) takes
// the database from user_version i to i + 1; new tables are added by appending a
// migration, never by editing an old one.
class FleetSchema {
public:
    static const QList<QStringList> &migrations();
    static int currentVersion() { return static_cast<int>(migrations().size()); }
};

} // namespace vesk::fleetd
