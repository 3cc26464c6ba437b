#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `machine move SERIAL TENANT`: the only way a machine changes tenant. Returns the exit code.
int runMachineMove(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
