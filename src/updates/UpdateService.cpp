#include "updates/UpdateService.h"

#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/LogCategories.h"
#include "settings/FleetSettingsStore.h"
#include "updates/ReleaseVerification.h"
#include "updates/SelfUpdater.h"
#include "updates/UpdateWindow.h"
#include "updates/VersionRule.h"

#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

namespace vesk {

namespace {

bool inFlight(const QMap<QString, DownloadState> &pending, const QString &bundleId)
{
    const auto state = pending.constFind(bundleId);
    return state != pending.cend() && state->phase != DownloadState::Phase::failed;
}

} // namespace

UpdateService::UpdateService(Dependencies deps, QObject *parent)
    : QObject(parent), m_fetchReleases(std::move(deps.fetchReleases)), m_settings(deps.settings), m_clock(deps.clock),
      m_installer(deps.installer), m_lookup(std::move(deps.lookup)), m_download(deps.http, std::move(deps.tempDir)),
      m_ownBundleId(std::move(deps.ownBundleId))
{
}

UpdateService::~UpdateService()
{
    stop();
}

void UpdateService::start()
{
    if (m_loop.isRunning())
        return;
    if (!m_sweptStaging) {
        m_sweptStaging = true;
        m_installer.removeLeftStaging();
    }
    m_loop.start(
        this, m_clock, [this] { return loopPass(); }, [] { return std::chrono::milliseconds(period); });
}

void UpdateService::stop()
{
    m_loop.stop();
}

QCoro::Task<> UpdateService::loopPass()
{
    QPointer<UpdateService> self(this);
    const StopToken token = m_loop.token();
    co_await checkForUpdates();
    if (!self || token.stopRequested())
        co_return;
    if (QPointer<SelfUpdater> selfUpdater = m_selfUpdater)
        co_await selfUpdater->check(m_latestServerUpdates);
}

void UpdateService::attachSelfUpdater(SelfUpdater *selfUpdater)
{
    m_selfUpdater = selfUpdater;
    // The console reads the held critical release and the self-update flag through this service.
    if (selfUpdater)
        connect(selfUpdater, &SelfUpdater::changed, this, &UpdateService::changed);
}

bool UpdateService::isSelfUpdating() const
{
    return m_selfUpdater && m_selfUpdater->isSelfUpdating();
}

std::optional<AvailableUpdate> UpdateService::criticalUpdateHeldByPin() const
{
    return m_selfUpdater ? m_selfUpdater->criticalUpdateHeldByPin() : std::nullopt;
}

QCoro::Task<> UpdateService::checkForUpdates()
{
    QPointer<UpdateService> self(this);
    const FetchReleases fetch = m_fetchReleases;
    const std::optional<QList<AvailableUpdate>> received = co_await fetch();
    if (!self || !received)
        co_return;
    m_latestServerUpdates = received;
    const bool entireMachine = m_settings.updateSearchScope() == UpdateSearchScope::entireMachine;
    QList<AvailableUpdate> available;
    for (const AvailableUpdate &release : *received) {
        if (release.bundleId == m_ownBundleId)
            continue;
        const std::optional<BundleInfo> installed = m_lookup.find(release.bundleId, entireMachine);
        if (installed &&
            VersionRule::isNewer(release, installed->shortVersion.value_or(QString()), installed->buildVersion))
            available.append(release);
    }
    m_availableUpdates = available;
    m_lastCheck = m_clock.now();
    emit changed();
}

QCoro::Task<> UpdateService::runAutomaticUpdates(UpdatePolicy policy)
{
    if (!UpdateWindow::isOpen(policy, m_clock.localNow()))
        co_return;
    QPointer<UpdateService> self(this);
    const QList<AvailableUpdate> candidates = m_availableUpdates;
    for (const AvailableUpdate &release : candidates) {
        if (!self)
            co_return;
        if (release.bundleId == m_ownBundleId || inFlight(m_pendingInstalls, release.bundleId))
            continue;
        const auto pin = policy.pinnedVersions.constFind(release.bundleId);
        if (pin != policy.pinnedVersions.cend() &&
            VersionRule::numericPart(*pin) != VersionRule::numericPart(release.version))
            continue;
        const CommandResult result = co_await update(release, policy.pinnedVersions);
        qCInfo(lcUpdate).noquote() << "Automatic update:" << result.message.value_or(QString());
    }
}

void UpdateService::setState(const QString &bundleId, std::optional<DownloadState> state)
{
    if (state)
        m_pendingInstalls.insert(bundleId, *state);
    else
        m_pendingInstalls.remove(bundleId);
    emit changed();
}

CommandResult UpdateService::fail(const QString &bundleId, const QString &text)
{
    qCWarning(lcUpdate).noquote() << bundleId << text;
    setState(bundleId, DownloadState::failed(text));
    return CommandResult::failure(text);
}

AppInstaller::Options UpdateService::installOptions() const
{
    const DefaultsStore &defaults = m_settings.defaults();
    const QVariant grace = defaults.object(gracePeriodKey);
    AppInstaller::Options options;
    options.searchEntireMachine = m_settings.updateSearchScope() == UpdateSearchScope::entireMachine;
    options.gracePeriod = std::chrono::seconds(grace.isValid() ? grace.toInt() : defaultGracePeriodSeconds);
    return options;
}

QCoro::Task<CommandResult> UpdateService::update(AvailableUpdate release, QMap<QString, QString> pins)
{
    const QString id = release.bundleId;
    if (id == m_ownBundleId)
        co_return fail(id, QStringLiteral("Warden can't replace itself while running — pin the version in the admin "
                                          "portal to trigger a self-update"));
    QString invalid;
    const std::optional<QUrl> url = ReleaseDownload::downloadUrl(release, &invalid);
    if (!url)
        co_return fail(id, invalid);
    if (const auto pin = pins.constFind(id); pin != pins.cend()) {
        const QString pinned = VersionRule::numericPart(*pin);
        if (pinned != VersionRule::numericPart(release.version))
            co_return fail(id, QStringLiteral("Version ") + release.version + QStringLiteral(" not allowed — pinned to ") +
                                   pinned);
    }

    QPointer<UpdateService> self(this);
    setState(id, DownloadState{DownloadState::Phase::downloading, {}});
    ReleaseDownload download = m_download;
    const DownloadResult downloaded = co_await download.fetch(release, *url);
    if (!self)
        co_return CommandResult::failure(QStringLiteral("Update service stopped"));
    if (!downloaded.ok())
        co_return fail(id, *downloaded.failure);

    const DefaultsStore &defaults = m_settings.defaults();
    const ReleaseVerification verification(
        QByteArray::fromBase64(defaults.object(releaseKeyKey).toString().toLatin1()),
        defaults.object(requireSignedKey).toBool());
    const QString file = downloaded.file;
    QFuture<std::optional<QString>> checked =
        QtConcurrent::run([verification, file, release] { return verification.refusal(file, release); });
    // Awaited on its own line: g++ 12 mishandles temporaries inside a co_await expression.
    const std::optional<QString> refused = co_await checked;
    if (!self)
        co_return CommandResult::failure(QStringLiteral("Update service stopped"));
    if (refused) {
        QFile::remove(file);
        co_return fail(id, *refused);
    }

    setState(id, DownloadState{DownloadState::Phase::readyToInstall, {}});
    setState(id, DownloadState{DownloadState::Phase::installing, {}});
    AppInstaller &installer = m_installer;
    const CommandResult installed = co_await installer.install(release, file, installOptions());
    if (!self)
        co_return installed;
    if (!installed.success)
        co_return fail(id, installed.message.value_or(QString()));
    setState(id, std::nullopt);
    m_availableUpdates.removeIf([&](const AvailableUpdate &u) { return u.bundleId == id; });
    qCInfo(lcUpdate).noquote() << installed.message.value_or(QString());
    emit changed();
    co_return installed;
}

QCoro::Task<CommandResult> UpdateService::revert(QString bundleId)
{
    AppInstaller &installer = m_installer;
    const CommandResult result = co_await installer.revert(bundleId);
    co_return result;
}

} // namespace vesk
