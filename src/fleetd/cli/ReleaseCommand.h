#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `release publish BUNDLE_ID VERSION ARCHIVE [...]`: a local archive is hosted here and signed
// with the fleet's key; a URL of another host needs --sha256 HEX.
int runReleasePublish(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
