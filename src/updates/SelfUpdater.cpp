#include "updates/SelfUpdater.h"

#include "commands/PinnedVersions.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/FolderHandle.h"
#include "platform/LogCategories.h"
#include "updates/BundleReplacement.h"
#include "updates/ReleaseDownload.h"
#include "updates/ReleaseVerification.h"
#include "updates/SelfUpdateHandover.h"
#include "updates/UpdateService.h"
#include "updates/VersionRule.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

namespace vesk {

namespace {

// What the unpacking and swap hand back to the main thread.
struct Swapped {
    std::optional<QString> failure;
    bool kept = false;
};

// The name the replaced bundle is kept under, beside the installed one.
QString keptNameOf(const QString &bundle)
{
    return QStringLiteral(".warden-previous-") + QFileInfo(bundle).fileName();
}

} // namespace

SelfUpdater::SelfUpdater(Dependencies deps, QObject *parent)
    : QObject(parent), m_fetchReleases(std::move(deps.fetchReleases)), m_defaults(deps.defaults), m_http(deps.http),
      m_clock(deps.clock), m_swap(deps.swap), m_workspace(deps.workspace), m_relaunch(deps.relaunch),
      m_own(std::move(deps.own)), m_ownPid(deps.ownPid), m_tempDir(std::move(deps.tempDir)),
      m_stateDir(std::move(deps.stateDir)), m_quit(std::move(deps.quit))
{
}

QString SelfUpdater::heldByPinText() const
{
    if (!m_heldByPin)
        return {};
    return QStringLiteral("Critical Warden update v") + m_heldByPin->version +
           QStringLiteral(" is available, but this Mac's version pin is holding it. Move the pin in the admin portal "
                          "to install it.");
}

QCoro::Task<> SelfUpdater::check(std::optional<QList<AvailableUpdate>> latest)
{
    if (m_selfUpdating)
        co_return;
    QPointer<SelfUpdater> self(this);
    if (!latest) {
        const FetchReleases fetch = m_fetchReleases;
        const std::optional<QList<AvailableUpdate>> fetched = co_await fetch();
        if (!self || !fetched)
            co_return;
        latest = fetched;
    }
    const QString pin = PinnedVersions::read(m_defaults).value(m_own.bundleId);
    const SelfUpdateDecision decision =
        SelfUpdateDecision::decide(*latest, m_own.bundleId, m_own.version, m_own.build, pin);
    const QString current = VersionRule::numericPart(m_own.version);

    switch (decision.kind) {
    case SelfUpdateDecision::Kind::none:
        if (m_heldByPin) {
            m_heldByPin.reset();
            emit changed();
        }
        if (!pin.isEmpty() && VersionRule::numericPart(pin) != current)
            qCInfo(lcUpdate).noquote() << "Self-update: pinned to" << VersionRule::numericPart(pin)
                                       << "but the server doesn't publish that version yet";
        co_return;
    case SelfUpdateDecision::Kind::heldByPin: {
        const QString held = VersionRule::numericPart(decision.release->version);
        if (!m_heldByPin || VersionRule::numericPart(m_heldByPin->version) != held)
            qCWarning(lcUpdate).noquote() << "Self-update: critical version" << held
                                          << "is published, but this Mac's version pin holds it — move the pin in "
                                             "the admin portal to allow it";
        m_heldByPin = decision.release;
        emit changed();
        co_return;
    }
    case SelfUpdateDecision::Kind::install:
        break;
    }

    const AvailableUpdate release = *decision.release;
    const QString target = VersionRule::numericPart(release.version);
    const std::optional<QString> failedBefore =
        SelfUpdateHandover::readMarker(m_stateDir, SelfUpdateHandover::failedFile);
    if (failedBefore && VersionRule::numericPart(*failedBefore) == target) {
        if (m_reportedFailed != target)
            qCWarning(lcUpdate).noquote() << "Self-update: version" << target
                                          << "did not start on this machine and was rolled back; it is not installed "
                                             "again";
        m_reportedFailed = target;
        co_return;
    }
    m_heldByPin.reset();
    m_selfUpdating = true;
    emit changed();
    const bool pinChose = !pin.isEmpty() && VersionRule::numericPart(pin) == target;
    const QString reason = release.isCritical() && !pinChose ? QStringLiteral("critical release")
                                                             : QStringLiteral("pinned to ") + target;
    qCInfo(lcUpdate).noquote() << "Self-update:" << reason + QStringLiteral(", currently") << current
                               << "— updating to" << target;
    co_await perform(release);
}

void SelfUpdater::failed(const QString &text)
{
    qCWarning(lcUpdate).noquote() << text;
    m_selfUpdating = false;
    emit changed();
}

QCoro::Task<> SelfUpdater::perform(AvailableUpdate release)
{
    const QString downloadFailed = QStringLiteral("Self-update download failed: ");
    if (m_own.bundlePath.isEmpty()) {
        failed(downloadFailed + QStringLiteral("this agent does not run from an installed bundle"));
        co_return;
    }
    QString invalid;
    const std::optional<QUrl> url = ReleaseDownload::downloadUrl(release, &invalid);
    if (!url) {
        failed(downloadFailed + invalid);
        co_return;
    }

    QPointer<SelfUpdater> self(this);
    const QString staging =
        m_tempDir + QStringLiteral("/VeskWardenSelfUpdate_") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    ReleaseDownload download(m_http, staging);
    const DownloadResult downloaded = co_await download.fetch(release, *url);
    if (!self)
        co_return;
    if (!downloaded.ok()) {
        QDir(staging).removeRecursively();
        failed(downloadFailed + *downloaded.failure);
        co_return;
    }

    // The same checks as any app archive, then the unpacking and the swap: blocking file work.
    const ReleaseVerification verification(
        QByteArray::fromBase64(m_defaults.object(UpdateService::releaseKeyKey).toString().toLatin1()),
        m_defaults.object(UpdateService::requireSignedKey).toBool());
    const QString file = downloaded.file;
    const QString bundle = m_own.bundlePath;
    const QString keptName = keptNameOf(bundle);
    const QString bundleId = m_own.bundleId;
    const QString stateDir = m_stateDir;
    BundleSwap *swap = &m_swap;
    const Workspace *workspace = &m_workspace;
    QFuture<Swapped> work = QtConcurrent::run([=]() -> Swapped {
        if (const std::optional<QString> refused = verification.refusal(file, release))
            return {refused};
        const BundleReplacement replacement(*swap, *workspace);
        const QString folder = QFileInfo(bundle).absolutePath();
        const StagedBundle staged = replacement.stageArchive(file, folder, bundleId);
        if (!staged.ok())
            return {staged.failure};
        if (!SelfUpdateHandover::writeMarker(stateDir, SelfUpdateHandover::pendingFile, release.version)) {
            replacement.discard(staged);
            return {QStringLiteral("cannot write the hand-over marker in ") + stateDir};
        }
        const PlaceResult placed = replacement.putInPlace(staged, bundle, KeptCopy{folder, keptName});
        return {placed.failure, placed.kept};
    });
    // Awaited on its own line: g++ 12 mishandles temporaries inside a co_await expression.
    const Swapped swapped = co_await work;
    if (!self)
        co_return;
    if (swapped.failure) {
        SelfUpdateHandover::clearMarkers(m_stateDir);
        QDir(staging).removeRecursively();
        failed(downloadFailed + *swapped.failure);
        co_return;
    }
    if (!swapped.kept)
        qCWarning(lcUpdate) << "Self-update: the replaced agent could not be kept; a failed start cannot roll back";

    SelfUpdateHandover::Plan plan;
    plan.oldPid = m_ownPid;
    plan.bundle = bundle;
    plan.keptName = keptName;
    plan.version = release.version;
    plan.stateDir = m_stateDir;
    plan.staging = staging;
    const QVariant grace = m_defaults.object(UpdateService::gracePeriodKey);
    plan.bound = std::max(minimumStartBound, std::chrono::seconds(grace.isValid()
                                                                      ? grace.toInt()
                                                                      : UpdateService::defaultGracePeriodSeconds));
    plan.start = AgentStart{m_relaunch.serviceUnit(), m_own.executable, m_own.arguments};
    // The watcher of the version being replaced: it knows how to put that version back.
    QString watcher = m_own.handoverProgramIn(plan.keptPath());
    if (!QFileInfo(watcher).isExecutable())
        watcher = m_own.handoverProgramIn(bundle);
    const LaunchOutcome started = m_relaunch.startWatcher(watcher, plan.toArguments());
    if (!started.launched) {
        QFuture<std::optional<QString>> undo = QtConcurrent::run([=] {
            return SelfUpdateHandover::putKeptBack(*swap, *workspace, bundle, keptName);
        });
        const std::optional<QString> notBack = co_await undo;
        if (!self)
            co_return;
        SelfUpdateHandover::clearMarkers(m_stateDir);
        QDir(staging).removeRecursively();
        if (notBack)
            qCCritical(lcUpdate).noquote() << "Self-update: the previous agent files could not be put back:" << *notBack;
        failed(QStringLiteral("Self-update: couldn't launch helper: ") + started.error);
        co_return;
    }

    qCInfo(lcUpdate).noquote() << "Self-update: relaunching into" << VersionRule::numericPart(release.version);
    // Under a unit the watcher's restart ends this agent; on its own it quits for the watcher.
    if (!plan.start.unit.isEmpty())
        co_return;
    Clock &clock = m_clock;
    co_await clock.sleep(std::chrono::milliseconds(500));
    if (self && m_quit)
        m_quit();
}

QCoro::Task<> SelfUpdater::reportStarted()
{
    const std::optional<QString> pending = SelfUpdateHandover::readMarker(m_stateDir, SelfUpdateHandover::pendingFile);
    if (!pending || VersionRule::numericPart(*pending) != VersionRule::numericPart(m_own.version))
        co_return;
    QPointer<SelfUpdater> self(this);
    Clock &clock = m_clock;
    co_await clock.sleep(startSettle);
    if (!self)
        co_return;
    if (SelfUpdateHandover::writeMarker(m_stateDir, SelfUpdateHandover::startedFile, m_own.version))
        qCInfo(lcUpdate).noquote() << "Self-update: version" << VersionRule::numericPart(m_own.version)
                                   << "reported started";
}

void SelfUpdater::removeLeftoverKeptCopy()
{
    if (m_own.bundlePath.isEmpty() || m_selfUpdating ||
        SelfUpdateHandover::readMarker(m_stateDir, SelfUpdateHandover::pendingFile))
        return;
    const QString folder = QFileInfo(m_own.bundlePath).absolutePath();
    const QString kept = keptNameOf(m_own.bundlePath);
    const QFileInfo leftover(folder + QLatin1Char('/') + kept);
    if (!leftover.exists() && !leftover.isSymLink())
        return;
    const Opened<FolderHandle> parent = FolderHandle::openTrusted(folder, false);
    std::optional<FolderError> error = parent.error;
    if (parent.ok())
        error = parent.handle.removeTree(kept);
    if (error)
        qCWarning(lcUpdate).noquote() << "Self-update: cannot remove the previous agent left by an interrupted update:"
                                      << error->text;
    else
        qCInfo(lcUpdate).noquote() << "Self-update: removed the previous agent left by an interrupted update:" << kept;
}

} // namespace vesk
