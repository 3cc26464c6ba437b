#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `command queue SERIAL COMMAND [--param k=v ...]`: prints the new command id.
int runCommandQueue(const CommandLine &commandLine, QTextStream &out, QTextStream &err);
// `command list SERIAL`: id, command, state, queued at, success, result; one line each.
int runCommandList(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
