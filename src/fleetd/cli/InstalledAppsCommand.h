#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `apps SERIAL`: the machine's latest installed-apps report, one compact JSON object a line,
// each app as stored plus the report's "reported_at". Exits 1 before the first report.
int runInstalledAppsCommand(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
