#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `alerts list [TENANT]`: the newest alerts (at most 1000), of one tenant or of all, one per
// line: id, tenant, received time, serial, severity, category, title, message, and who
// acknowledged it ("-" while open), tab-separated.
int runAlertsList(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
