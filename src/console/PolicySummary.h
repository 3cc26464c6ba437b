#pragma once

#include "policy/EnforcementLog.h"
#include "wire/policy/DevicePolicy.h"

#include <QDateTime>
#include <QStringList>

#include <optional>

namespace vesk::PolicySummary {

// The Policies screen: the policy in force on this Mac, one line per part that does
// something, or "No active policy".
QStringList lines(const std::optional<DevicePolicy> &policy);

// The Enforcement Log screen's rows, newest first, each "<date time>  <message>".
QStringList logRows(const QList<PolicyLogEntry> &entries);

} // namespace vesk::PolicySummary
