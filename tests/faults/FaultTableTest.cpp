// Every service of the agent meets every fault at its seams: a fleet server that refuses,
// never answers, fails with 5xx or cuts its answer short, and a storage folder that is full,
// not writable or cuts writes short. Each must log the failure, keep its loop turning, and
// lose nothing: what it owed the server arrives once the fault is lifted, and a file it could
// not write keeps its old content.
#include "CommandFakes.h"
#include "FakeMachineControl.h"
#include "FakeProcessRunner.h"
#include "FakeSystemInfoSource.h"
#include "FakeWorkspace.h"
#include "FaultyFolder.h"
#include "FaultyHttpTransport.h"
#include "FleetTestRig.h"
#include "LogCapture.h"
#include "UpdateRig.h"

#include "alerts/AlertReportingApi.h"
#include "alerts/AlertService.h"
#include "commands/CommandPoller.h"
#include "commands/FleetAPICommandChannel.h"
#include "heartbeat/Heartbeat.h"
#include "maintenance/FolderRetentionService.h"
#include "maintenance/NetworkShareMonitor.h"
#include "monitor/FleetAppDirectory.h"
#include "monitor/FleetClientReporting.h"
#include "monitor/SystemMonitor.h"
#include "platform/Notifier.h"
#include "platform/ShareMounter.h"
#include "platform/linux/FileKeychainStore.h"
#include "platform/linux/SettingsDefaultsStore.h"
#include "policy/PolicyEngine.h"
#include "updates/FleetReleaseList.h"
#include "wire/GzipBody.h"
#include "wire/KeyCaseConversion.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <variant>

using namespace std::chrono_literals;

namespace vesk::test {
namespace {

const QString kTenant = QStringLiteral("abc");
const QString kSerial = QStringLiteral("C02XK1ABCD");

QJsonObject bodyOf(const HttpRequest &request)
{
    const bool gzip = request.headers.contains(QPair<QByteArray, QByteArray>("Content-Encoding", "gzip"));
    return QJsonDocument::fromJson(gzip ? GzipBody::inflate(request.body, 1 << 20).data.value_or("") : request.body)
        .object();
}

// The fleet server: keeps what it is sent and answers the agent's calls. A command stays
// pending until its result arrives.
class FleetStub final : public HttpTransport {
public:
    int beats = 0;
    int telemetry = 0;
    QStringList alerts;
    std::set<qint64> pendingCommands;
    std::set<qint64> results;
    QJsonObject policy;
    QList<AvailableUpdate> releases;
    QMap<QString, QByteArray> downloads; // by URL path

    QCoro::Task<HttpResult> send(HttpRequest request) override
    {
        const QString path = request.url.path();
        const QJsonObject body = bodyOf(request);
        QByteArray answer = "{}";
        if (path == QLatin1String("/api/heartbeat")) {
            ++beats;
        } else if (path == QLatin1String("/api/device_telemetry")) {
            ++telemetry;
        } else if (path == QLatin1String("/api/device_alert")) {
            alerts << body.value(QStringLiteral("title")).toString();
        } else if (path == QLatin1String("/api/device_command_result")) {
            const qint64 id = body.value(QStringLiteral("command_id")).toInteger();
            results.insert(id);
            pendingCommands.erase(id);
        } else if (path == QLatin1String("/api/device_commands")) {
            QJsonArray commands;
            for (const qint64 id : pendingCommands)
                commands.append(QJsonObject{{"id", id}, {"command", "report_apps"}});
            answer = QJsonDocument(QJsonObject{{"serial", kSerial}, {"commands", commands}}).toJson();
        } else if (path == QLatin1String("/api/device_policy")) {
            answer = QJsonDocument(QJsonObject{{"policy", policy.isEmpty() ? QJsonValue() : QJsonValue(policy)}}).toJson();
            // Conditional, as the real server's: an unchanged policy is answered with headers only.
            const QByteArray etag = '"' + QCryptographicHash::hash(answer, QCryptographicHash::Sha256).toHex() + '"';
            for (const auto &[name, value] : request.headers) {
                if (name.compare("If-None-Match", Qt::CaseInsensitive) == 0 && value == etag)
                    co_return HttpResult{HttpResponse{304, {{"ETag", etag}}, {}}, {}};
            }
            co_return HttpResult{HttpResponse{200, {{"Content-Type", "application/json"}, {"ETag", etag}}, answer}, {}};
        } else if (path == QLatin1String("/api/app_updates")) {
            answer = QJsonDocument(KeyCase::toSnakeCase(AppUpdatesResponse{releases}.toJson()).toObject()).toJson();
        } else if (downloads.contains(path)) {
            // Large bodies land in the request's file, as the real transport streams them.
            QFile file(request.responseFile);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(downloads.value(path)) < 0)
                co_return HttpResult::failure(QStringLiteral("Couldn't save the response: ") + file.errorString());
            co_return HttpResult{HttpResponse{200, {{"Content-Type", "application/zip"}}, {}}, {}};
        } else {
            co_return HttpResult{HttpResponse{404, {}, "{}"}, {}};
        }
        co_return HttpResult{HttpResponse{200, {{"Content-Type", "application/json"}}, answer}, {}};
    }
};

struct SilentNotifier final : Notifier {
    void post(const LocalNotification &) override {}
};

// What every service runs on: a paired fleet client whose transport takes faults, a manual
// clock, and a storage folder whose writes take faults.
struct World {
    ManualClock clock;
    QTemporaryDir root;
    PlatformPaths paths = PlatformPaths::underRoot(root.path());
    FaultyFolder storage{paths.storageDir};
    MemoryDefaultsStore defaults;
    FleetSettingsStore settings{defaults, clock};
    MemoryKeychainStore keychain;
    FleetStub fleet;
    FaultyHttpTransport http{fleet, clock};
    FixedIdentity identity{kSerial};
    FleetSecretManager secrets{FleetSecretManager::Dependencies{keychain, http, settings, identity, clock,
                                                                FleetTestRig::baseUrl, AgentBundle{},
                                                                QStringLiteral("2.4.0")}};
    FleetAPIClient api{FleetAPIClient::Dependencies{http, settings, secrets, identity, paths, FleetTestRig::baseUrl,
                                                    QString(), QString(), {}}};
    LogCapture log;

    World()
    {
        for (const char *key : {"fleetReportingEnabled", "appManagementEnabled", "remoteCommandsEnabled"})
            defaults.setValue(QString::fromLatin1(key), true);
        settings.setTenantCode(kTenant);
        keychain.put(FleetTestRig::service, "fleet-secret::" + kTenant, QByteArray(64, 'a'));
        keychain.put(FleetTestRig::service, "fleet-secret-id::" + kTenant, "42");
    }

    // Lets `span` of virtual time pass, wake by wake. Between wakes the event loop turns until
    // a service with a loop sleeps again: work it hands to a worker resumes through the loop.
    void run(std::chrono::milliseconds span, bool loops = true)
    {
        const QDateTime end = clock.now().addMSecs(span.count());
        for (;;) {
            QCoreApplication::processEvents();
            if (loops) {
                EXPECT_TRUE(QTest::qWaitFor([this] { return clock.sleeperCount() > 0; }, 5000)) << "a loop ended";
            }
            const auto next = clock.nextWakeIn();
            if (next < 0ms || clock.now().addMSecs(next.count()) > end)
                break;
            clock.advance(next);
        }
        clock.advance(std::chrono::milliseconds(clock.now().msecsTo(end)));
        QCoreApplication::processEvents();
    }
    bool logged(const QString &needle) const { return log.count(needle) > 0; }
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

using Fault = std::variant<HttpFault, DiskFault>;

// One service as the table drives it.
struct Probe {
    virtual ~Probe() = default;
    // Starts the service's loop.
    virtual void start() = 0;
    // One turn of the loop, long enough for a timed-out exchange to give up.
    virtual std::chrono::seconds period() const = 0;
    // Makes the service owe something: an alert, a command result, a changed list.
    virtual void owe(int round) = 0;
    // The line the service logs on meeting the fault; empty when the fault costs it nothing.
    virtual QString failureLine(const Fault &fault) const = 0;
    // Everything owed so far has arrived (at the fleet, or in the file).
    virtual bool delivered() const = 0;
    virtual bool running() const = 0;
    // The file the service keeps (disk faults).
    virtual QString file() const { return {}; }
    // Whether the service has a loop of its own that sleeps on the clock.
    virtual bool loops() const { return true; }
    // The one exchange the fleet faults are put on; empty for all of them.
    virtual QString faultedPath() const { return {}; }
    // Waits for work the service handed to a worker thread.
    virtual void settle() {}
    // Its file holds only what the fleet has not taken yet.
    virtual bool keepsOnlyUndelivered() const { return false; }
    // It makes a folder of its own user writable again.
    virtual bool reclaimsItsFolder() const { return false; }
};

QString httpLine(const Fault &fault, const QString &prefix, const QString &truncated = {})
{
    switch (std::get<HttpFault>(fault)) {
    case HttpFault::Refused:
        return prefix + QStringLiteral("Connection refused");
    case HttpFault::TimedOut:
        return prefix + QStringLiteral("The request timed out.");
    case HttpFault::ServerError:
        return prefix;
    case HttpFault::Truncated:
        return truncated;
    }
    return prefix;
}

struct HeartbeatProbe final : Probe {
    explicit HeartbeatProbe(World &w) : world(w)
    {
        beat.setLogger([](const QString &, const QString &message) { qInfo().noquote() << message; });
    }
    ~HeartbeatProbe() override { beat.stop(); }
    void start() override
    {
        beat.start([]() -> QCoro::Task<HeartbeatPayload> {
            co_return HeartbeatPayload{{}, kSerial, QStringLiteral("warden"), QStringLiteral("2.4.0"), {}};
        });
    }
    std::chrono::seconds period() const override { return 900s; }
    void owe(int) override { ++owed; }
    QString failureLine(const Fault &fault) const override
    {
        if (std::get<HttpFault>(fault) == HttpFault::ServerError)
            return QStringLiteral("HEARTBEAT HTTP 503");
        return httpLine(fault, QStringLiteral("HEARTBEAT failed: "));
    }
    bool delivered() const override { return world.fleet.beats >= 1; }
    bool running() const override { return beat.isRunning(); }

    World &world;
    int owed = 0;
    Heartbeat beat{HeartbeatConfig{QStringLiteral("warden"), QStringLiteral("2.4.0"),
                                   FleetTestRig::baseUrl + QStringLiteral("/heartbeat"), 900, 2.5},
                   world.http, world.clock};
};

// Commands pending at the fleet; the fault is on the poll or, with `resultsOnly`, on the
// results alone (the poll goes through, the server keeps the command pending).
struct CommandProbe final : Probe {
    CommandProbe(World &w, bool resultsOnly) : world(w), resultsOnly(resultsOnly) {}
    ~CommandProbe() override { poller.stop(); }
    void start() override { poller.start(); }
    std::chrono::seconds period() const override { return CommandPoller::pollInterval + 60s; }
    void owe(int round) override
    {
        owed.insert(round);
        world.fleet.pendingCommands.insert(round);
    }
    QString faultedPath() const override
    {
        return resultsOnly ? QStringLiteral("/api/device_command_result") : QString();
    }
    QString failureLine(const Fault &fault) const override
    {
        if (std::holds_alternative<DiskFault>(fault))
            return QStringLiteral("Recent commands not saved: ");
        if (resultsOnly)
            return httpLine(fault, QStringLiteral("Command result report failed: "));
        return httpLine(fault, QStringLiteral("Command poll failed: "), QStringLiteral("Command poll failed: "));
    }
    bool delivered() const override
    {
        return std::includes(world.fleet.results.begin(), world.fleet.results.end(), owed.begin(), owed.end());
    }
    bool running() const override { return poller.isPolling(); }
    // The ids of the commands run lately, so that none runs twice.
    QString file() const override { return world.paths.storageDir + QStringLiteral("/recent_commands.json"); }

    World &world;
    bool resultsOnly;
    std::set<qint64> owed;
    FleetAPICommandChannel channel{world.api};
    FakeWorkspace workspace;
    FakeMachineControl machine;
    FakeProcessRunner processes;
    FakeReports reports;
    FakePayloads payloads;
    FakeMessages messages;
    CommandPoller poller{CommandPoller::Dependencies{
        channel, world.settings, world.clock, workspace, machine, processes,
        [](const std::optional<QString> &) { return ToolInvocation{QStringLiteral("journal"), {}}; },
        [](QString, QString) -> QCoro::Task<APIStatus> { co_return APIStatus(); }, reports, payloads, messages, {},
        QLocale(QLocale::English, QLocale::UnitedStates), world.paths.storageDir}};
};

// Telemetry is a sample, not a debt: after the fault the next one arrives.
struct TelemetryProbe final : Probe {
    explicit TelemetryProbe(World &w) : world(w) { world.settings.registerFleetDefaults(); }
    ~TelemetryProbe() override { monitor.stop(); }
    void start() override { monitor.start(); }
    // A report every fourth sample, 15 s apart; a timed-out report holds the loop a minute.
    std::chrono::seconds period() const override { return 180s; }
    void owe(int) override { reportsBefore = world.fleet.telemetry; }
    QString failureLine(const Fault &fault) const override
    {
        return httpLine(fault, QStringLiteral("Telemetry report failed: "));
    }
    bool delivered() const override { return world.fleet.telemetry > reportsBefore; }
    bool running() const override { return monitor.isRunning() && world.clock.sleeperCount() > 0; }

    World &world;
    int reportsBefore = 0;
    FakeSystemInfoSource source;
    FakeWorkspace workspace;
    FleetClientReporting api{world.api};
    FleetAppDirectory directory{workspace, world.clock, world.paths};
    SystemMonitor monitor{
        SystemMonitor::Dependencies{source, workspace, api, world.settings, directory, world.identity, world.clock}};
};

// A healthy machine where another part of the agent raises one alert per round.
struct AlertProbe final : Probe {
    explicit AlertProbe(World &w) : world(w) {}
    ~AlertProbe() override { service.stop(); }
    void start() override
    {
        service.start([] {
            HealthSample sample;
            sample.snapshot.diskTotal = 500LL << 30;
            sample.snapshot.diskFree = 250LL << 30;
            sample.snapshot.diskUsed = sample.snapshot.diskTotal - sample.snapshot.diskFree;
            sample.snapshot.ramTotal = 16LL << 30;
            sample.snapshot.ramUsed = 8LL << 30;
            sample.snapshot.cpuCoreCount = 8;
            sample.snapshot.uptimeSeconds = 86400;
            return sample;
        });
    }
    std::chrono::seconds period() const override { return 90s; }
    void owe(int round) override
    {
        const QString title = QStringLiteral("Backup drive %1 missing").arg(round);
        owed << title;
        service.raise(WardenAlert::make(AlertSeverity::warning, AlertCategory::network, title, title, kSerial,
                                        world.clock.now()));
    }
    QString failureLine(const Fault &fault) const override
    {
        if (std::holds_alternative<DiskFault>(fault))
            return QStringLiteral("Alert outbox not saved:");
        return httpLine(fault, QStringLiteral("Alert report failed: "));
    }
    bool delivered() const override
    {
        for (const QString &title : owed) {
            if (!world.fleet.alerts.contains(title))
                return false;
        }
        return true;
    }
    bool running() const override { return service.isRunning(); }
    QString file() const override { return world.paths.storageDir + QStringLiteral("/alert-outbox.json"); }
    bool keepsOnlyUndelivered() const override { return true; }

    World &world;
    QStringList owed;
    FleetClientAlertReporting api{world.api};
    SilentNotifier notifier;
    AlertService service{AlertService::Dependencies{world.settings, api, notifier, world.clock, kSerial,
                                                    QStringLiteral("linux"), file()}};
};

struct PolicyProbe final : Probe {
    explicit PolicyProbe(World &w) : world(w) {}
    ~PolicyProbe() override { engine.stop(); }
    void start() override { engine.start(); }
    std::chrono::seconds period() const override { return PolicyEngine::syncPeriod + 60s; }
    void owe(int round) override
    {
        DevicePolicy policy;
        policy.id = QUuid::createUuidV5(QUuid(), QString::number(round));
        policy.name = QStringLiteral("Front desk %1").arg(round);
        policy.assignedSerials = {kSerial};
        world.fleet.policy = KeyCase::toSnakeCase(policy.toJson()).toObject();
        owed = policy.name;
    }
    QString failureLine(const Fault &fault) const override
    {
        if (std::holds_alternative<DiskFault>(fault))
            return QStringLiteral("Policy file not saved: ");
        return httpLine(fault, QStringLiteral("Policy sync failed: "), QStringLiteral("Policy sync failed: "));
    }
    bool delivered() const override
    {
        QFile cache(file());
        return engine.activePolicy() && engine.activePolicy()->name == owed && cache.open(QIODevice::ReadOnly)
               && QJsonDocument::fromJson(cache.readAll()).object().value(QStringLiteral("name")).toString() == owed;
    }
    bool running() const override { return engine.isRunning(); }
    QString file() const override { return world.paths.storageDir + QStringLiteral("/policy_cache.json"); }

    World &world;
    QString owed;
    FakeWorkspace workspace;
    FakeMachineControl machine;
    PolicyEngine engine{PolicyEngine::Dependencies{world.api, world.settings, workspace, world.clock,
                                                   ComputerRestart(machine, [] {}), world.paths.storageDir, kSerial,
                                                   QLocale(QLocale::English, QLocale::UnitedKingdom)}};
};

// App updates: the check for releases, and the download of one (started as a command or the
// automatic pass would). The installed app stays as it was until a download arrives whole.
struct UpdateProbe final : Probe {
    static inline const QString kCapture = QStringLiteral("com.lumora.Capture");
    static inline const QString kDownload = QStringLiteral("/downloads/Capture-1.1.zip");

    UpdateProbe(World &w, bool download) : world(w), faultDownload(download)
    {
        makeBundle(paths.applicationsDir(), QStringLiteral("Capture.app"),
                   appInfo(kCapture, QStringLiteral("Capture"), QStringLiteral("1.0")));
        const QString scratch = world.root.path() + QStringLiteral("/scratch");
        const QString bundle = makeBundle(scratch, QStringLiteral("Capture.app"),
                                          appInfo(kCapture, QStringLiteral("Capture"), QStringLiteral("1.1")));
        writeFile(bundle + QStringLiteral("/Contents/Resources/data.bin"), QByteArray(4000, 'n'));
        packBundle(bundle, scratch + QStringLiteral("/Capture.zip"));
        world.fleet.downloads.insert(kDownload, readFile(scratch + QStringLiteral("/Capture.zip")));
        workspace.refreshApplications();
        // The download is faulted only once the release is known.
        if (faultDownload)
            offer();
    }
    ~UpdateProbe() override { service.stop(); }
    void start() override { service.start(); }
    std::chrono::seconds period() const override { return UpdateService::period + 60s; }
    void owe(int) override
    {
        if (!faultDownload) {
            offer();
            return;
        }
        const QList<AvailableUpdate> available = service.availableUpdates();
        ASSERT_EQ(available.size(), 1) << "the check must have found the release";
        installs.push_back(service.update(available.first(), {}));
    }
    QString faultedPath() const override { return faultDownload ? kDownload : QString(); }
    QString failureLine(const Fault &fault) const override
    {
        if (faultDownload)
            return kCapture + QStringLiteral(" Download");
        return httpLine(fault, QStringLiteral("Update check failed: "), QStringLiteral("Update check failed: "));
    }
    bool delivered() const override
    {
        if (!faultDownload)
            return service.availableUpdates().size() == 1;
        workspace.refreshApplications();
        const auto path = workspace.applicationPath(kCapture);
        const auto info = path ? workspace.bundleInfo(*path) : std::nullopt;
        return info && info->shortVersion == QStringLiteral("1.1");
    }
    bool running() const override { return service.isRunning(); }
    void settle() override
    {
        EXPECT_TRUE(QTest::qWaitFor(
            [this] { return std::all_of(installs.begin(), installs.end(), [](const auto &t) { return t.isReady(); }); },
            10000));
    }

    void offer()
    {
        AvailableUpdate release;
        release.bundleId = kCapture;
        release.name = QStringLiteral("Capture");
        release.version = QStringLiteral("1.1");
        release.downloadUrl = QStringLiteral("https://fleet.example.com") + kDownload;
        world.fleet.releases = {release};
    }

    World &world;
    bool faultDownload;
    PlatformPaths paths = UpdateRig::pathsUnder(world.root.path());
    // Mutable: looking the app up refreshes the workspace's bundle list.
    mutable LinuxWorkspace workspace{paths.applicationDirs};
    FakeApps apps;
    RenameExchange swap;
    AppInstaller installer{{workspace, apps, world.clock, swap, paths}};
    std::vector<QCoro::Task<CommandResult>> installs;
    UpdateService service{{FleetReleaseList(world.api), world.settings, world.http, world.clock, installer,
                           InstalledAppLookup(workspace, paths.applicationsDir()), paths.tempDir}};
};

// The cleanup rules this machine keeps in its own file.
struct RetentionProbe final : Probe {
    explicit RetentionProbe(World &w) : world(w) {}
    ~RetentionProbe() override { service.stop(); }
    void start() override { service.start(); }
    std::chrono::seconds period() const override { return FolderRetentionService::period; }
    void owe(int round) override
    {
        RetentionRule rule;
        rule.id = QUuid::createUuidV5(QUuid(), QString::number(round));
        rule.folderPath = QStringLiteral("~/Pictures/Event %1").arg(round);
        owed << rule.folderPath;
        service.addOrUpdateRule(rule);
    }
    QString failureLine(const Fault &) const override { return QStringLiteral("Could not save"); }
    bool delivered() const override
    {
        QFile saved(file());
        if (!saved.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = saved.readAll();
        return std::all_of(owed.cbegin(), owed.cend(), [&](const QString &path) { return bytes.contains(path.toUtf8()); });
    }
    bool running() const override { return service.isRunning(); }
    QString file() const override { return world.paths.storageDir + QLatin1Char('/') + FolderRetentionService::fileName; }

    World &world;
    QStringList owed;
    FolderRetentionService service{
        FolderRetentionService::Dependencies{world.clock, ProtectedFolders{}, world.paths.homeDir, world.paths.storageDir}};
};

// A share server that is never asked: the shares in the list are switched off.
struct IdleMounter final : ShareMounter {
    QList<MountTableEntry> mountTable() override { return {}; }
    QCoro::Task<bool> pathResponds(QString, std::chrono::milliseconds) override { co_return true; }
    QCoro::Task<bool> probeHost(QString, quint16, std::chrono::milliseconds) override { co_return true; }
    QCoro::Task<MountResult> mountShare(ShareMountRequest, std::chrono::milliseconds) override
    {
        co_return MountResult::success(QStringLiteral("/mnt/unused"));
    }
    QCoro::Task<bool> forceUnmount(QString) override { co_return true; }
};

// The network shares this machine keeps in its own file.
struct SharesProbe final : Probe {
    explicit SharesProbe(World &w) : world(w) {}
    ~SharesProbe() override { monitor.stop(); }
    void start() override { monitor.start(); }
    std::chrono::seconds period() const override { return NetworkShareMonitor::period; }
    void owe(int round) override
    {
        MonitoredShare share;
        share.id = QUuid::createUuidV5(QUuid(), QString::number(round));
        share.name = QStringLiteral("Event Captures %1").arg(round);
        share.address = QStringLiteral("smb://nas.local/Captures%1").arg(round);
        share.enabled = false;
        owed << share.name;
        monitor.addShare(share);
    }
    QString failureLine(const Fault &) const override { return QStringLiteral("Could not save"); }
    bool delivered() const override
    {
        const QByteArray bytes = contentOf(file());
        return std::all_of(owed.cbegin(), owed.cend(), [&](const QString &name) { return bytes.contains(name.toUtf8()); });
    }
    bool running() const override { return world.clock.sleeperCount() > 0; }
    QString file() const override { return world.paths.storageDir + QStringLiteral("/monitored_shares.json"); }

    World &world;
    QStringList owed;
    IdleMounter mounter;
    NetworkShareMonitor monitor{
        NetworkShareMonitor::Dependencies{world.clock, mounter, world.keychain, world.paths.storageDir, kSerial}};
};

// The keychain file, where no keychain service answers: a write lands whole or is reported
// as failed to its caller, who still holds the value.
struct KeychainProbe final : Probe {
    explicit KeychainProbe(World &w) : world(w) {}
    void start() override {}
    std::chrono::seconds period() const override { return 60s; }
    void owe(int round) override
    {
        const QByteArray value = QByteArray::number(round);
        const KeychainResult written = QCoro::waitFor(store.write(kService, QStringLiteral("share-password"), value));
        if (written.ok())
            acknowledged = value;
        else
            qWarning().noquote() << written.message;
    }
    QString failureLine(const Fault &) const override { return QStringLiteral("the keychain file"); }
    bool loops() const override { return false; }
    bool delivered() const override
    {
        // A fresh reader, so only what reached the file counts.
        FileKeychainStore reader(file());
        return QCoro::waitFor(reader.read(kService, QStringLiteral("share-password"))).value == acknowledged;
    }
    bool running() const override
    {
        return QCoro::waitFor(store.read(kService, QStringLiteral("share-password"))).found();
    }
    QString file() const override { return world.paths.storageDir + QStringLiteral("/keychain"); }
    bool reclaimsItsFolder() const override { return true; }

    static inline const QString kService = QStringLiteral("com.lumora.warden");
    World &world;
    QByteArray acknowledged;
    // Mutable: a read is a call through the store's interface.
    mutable FileKeychainStore store{file()};
};

// The machine's own settings, written through the settings store.
struct SettingsProbe final : Probe {
    explicit SettingsProbe(World &w) : world(w) {}
    void start() override {}
    std::chrono::seconds period() const override { return 60s; }
    void owe(int round) override
    {
        owed = QStringLiteral("EVT-%1").arg(round);
        settings.setTenantCode(owed);
    }
    QString failureLine(const Fault &) const override { return QStringLiteral("Settings not saved:"); }
    bool loops() const override { return false; }
    bool delivered() const override
    {
        // A fresh reader, so only what reached the file counts.
        SettingsDefaultsStore reader(file());
        return FleetSettingsStore(reader, world.clock).tenantCode() == owed;
    }
    // The agent reads its settings all the time; they answer with the latest value.
    bool running() const override { return settings.tenantCode() == owed; }
    QString file() const override { return world.paths.storageDir + QStringLiteral("/settings.ini"); }

    World &world;
    QString owed;
    SettingsDefaultsStore defaults{file()};
    FleetSettingsStore settings{defaults, world.clock};
};

// A service of the table: its name and how to build it in a world.
struct Service {
    const char *name;
    std::function<std::unique_ptr<Probe>(World &)> make;
};

template <class P, class... Args> Service service(const char *name, Args... args)
{
    return {name, [=](World &world) { return std::make_unique<P>(world, args...); }};
}

const HttpFault kHttpFaults[] = {HttpFault::Refused, HttpFault::TimedOut, HttpFault::ServerError, HttpFault::Truncated};
const DiskFault kDiskFaults[] = {DiskFault::NoSpace, DiskFault::NoAccess, DiskFault::ShortWrite};

TEST(FaultTable, EachServiceThroughEachFleetFaultLogsKeepsTurningAndDeliversOnceLifted)
{
    const Service services[] = {service<HeartbeatProbe>("heartbeat"),
                                service<CommandProbe>("command poll", false),
                                service<CommandProbe>("command results", true),
                                service<TelemetryProbe>("telemetry"),
                                service<AlertProbe>("alert outbox"),
                                service<PolicyProbe>("policy sync"),
                                service<UpdateProbe>("update check", false),
                                service<UpdateProbe>("update download", true)};
    for (const Service &service : services) {
        for (const HttpFault fault : kHttpFaults) {
            const std::string name = std::string(service.name) + " / " + faultName(fault);
            World world;
            const auto probe = service.make(world);
            world.http.inject(fault, probe->faultedPath());
            probe->start();
            probe->owe(1);
            world.run(probe->period(), probe->loops());
            EXPECT_GT(world.http.faulted(), 0) << name;
            const QString line = probe->failureLine(fault);
            if (!line.isEmpty()) {
                EXPECT_TRUE(world.logged(line)) << name << ": no \"" << line.toStdString() << "\" in\n"
                                                << world.log.lines().join('\n').toStdString();
            }
            EXPECT_TRUE(probe->running()) << name;

            world.http.lift();
            probe->owe(2);
            world.run(2 * probe->period(), probe->loops());
            probe->settle();
            EXPECT_TRUE(probe->delivered()) << name << ": lost once the fault was lifted; log:\n"
                                            << world.log.lines().join('\n').toStdString();
        }
    }
}

TEST(FaultTable, EachServiceThroughEachDiskFaultLogsKeepsItsOldFileAndSavesOnceLifted)
{
    const Service services[] = {service<CommandProbe>("recent commands", true),
                                service<AlertProbe>("alert outbox"),
                                service<PolicyProbe>("policy cache"),
                                service<RetentionProbe>("retention list"),
                                service<SharesProbe>("shares list"),
                                service<KeychainProbe>("keychain file"),
                                service<SettingsProbe>("settings")};
    for (const Service &service : services) {
        for (const DiskFault fault : kDiskFaults) {
            const std::string name = std::string(service.name) + " / " + faultName(fault);
            World world;
            const auto probe = service.make(world);
            // The keychain store takes back a folder of its own user, as it should (its folder
            // must be 0700); only another user's folder holds it off.
            if (fault == DiskFault::NoAccess && probe->reclaimsItsFolder() && !FaultyFolder::foreignOwner())
                continue;
            // The alert outbox file holds only what the server has not taken yet.
            if (probe->keepsOnlyUndelivered())
                world.http.inject(HttpFault::Refused);
            probe->start();
            probe->owe(1);
            world.run(probe->period(), probe->loops());
            ASSERT_TRUE(QFile::exists(probe->file())) << name;
            const QByteArray before = contentOf(probe->file());

            world.storage.inject(fault);
            probe->owe(2);
            world.run(probe->period(), probe->loops());
            world.storage.lift();
            const QString line = probe->failureLine(fault);
            EXPECT_TRUE(world.logged(line)) << name << ": no \"" << line.toStdString() << "\" in\n"
                                            << world.log.lines().join('\n').toStdString();
            EXPECT_EQ(contentOf(probe->file()), before) << name << ": the file must keep its old content";
            EXPECT_TRUE(probe->running()) << name;

            world.http.lift();
            world.run(2 * probe->period(), probe->loops());
            probe->settle();
            EXPECT_TRUE(probe->delivered()) << name << ": lost once the fault was lifted; log:\n"
                                            << world.log.lines().join('\n').toStdString();
        }
    }
}

} // namespace
} // namespace vesk::test
