#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QTextStream>

namespace vesk::fleetd {

// `release publish BUNDLE_ID VERSION URL --sha256 HEX [...]`.
int runReleasePublish(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
