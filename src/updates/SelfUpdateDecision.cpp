#include "updates/SelfUpdateDecision.h"

#include "updates/VersionRule.h"

namespace vesk {

SelfUpdateDecision SelfUpdateDecision::decide(const QList<AvailableUpdate> &releases, const QString &ownBundleId,
                                              const QString &currentVersion,
                                              const std::optional<QString> &currentBuild, const QString &pin)
{
    QList<AvailableUpdate> candidates;
    for (const AvailableUpdate &release : releases) {
        if (release.bundleId == ownBundleId)
            candidates.append(release);
    }
    // The newest critical release above the running version; the first of equals wins.
    std::optional<AvailableUpdate> critical;
    for (const AvailableUpdate &release : candidates) {
        if (!release.isCritical() || !VersionRule::isNewer(release, currentVersion, currentBuild))
            continue;
        if (!critical || VersionRule::isNewer(release, critical->version, critical->build))
            critical = release;
    }

    if (pin.isEmpty())
        return critical ? SelfUpdateDecision{Kind::install, critical} : SelfUpdateDecision{};
    const QString pinned = VersionRule::numericPart(pin);
    if (pinned != VersionRule::numericPart(currentVersion)) {
        for (const AvailableUpdate &release : candidates) {
            if (VersionRule::numericPart(release.version) == pinned)
                return {Kind::install, release};
        }
    }
    if (critical && VersionRule::numericPart(critical->version) != pinned)
        return {Kind::heldByPin, critical};
    return {};
}

} // namespace vesk
