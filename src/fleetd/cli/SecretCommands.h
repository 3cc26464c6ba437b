#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `secret issue|rotate|revoke|list TENANT`. issue and rotate print
// "id<TAB>code" as their one line of standard output: the only time the code is
// shown. list prints id, preview, state, issued, rotated and revoked times.
int runSecretCommand(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
