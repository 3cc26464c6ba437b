#pragma once

#include "commands/CommandResult.h"
#include "platform/PlatformPaths.h"
#include "updates/BackupManifest.h"
#include "updates/BundleReplacement.h"
#include "updates/InstalledAppLookup.h"
#include "updates/UpdateRevertSink.h"
#include "wire/policy/AvailableUpdate.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>

namespace vesk {

class AppLifecycle;
class BundleSwap;
class Clock;
class Workspace;

// Puts a downloaded release in place: quits the app if it runs, unpacks the archive next to
// the installed bundle, keeps the replaced bundle in the backup folder (one manifest entry per
// app), swaps the new one in and reopens the app. A reopened app must keep running and
// responding for a grace period, or the kept bundle goes back. Also restores a kept bundle on
// request. Runs on the main thread; the file work runs on a worker thread.
class AppInstaller {
public:
    struct Dependencies {
        Workspace &workspace;
        AppLifecycle &apps;
        Clock &clock;
        BundleSwap &swap;
        PlatformPaths paths;
    };
    struct Options {
        bool searchEntireMachine = true;
        std::chrono::seconds gracePeriod{60};
    };
    // False while the app does not answer (the hang probes' verdict); every app answers
    // when none is attached.
    using Responding = std::function<bool(const QString &bundleId)>;

    // How often a reopened app is looked at during its grace period.
    static constexpr std::chrono::seconds healthCheckInterval{5};

    explicit AppInstaller(Dependencies deps);

    void setResponding(Responding responding) { m_responding = std::move(responding); }
    // Automatic reverts also go to the alert feed through `sink` (none: the log only).
    void setRevertSink(UpdateRevertSink *sink) { m_revertSink = sink; }

    // "Updated <name> to <version>", "Installed <name> <version>", or the failure text.
    QCoro::Task<CommandResult> install(AvailableUpdate release, QString file, Options options);
    // "Reverted <name> to <version>", or why not.
    QCoro::Task<CommandResult> revert(QString bundleId);

    const BackupManifest &manifest() const { return m_manifest; }
    // Removes the staging folders an install cut short (the agent killed midway) left in the
    // application folders. Call before any install starts.
    void removeLeftStaging() const;

private:
    QCoro::Task<> closeApp(QString bundleId);
    // Puts the kept copy back; none when it is back, else why not.
    QCoro::Task<std::optional<QString>> restoreKept(AppBackup backup);
    // True when the app stayed up for the whole grace period.
    QCoro::Task<bool> staysUp(QString bundleId, std::chrono::seconds grace);
    QString permissionRefusal(const QString &targetPath, const QString &name) const;

    Workspace &m_workspace;
    AppLifecycle &m_apps;
    Clock &m_clock;
    PlatformPaths m_paths;
    InstalledAppLookup m_lookup;
    BundleReplacement m_replacement;
    BackupManifest m_manifest;
    Responding m_responding;
    UpdateRevertSink *m_revertSink = nullptr;
};

} // namespace vesk
