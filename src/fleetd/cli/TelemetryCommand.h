#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `telemetry SERIAL`: the last 24 hours of reports, one compact JSON object a line,
// each as stored plus "received_at".
int runTelemetryCommand(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
