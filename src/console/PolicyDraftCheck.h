#pragma once

#include "wire/policy/DevicePolicy.h"

#include <optional>

namespace vesk::PolicyDraftCheck {

// Why the policy editor refuses to save a draft, or none: a keep-alive or update window that
// ends when it starts, a rule without a bundle ID, a rule or schedule on no day, then anything
// the engine itself would refuse to put in force. Names the first offending rule.
std::optional<QString> problem(const DevicePolicy &draft);

} // namespace vesk::PolicyDraftCheck
