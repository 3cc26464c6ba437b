#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace vesk {

// What an application bundle says about itself in its Info.plist. A key that is missing,
// or whose value is not a string, is absent.
struct BundleInfo {
    QString path;                                // the bundle folder, "…/Name.app"
    std::optional<QString> bundleIdentifier;     // CFBundleIdentifier
    std::optional<QString> name;                 // CFBundleName
    std::optional<QString> displayName;          // CFBundleDisplayName
    std::optional<QString> shortVersion;         // CFBundleShortVersionString
    std::optional<QString> buildVersion;         // CFBundleVersion
    std::optional<QString> executable;           // CFBundleExecutable, a plain file name in Contents/MacOS

    bool operator==(const BundleInfo &) const = default;
};

// One running application as the workspace sees it.
struct RunningApplication {
    QString bundleIdentifier;                    // empty when the bundle has none
    qint32 pid = 0;
    QString localizedName;
    QString bundlePath;
    std::optional<QDateTime> launchDate;
    bool isFinishedLaunching = false;
    bool isTerminated = false;

    bool operator==(const RunningApplication &) const = default;
};

// How opening an application went: the process that now runs it, or why none does.
struct LaunchOutcome {
    bool launched = false;
    qint32 pid = 0;                              // 0 when the application was already running
    QString error;                               // empty when launched

    bool operator==(const LaunchOutcome &) const = default;
};

} // namespace vesk
