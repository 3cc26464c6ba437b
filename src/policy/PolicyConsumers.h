#pragma once

#include "wire/policy/MonitoredShare.h"
#include "wire/policy/RetentionRule.h"
#include "wire/policy/UpdatePolicy.h"

#include <QList>

#include <qcoro/qcorotask.h>

namespace vesk {

// The services the policy engine hands parts of the policy to. Each attaches after the
// engine is built and may be absent; the engine skips what is not attached.

// Folder retention: runs the policy's cleanup rules beside this Mac's own.
class PolicyRetentionTarget {
public:
    virtual ~PolicyRetentionTarget() = default;
    virtual void setPolicyRetentionRules(const QList<RetentionRule> &rules) = 0;
};

// The share monitor: keeps the policy's shares mounted beside this Mac's own.
class PolicyShareTarget {
public:
    virtual ~PolicyShareTarget() = default;
    virtual void setPolicyShares(const QList<MonitoredShare> &shares) = 0;
};

// The update service's automatic pass, run by the enforcement pass in automatic mode.
class AutomaticUpdateRunner {
public:
    virtual ~AutomaticUpdateRunner() = default;
    virtual QCoro::Task<> runAutomaticUpdates(UpdatePolicy policy) = 0;
};

} // namespace vesk
