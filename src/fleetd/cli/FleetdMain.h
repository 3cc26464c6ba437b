#pragma once

#include <QStringList>
#include <QTextStream>

namespace vesk::fleetd {

// Parses the command line and runs the command. Returns the process exit code:
// 0 success, 1 the command failed, 2 the arguments were wrong.
int fleetdMain(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
