#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `policy assign TENANT SERIAL POLICY`: POLICY is a policy JSON file (saved first,
// keeping the machines it already lists) or the UUID of a saved policy.
int runPolicyAssign(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
