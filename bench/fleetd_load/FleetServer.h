#pragma once

#include "FleetFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

// One `vesk-fleetd serve` child on a free loopback port, its info log off, serving a fixture
// database in a temporary folder; stopped when this goes.
struct FleetServer {
    QTemporaryDir dir;
    QString db = dir.filePath("fleet.sqlite");
    FleetFixture fleet;
    QProcess process;
    quint16 port = 0;

    ~FleetServer();
    // Builds the database with `machines` machines and starts the server; false once the
    // reason is written to `out`.
    bool start(int machines, QTextStream &out);
};
