#pragma once

#include "fleetd/cli/ListenAddress.h"

#include <QString>
#include <QTextStream>

namespace vesk::fleetd {

// `vesk-fleetd serve`: opens the store, listens, prints the base URL as one line on
// `out`, then runs the application's event loop until SIGTERM or SIGINT. Needs a
// QCoreApplication. History older than `retentionDays` is pruned while serving.
// Returns the process exit code.
int runServeCommand(const ListenAddress &listen, const QString &dbPath, QTextStream &out, QTextStream &err,
                    int retentionDays = 90);

} // namespace vesk::fleetd
