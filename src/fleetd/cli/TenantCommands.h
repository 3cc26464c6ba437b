#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `tenant add CODE` and `event add TENANT EVENTCODE`. Return the process exit code.
int runTenantAdd(const CommandLine &commandLine, QTextStream &out, QTextStream &err);
int runEventAdd(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
