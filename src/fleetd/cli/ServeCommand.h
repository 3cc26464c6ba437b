#pragma once

#include "fleetd/cli/ListenAddress.h"
#include "fleetd/cli/ServeOptions.h"

#include <QString>
#include <QTextStream>

#include <chrono>

namespace vesk::fleetd {

// `vesk-fleetd serve`: opens the store, listens (HTTPS when `options` name a certificate),
// prints the base URL as one line on `out`, then runs the application's event loop until
// SIGTERM or SIGINT, pruning history older than `options.retentionDays` meanwhile. Needs a
// QCoreApplication. Returns the process exit code.
int runServeCommand(const ListenAddress &listen, const QString &dbPath, const ServeOptions &options, QTextStream &out,
                    QTextStream &err);

} // namespace vesk::fleetd
