#pragma once

#include "fleetd/records/AlertRecord.h"
#include "fleetd/records/AppLogRecord.h"
#include "fleetd/records/CommandRecord.h"
#include "fleetd/records/MachineRecord.h"
#include "fleetd/records/NoteRecord.h"
#include "fleetd/records/PayloadRecord.h"
#include "fleetd/records/PolicyRecord.h"
#include "fleetd/records/ReleaseRecord.h"

#include <QJsonObject>

namespace vesk::fleetd {

// Stored records in their wire form (snake_case keys, the shapes the agent decodes).
QJsonObject commandJson(const CommandRecord &command);
QJsonObject alertJson(const AlertRecord &alert, const QString &photographer);
QJsonObject noteJson(const NoteRecord &note);
QJsonObject appLogJson(const AppLogRecord &log);
QJsonObject payloadJson(const PayloadRecord &payload);
QJsonObject releaseJson(const ReleaseRecord &release);
// The policy as saved, with "assigned_serials" taken from the assignments.
QJsonObject policyJson(const PolicyRecord &policy);
QJsonObject machineJson(const MachineRecord &machine, const QString &status);

} // namespace vesk::fleetd
