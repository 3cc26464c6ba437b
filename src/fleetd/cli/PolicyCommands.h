#pragma once

#include "fleetd/cli/CommandLine.h"
#include "fleetd/storage/FleetStore.h"

#include <QDateTime>
#include <QTextStream>

#include <optional>

namespace vesk::fleetd {

// Saves the policy held in the JSON file at `path` for the tenant and returns its UUID. The
// machines it already has stay on it unless the file lists "assigned_serials", which then
// are exactly its machines. Reports a failure on `err` and returns none.
std::optional<QString> savePolicyFile(FleetStore &store, qint64 tenantId, const QString &path, const QDateTime &now,
                                      QTextStream &err);

// `policy save TENANT FILE`: saves (creates or replaces) the policy in FILE.
int runPolicySave(const CommandLine &commandLine, QTextStream &out, QTextStream &err);
// `policy list TENANT`: one line per policy, sorted by name: UUID, name and its machines.
int runPolicyList(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

} // namespace vesk::fleetd
