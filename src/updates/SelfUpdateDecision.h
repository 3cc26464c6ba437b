#pragma once

#include "wire/policy/AvailableUpdate.h"

#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// Whether the agent moves to another published version of itself: only to the version an
// administrator pinned for this machine, or to a newer release marked critical. A critical
// release that a pin to another version holds back is reported, not installed.
struct SelfUpdateDecision {
    enum class Kind { none, install, heldByPin };

    Kind kind = Kind::none;
    std::optional<AvailableUpdate> release; // install: the chosen one; heldByPin: the held one

    static SelfUpdateDecision decide(const QList<AvailableUpdate> &releases, const QString &ownBundleId,
                                     const QString &currentVersion, const std::optional<QString> &currentBuild,
                                     const QString &pin);
    bool operator==(const SelfUpdateDecision &) const = default;
};

} // namespace vesk
