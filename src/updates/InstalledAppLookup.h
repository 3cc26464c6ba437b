#pragma once

#include "platform/WorkspaceTypes.h"

#include <QString>

#include <optional>

namespace vesk {

class Workspace;

// Where the copy of an app that an update replaces lives. Copies in the Trash or in
// developer build folders never count; with the applications-folder scope only copies
// directly inside the applications folder do.
class InstalledAppLookup {
public:
    InstalledAppLookup(Workspace &workspace, QString applicationsDir)
        : m_workspace(workspace), m_applicationsDir(std::move(applicationsDir)) {}

    bool isEligible(const QString &path, bool searchEntireMachine) const;
    // The workspace's copy when eligible, else the first matching bundle directly inside the
    // applications folder, else none.
    std::optional<BundleInfo> find(const QString &bundleId, bool searchEntireMachine) const;

private:
    Workspace &m_workspace;
    QString m_applicationsDir;
};

} // namespace vesk
