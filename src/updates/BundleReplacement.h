#pragma once

#include "commands/payload/PayloadArchiver.h"
#include "platform/WorkspaceTypes.h"

#include <QString>

#include <optional>

namespace vesk {

class BundleSwap;
class Workspace;

// A new bundle unpacked into a staging folder next to the bundle it will replace, on the
// same file system, so that putting it in place is one rename.
struct StagedBundle {
    QString parentDir;   // the installed bundle's folder, where staging lives
    QString stagingName; // ".warden-staging-…" inside parentDir
    QString bundleName;  // "Name.app" inside the staging folder
    BundleInfo info;
    std::optional<QString> failure; // the whole install's failure text

    bool ok() const { return !failure.has_value(); }
    QString stagingPath() const { return parentDir + QLatin1Char('/') + stagingName; }
    QString bundlePath() const { return stagingPath() + QLatin1Char('/') + bundleName; }
};

// Where the replaced bundle is kept: a folder and the name it gets there.
struct KeptCopy {
    QString folder;
    QString name;
};

// How putting a bundle in place went.
struct PlaceResult {
    std::optional<QString> failure; // the target is as it was
    bool kept = false;              // the replaced bundle is in the kept place
};

// The file work of an app update: unpack, check, swap. The swap is one renameat2 exchange,
// so an install killed at any moment leaves the old bundle or the new one at the target's
// path, whole. Blocking file work: worker threads (or a helper process) only.
class BundleReplacement {
public:
    // App bundles are larger than settings folders.
    static PayloadArchiveLimits defaultLimits() { return {200000, qint64(8) << 30}; }

    BundleReplacement(BundleSwap &swap, const Workspace &workspace, PayloadArchiveLimits limits = defaultLimits())
        : m_swap(swap), m_workspace(workspace), m_limits(limits) {}

    // Unpacks a zip or tar archive into staging inside `targetDir` and finds the one bundle at
    // its top level, which must carry `bundleId`.
    StagedBundle stageArchive(const QString &archive, const QString &targetDir, const QString &bundleId) const;
    // Copies a bundle folder into staging inside `targetDir`; the same checks.
    StagedBundle stageBundle(const QString &bundle, const QString &targetDir, const QString &bundleId) const;
    // Takes a kept copy back into staging next to `targetPath` (a rename when on the same file
    // system, else a copy).
    StagedBundle stageKept(const KeptCopy &kept, const QString &targetPath) const;

    // Puts the staged bundle at `targetPath`, swapping it with what is there. The replaced
    // bundle goes to `keep` when given (a failure there is only logged: the new bundle is in
    // place), else it is deleted with the staging folder.
    PlaceResult putInPlace(const StagedBundle &staged, const QString &targetPath,
                                      const std::optional<KeptCopy> &keep) const;
    // Removes a staging folder that will not be used.
    void discard(const StagedBundle &staged) const;

private:
    StagedBundle findBundle(StagedBundle staged, const QString &bundleId) const;

    BundleSwap &m_swap;
    const Workspace &m_workspace;
    PayloadArchiveLimits m_limits;
};

} // namespace vesk
