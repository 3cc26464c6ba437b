#include "monitor/SystemMonitor.h"

#include "settings/FleetSettingsStore.h"
#include "monitor/FamilyApps.h"
#include "monitor/FleetAppDirectory.h"
#include "monitor/FleetReportingApi.h"
#include "monitor/ResponsivenessProbe.h"
#include "monitor/TelemetryPayload.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/LogCategories.h"
#include "platform/MachineIdentity.h"
#include "platform/SystemInfoSource.h"
#include "platform/Workspace.h"

#include <QCryptographicHash>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QPointer>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <chrono>

namespace vesk {

using namespace std::chrono_literals;

namespace {

constexpr auto kPeriod = 15s;
constexpr auto kLowDataPeriod = 60s;
constexpr int kTelemetryDivisor = 4;
constexpr int kLowDataTelemetryDivisor = 6;
constexpr int kInstalledAppsDivisor = 6;
// A speed test moves about a megabyte: once a day, and again when the machine moves to
// another network; never on its own in low-data mode or when its result cannot be reported.
constexpr qint64 kSpeedTestSeconds = 86400;
constexpr qint64 kInstalledAppsRefreshSeconds = 86400;
const QString kLastSpeedTestAt = QStringLiteral("warden_lastSpeedTestAt");
const QString kLastSpeedTestNetwork = QStringLiteral("warden_lastSpeedTestNetwork");

const QString kLastPolicySync = QStringLiteral("lastPolicySyncTimestamp");

} // namespace

SystemMonitor::SystemMonitor(Dependencies deps, QObject *parent)
    : QObject(parent),
      m_source(deps.source),
      m_workspace(deps.workspace),
      m_api(deps.api),
      m_settings(deps.settings),
      m_appDirectory(deps.appDirectory),
      m_clock(deps.clock),
      m_serial(deps.identity.serialOrUnknown()),
      m_snapshotBuilder(deps.source),
      m_appSampler(deps.source)
{
    m_snapshot.timestamp = m_clock.now();
    // The probe is background work: one low-priority thread, never competing with the agent.
    m_probePool.setMaxThreadCount(1);
    m_probePool.setThreadPriority(QThread::LowPriority);
}

SystemMonitor::~SystemMonitor()
{
    stop();
}

void SystemMonitor::start()
{
    if (m_loopStop)
        return;
    m_loopStop.emplace();
    samplingLoop(m_loopStop->token());
}

void SystemMonitor::stop()
{
    if (m_loopStop) {
        m_loopStop->requestStop();
        m_loopStop.reset();
    }
    // A probe still running finds its generation outdated and its verdicts are dropped.
    ++m_probeGeneration;
}

void SystemMonitor::refresh()
{
    const QDateTime now = m_clock.now();
    const SnapshotSwitches switches{m_settings.foregroundAppReporting(), m_settings.sensitiveTelemetryEnabled()};
    m_snapshot = m_snapshotBuilder.build(m_snapshot, switches, now);
    m_appSnapshots = collectAppSnapshots(now);
    m_hungApps.clear();
    for (const AppSnapshot &app : std::as_const(m_appSnapshots)) {
        if (!app.isResponding)
            m_hungApps.append(app.bundleId);
    }
    emit updated();
}

QList<AppSnapshot> SystemMonitor::collectAppSnapshots(const QDateTime &now)
{
    QList<RunningApplication> kept = m_workspace.runningApplications();
    kept.removeIf([](const RunningApplication &app) {
        return app.bundleIdentifier.isEmpty() || !isFamilyApp(app.bundleIdentifier);
    });

    m_appSampler.prune(kept);
    QSet<QString> keptIds;
    for (const RunningApplication &app : std::as_const(kept))
        keptIds.insert(app.bundleIdentifier);
    m_responsivenessByBundleId.removeIf([&](const auto &entry) { return !keptIds.contains(entry.key()); });

    QList<ResponsivenessProbeRequest> requests;
    for (const RunningApplication &app : std::as_const(kept))
        requests.append({app.bundleIdentifier, app.pid, !app.isTerminated, app.isFinishedLaunching});
    startResponsivenessProbe(std::move(requests));

    const int cores = m_snapshot.cpuCoreCount;
    // In UTC, so that comparing it with each app's previous sample needs no time-zone lookup.
    const QDateTime sampleTime = now.toUTC();
    QList<AppSnapshot> apps;
    apps.reserve(kept.size());
    for (const RunningApplication &app : std::as_const(kept)) {
        const auto verdict = m_responsivenessByBundleId.constFind(app.bundleIdentifier);
        const std::optional<bool> stored =
            verdict == m_responsivenessByBundleId.cend() ? std::nullopt : std::optional<bool>(*verdict);
        apps.append(m_appSampler.sample(app, stored, cores, sampleTime));
    }
    std::stable_sort(apps.begin(), apps.end(),
                     [this](const AppSnapshot &a, const AppSnapshot &b) { return m_collator.compare(a.name, b.name) < 0; });
    return apps;
}

void SystemMonitor::startResponsivenessProbe(QList<ResponsivenessProbeRequest> requests)
{
    const quint64 generation = ++m_probeGeneration;
    if (requests.isEmpty())
        return;
    const SystemInfoSource *source = &m_source;
    auto *watcher = new QFutureWatcher<QHash<QString, bool>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_probeGeneration)
            return;
        const QHash<QString, bool> verdicts = watcher->result();
        for (auto it = verdicts.cbegin(); it != verdicts.cend(); ++it)
            m_responsivenessByBundleId.insert(it.key(), it.value());
        emit responsivenessChanged();
    });
    watcher->setFuture(QtConcurrent::run(&m_probePool, [source, requests = std::move(requests)] {
        return probeResponsiveness(requests, *source);
    }));
}

TelemetryReport SystemMonitor::telemetryReport(const QString &serial) const
{
    const QDateTime now = m_clock.now();
    const TelemetrySwitches switches{m_settings.appStateReporting(), m_settings.foregroundAppReporting(),
                                     m_settings.sensitiveTelemetryEnabled()};
    const double lastPolicySync = m_settings.defaults().object(kLastPolicySync).toDouble();
    return buildTelemetryReport(
        TelemetryInputs{serial, now, m_snapshot, m_appSnapshots, m_hungApps, m_lastSpeedTest, lastPolicySync, switches});
}

QCoro::Task<bool> SystemMonitor::reportTelemetry()
{
    if (!m_settings.systemHealthReporting())
        co_return false;
    QPointer<SystemMonitor> self(this);
    FleetReportingApi &api = m_api;
    const bool configured = co_await api.isConfigured();
    if (!configured || !self)
        co_return false;
    const APIStatus status = co_await api.reportTelemetry(self->telemetryReport(self->m_serial));
    if (!status.ok()) {
        qCWarning(lcFleet).noquote() << QStringLiteral("Telemetry report failed: ") + status.errorMessage();
        co_return false;
    }
    co_return true;
}

QCoro::Task<bool> SystemMonitor::reportInstalledApps()
{
    if (!m_settings.appStateReporting())
        co_return false;
    QPointer<SystemMonitor> self(this);
    FleetReportingApi &api = m_api;
    FleetAppDirectory &directory = m_appDirectory;
    const bool configured = co_await api.isConfigured();
    if (!configured || !self)
        co_return false;
    const QList<InstalledApp> found = co_await directory.installedFamilyApps();
    if (!self)
        co_return false;
    QList<RemoteInstalledApp> apps;
    QCryptographicHash digest(QCryptographicHash::Sha256);
    for (const InstalledApp &app : found) {
        apps.append(reportRecord(app));
        digest.addData(QJsonDocument(apps.last().toJson()).toJson(QJsonDocument::Compact));
    }
    // The server keeps the last report: the same list goes again only as the daily refresh.
    const QByteArray sum = digest.result();
    const QDateTime now = m_clock.now();
    const auto refreshEvery = m_clock.period(std::chrono::seconds(kInstalledAppsRefreshSeconds));
    if (sum == m_installedAppsDigest && m_installedAppsSentAt && m_installedAppsSentAt->msecsTo(now) < refreshEvery.count())
        co_return false;
    const APIStatus status = co_await api.reportInstalledApps(std::move(apps));
    if (!status.ok()) {
        qCWarning(lcFleet).noquote() << QStringLiteral("Installed app report failed: ") + status.errorMessage();
        co_return false;
    }
    if (self) {
        self->m_installedAppsDigest = sum;
        self->m_installedAppsSentAt = now;
    }
    co_return true;
}

QCoro::Task<> SystemMonitor::runSpeedTestIfDue()
{
    if (m_settings.lowDataMode() || !m_settings.systemHealthReporting())
        co_return;
    const QDateTime now = m_clock.now();
    DefaultsStore &defaults = m_settings.defaults();
    // The primary interface, and the Wi-Fi name where sensitive telemetry lets the monitor read
    // it; kept only as a hash.
    const QString network = QString::fromLatin1(
        QCryptographicHash::hash((m_snapshot.primaryInterface + QLatin1Char('|') + m_snapshot.wifiSSID.value_or(QString()))
                                     .toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(16));
    // The last run survives restarts, so a restart does not cost another test.
    const QDateTime lastRun = QDateTime::fromString(defaults.stringValue(kLastSpeedTestAt), Qt::ISODate);
    const bool sameNetwork = defaults.stringValue(kLastSpeedTestNetwork) == network;
    if (lastRun.isValid() && sameNetwork && lastRun.secsTo(now) < kSpeedTestSeconds)
        co_return;
    QPointer<SystemMonitor> self(this);
    FleetReportingApi &api = m_api;
    const APIResult<std::optional<SpeedTestResult>> result = co_await api.runSpeedTest();
    // No result (not configured, or the measurement failed): try again after the next report.
    if (!self || !result.ok() || !result.value())
        co_return;
    self->m_lastSpeedTest = *result.value();
    self->m_lastSpeedTestTime = self->m_clock.now();
    self->m_settings.defaults().setValue(kLastSpeedTestAt, self->m_lastSpeedTestTime->toString(Qt::ISODate));
    self->m_settings.defaults().setValue(kLastSpeedTestNetwork, network);
}

QCoro::Task<> SystemMonitor::samplingLoop(StopToken token)
{
    QPointer<SystemMonitor> self(this);
    Clock &clock = m_clock;

    self->refresh();
    if (self->m_settings.fleetReportingEnabled()) {
        const bool sent = co_await self->reportTelemetry();
        Q_UNUSED(sent);
        if (!self || token.stopRequested())
            co_return;
        const bool reported = co_await self->reportInstalledApps();
        Q_UNUSED(reported);
        if (!self || token.stopRequested())
            co_return;
    }

    int telemetryCount = 0;
    int installedAppsCount = 0;
    for (;;) {
        // Low-data mode is read afresh each turn, so switching it takes effect from the next sleep.
        const bool lowData = self->m_settings.lowDataMode();
        const auto period = lowData ? kLowDataPeriod : kPeriod;
        const int divisor = lowData ? kLowDataTelemetryDivisor : kTelemetryDivisor;
        const bool slept = co_await clock.sleep(period, token);
        if (!slept || !self || token.stopRequested())
            co_return;

        self->refresh();
        if (!self->m_settings.fleetReportingEnabled())
            continue;
        if (++telemetryCount < divisor)
            continue;
        telemetryCount = 0;

        const bool sent = co_await self->reportTelemetry();
        Q_UNUSED(sent);
        if (!self || token.stopRequested())
            co_return;
        co_await self->runSpeedTestIfDue();
        if (!self || token.stopRequested())
            co_return;
        if (++installedAppsCount < kInstalledAppsDivisor)
            continue;
        installedAppsCount = 0;
        const bool reported = co_await self->reportInstalledApps();
        Q_UNUSED(reported);
        if (!self || token.stopRequested())
            co_return;
    }
}

} // namespace vesk
