#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The database a load run serves: one tenant, its active secret, and `machines`
// machines that have sent a heartbeat with the tenant's event code. Built through
// the server's own store, as the admin command line would build it.
struct FleetFixture {
    QByteArray fleetKey;
    QStringList serials;
    QString error;

    static FleetFixture create(const QString &dbPath, int machines);
};
