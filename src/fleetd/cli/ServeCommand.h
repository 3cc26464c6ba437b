#pragma once

#include "fleetd/cli/ListenAddress.h"

#include <QString>
#include <QTextStream>

#include <chrono>

namespace vesk::fleetd {

// `vesk-fleetd serve`: opens the store, listens, prints the base URL as one line on
// `out`, then runs the application's event loop until SIGTERM or SIGINT. Needs a
// QCoreApplication. `redeliverAfter`: how long a delivered command waits for its result
// before a poll hands it out again. Returns the process exit code.
int runServeCommand(const ListenAddress &listen, const QString &dbPath, std::chrono::seconds redeliverAfter,
                    QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
