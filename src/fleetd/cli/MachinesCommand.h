#pragma once

#include <QString>
#include <QTextStream>

namespace vesk::fleetd {

// `vesk-fleetd machines --db PATH`: the machine directory as tab-separated lines
// (serial, app, version, event code, last seen). Returns the process exit code.
int runMachinesCommand(const QString &dbPath, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
