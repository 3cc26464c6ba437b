#pragma once

#include "wire/policy/DevicePolicy.h"

#include <optional>

namespace vesk::PolicyCheck {

// Most entries of each list a policy may carry; far above any real fleet's needs, low
// enough that one enforcement pass stays cheap.
inline constexpr qsizetype maxRules = 200;
inline constexpr qsizetype maxEntriesPerRule = 100;

// Why a decoded policy cannot be put in force (a time of day that is none, a day mask
// outside the week, an interval of no hours, more rules than a pass can carry), or none
// when it can. Names the first offending field.
std::optional<QString> problem(const DevicePolicy &policy);

} // namespace vesk::PolicyCheck
