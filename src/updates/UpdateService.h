#pragma once

#include "commands/UpdateCommands.h"
#include "platform/LoopRun.h"
#include "policy/PolicyConsumers.h"
#include "updates/AppInstaller.h"
#include "updates/DownloadState.h"
#include "updates/ReleaseDownload.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <optional>

namespace vesk {

class FleetSettingsStore;
class SelfUpdater;

// Keeps the machine's apps at the versions the fleet allows. Every five minutes it asks the
// fleet which releases exist and keeps those newer than an installed copy; it installs one
// when an administrator asks (the console, "update_app", a due scheduled update) or, in
// automatic mode, inside the policy's window. Each update: pin check, download and its checks,
// checksum and signature, then the installer. Lives on the main thread; its loop holds it
// weakly and ends on stop() or destruction.
class UpdateService final : public QObject, public UpdateCommands, public AutomaticUpdateRunner {
    Q_OBJECT
public:
    // The fleet's release list, or none when the request failed.
    using FetchReleases = std::function<QCoro::Task<std::optional<QList<AvailableUpdate>>>()>;

    struct Dependencies {
        FetchReleases fetchReleases;
        FleetSettingsStore &settings;
        HttpTransport &http;
        Clock &clock;
        AppInstaller &installer;
        InstalledAppLookup lookup;
        QString tempDir;
        QString ownBundleId = QStringLiteral("com.lumora.VeskWarden");
    };

    static constexpr std::chrono::seconds period{300};
    // Settings of this machine (user defaults).
    static inline const QString gracePeriodKey = QStringLiteral("updateGracePeriodSeconds");
    static inline const QString requireSignedKey = QStringLiteral("requireSignedUpdates");
    // The fleet's release-signing public key (base64), pinned at pairing.
    static inline const QString releaseKeyKey = QStringLiteral("warden_fleetReleaseKey");
    static constexpr int defaultGracePeriodSeconds = 60;

    explicit UpdateService(Dependencies deps, QObject *parent = nullptr);
    ~UpdateService() override;

    void start();
    void stop();
    bool isRunning() const { return m_loop.isRunning(); }

    // One availability check; on failure the previous list stays.
    QCoro::Task<> checkForUpdates();
    QCoro::Task<> runAutomaticUpdates(UpdatePolicy policy) override;
    QCoro::Task<CommandResult> update(AvailableUpdate update, QMap<QString, QString> pins) override;
    QList<AvailableUpdate> availableUpdates() const override { return m_availableUpdates; }
    QCoro::Task<> refreshAvailable() override { return checkForUpdates(); }
    // Restores the kept copy of an app (the console's rollback).
    QCoro::Task<CommandResult> revert(QString bundleId);

    const QMap<QString, DownloadState> &pendingInstalls() const { return m_pendingInstalls; }
    std::optional<QDateTime> lastCheck() const { return m_lastCheck; }
    const std::optional<QList<AvailableUpdate>> &latestServerUpdates() const { return m_latestServerUpdates; }

    // The agent's own update, checked by the loop after each availability check.
    void attachSelfUpdater(SelfUpdater *selfUpdater);
    bool isSelfUpdating() const;
    std::optional<AvailableUpdate> criticalUpdateHeldByPin() const;

signals:
    void changed();

private:
    void setState(const QString &bundleId, std::optional<DownloadState> state);
    CommandResult fail(const QString &bundleId, const QString &text);
    AppInstaller::Options installOptions() const;
    // Checks the apps for updates, then the agent itself.
    QCoro::Task<> loopPass();

    FetchReleases m_fetchReleases;
    FleetSettingsStore &m_settings;
    Clock &m_clock;
    AppInstaller &m_installer;
    InstalledAppLookup m_lookup;
    ReleaseDownload m_download;
    QString m_ownBundleId;

    QList<AvailableUpdate> m_availableUpdates;
    QMap<QString, DownloadState> m_pendingInstalls;
    std::optional<QDateTime> m_lastCheck;
    std::optional<QList<AvailableUpdate>> m_latestServerUpdates;

    LoopRun m_loop;
    bool m_sweptStaging = false;
    QPointer<SelfUpdater> m_selfUpdater;
};

} // namespace vesk
