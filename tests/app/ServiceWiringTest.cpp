// Start-up wiring under the manual clock: launch, start/stop order and idempotence,
// the watchdog, the hourly credential pass and the heartbeat it feeds, the command poller
// and the push path to it.
#include "../commands/PollerRig.h"
#include "../policy/PolicyRig.h"
#include "LogCapture.h"
#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "ScriptedHttpTransport.h"
#include "app/AppDelegate.h"
#include "settings/FleetSettingsStore.h"
#include "app/VeskWardenApp.h"
#include "app/WardenHeartbeatManager.h"
#include "credentials/CredentialManager.h"
#include "pairing/PairingFlags.h"
#include "platform/MachineIdentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace vesk;

namespace {

const QString kHeartbeatPath = QStringLiteral("/api/heartbeat");

class FixedIdentity final : public MachineIdentity {
public:
    QString hardwareSerial() const override { return QStringLiteral("C02TEST123"); }
    QString hostName() const override { return QStringLiteral("kiosk-3"); }
};

class ServiceWiring : public ::testing::Test {
protected:
    ServiceWiring()
        : paths(PlatformPaths::underRoot(root.path())), settings(defaults, clock),
          credentials(defaults, clock, http, paths, QUrl(QStringLiteral("https://upload.invalid/upload/"))),
          manager(WardenHeartbeatManager::Dependencies{settings, credentials, pairingFlags, http, clock, identity,
                                                       QStringLiteral("http://fleet.test/api/heartbeat"),
                                                       QStringLiteral("2.4.1")}),
          app(settings, manager, clock)
    {
        http.allowRepeated("POST", kHeartbeatPath, HttpResult{HttpResponse{200, {}, "{}"}, {}});
    }
    ~ServiceWiring() override { app.shutdown(); }

    int beats() const
    {
        int n = 0;
        for (const auto &request : http.requests())
            n += request.url.path() == kHeartbeatPath ? 1 : 0;
        return n;
    }
    QJsonObject lastBeat() const { return QJsonDocument::fromJson(http.requests().back().body).object(); }

    void dropCredentialFile(const QString &fileName, const QString &account, const QString &location)
    {
        const QString dir = paths.sharedDir + QStringLiteral("/Lumora/events");
        QDir().mkpath(dir);
        QFile file(dir + QLatin1Char('/') + fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("<credentials><kr5_account>%1</kr5_account><kr5_location>%2</kr5_location>"
                                  "</credentials>")
                       .arg(account, location)
                       .toUtf8());
    }

    QTemporaryDir root;
    PlatformPaths paths;
    test::ManualClock clock;
    test::MemoryDefaultsStore defaults;
    test::ScriptedHttpTransport http;
    FixedIdentity identity;
    PairingFlags pairingFlags;
    FleetSettingsStore settings;
    CredentialManager credentials;
    WardenHeartbeatManager manager;
    VeskWardenApp app;
};

TEST_F(ServiceWiring, LaunchStartsServicesAfterASecondAndStartingTwiceStartsOnce)
{
    app.launch();
    EXPECT_FALSE(app.servicesStarted());
    EXPECT_EQ(beats(), 0);

    clock.advance(1s);
    ASSERT_TRUE(app.servicesStarted());
    EXPECT_EQ(beats(), 1) << "first beat at once";
    app.startServices();
    EXPECT_EQ(beats(), 1) << "a second start must not start a second heartbeat";

    clock.advance(900s);
    EXPECT_EQ(beats(), 2);
    clock.advance(1800s);
    EXPECT_EQ(beats(), 4);

    const QJsonObject body = lastBeat();
    EXPECT_EQ(body.value(QStringLiteral("serial")).toString(), QStringLiteral("C02TEST123"));
    EXPECT_EQ(body.value(QStringLiteral("app")).toString(), QStringLiteral("warden"));
    EXPECT_EQ(body.value(QStringLiteral("version")).toString(), QStringLiteral("2.4.1"));
    EXPECT_EQ(body.value(QStringLiteral("eventcode")).toString(), QString());
    EXPECT_EQ(body.value(QStringLiteral("state")).toObject(),
              (QJsonObject{{QStringLiteral("status"), QStringLiteral("active")}, {QStringLiteral("agentMode"), false}}));
}

TEST_F(ServiceWiring, HeartbeatStateCarriesTheAgentModeSwitch)
{
    defaults.setValue(QStringLiteral("agentMode"), true);
    app.startServices();
    EXPECT_EQ(lastBeat().value(QStringLiteral("state")).toObject(),
              (QJsonObject{{QStringLiteral("status"), QStringLiteral("active")}, {QStringLiteral("agentMode"), true}}));

    // Switched off: the beats after the next hourly credential pass say so.
    defaults.setValue(QStringLiteral("agentMode"), false);
    clock.advance(3600s + 900s);
    EXPECT_EQ(lastBeat().value(QStringLiteral("state")).toObject().value(QStringLiteral("agentMode")), false);
}

TEST_F(ServiceWiring, StopEndsEveryLoopAndIsIdempotent)
{
    app.startServices();
    app.stopServices();
    app.stopServices();
    EXPECT_FALSE(app.servicesStarted());
    EXPECT_EQ(clock.sleeperCount(), 0u) << "heartbeat and credential loops must be gone";
    clock.advance(3600s);
    EXPECT_EQ(beats(), 1);
}

TEST_F(ServiceWiring, WatchdogRestartsStoppedServicesOnlyWhenBothSwitchesAllow)
{
    struct Case {
        const char *name;
        QVariant autoStart;   // invalid: never written
        QVariant autoRestart;
        bool startedAtLaunch;
        bool restartedByWatchdog;
    };
    const Case cases[] = {
        {"defaults", {}, {}, true, true},
        {"auto-restart off", {}, false, true, false},
        {"auto-start off", false, {}, false, false},
        {"auto-restart explicitly on", true, true, true, true},
    };
    for (const Case &c : cases) {
        test::ManualClock caseClock;
        test::MemoryDefaultsStore caseDefaults;
        if (c.autoStart.isValid())
            caseDefaults.setValue(QStringLiteral("warden_autoStartServices"), c.autoStart);
        if (c.autoRestart.isValid())
            caseDefaults.setValue(QStringLiteral("warden_autoRestartServices"), c.autoRestart);
        FleetSettingsStore caseSettings(caseDefaults, caseClock);
        CredentialManager caseCredentials(caseDefaults, caseClock, http, paths, QUrl());
        WardenHeartbeatManager caseManager({caseSettings, caseCredentials, pairingFlags, http, caseClock, identity,
                                            QStringLiteral("http://fleet.test/api/heartbeat"), {}});
        VeskWardenApp caseApp(caseSettings, caseManager, caseClock);

        caseApp.launch();
        caseClock.advance(1s);
        EXPECT_EQ(caseApp.servicesStarted(), c.startedAtLaunch) << c.name;
        caseApp.stopServices();
        caseClock.advance(58s);
        EXPECT_FALSE(caseApp.servicesStarted()) << c.name << ": the watchdog looks once a minute from launch";
        caseClock.advance(1s);
        EXPECT_EQ(caseApp.servicesStarted(), c.restartedByWatchdog) << c.name;
        caseApp.shutdown();
        EXPECT_EQ(caseClock.sleeperCount(), 0u) << c.name;
    }
}

TEST_F(ServiceWiring, CurrentCredentialSetGivesTenantAndEventCode)
{
    dropCredentialFile(QStringLiteral("credentials_Spring_Gala.xml"), QStringLiteral("PHOT-1234"),
                       QStringLiteral("EVT-77"));
    app.startServices();
    EXPECT_EQ(settings.tenantCode(), QStringLiteral("PHOT-1234"));
    EXPECT_EQ(lastBeat().value(QStringLiteral("eventcode")).toString(), QStringLiteral("EVT-77"));
}

TEST_F(ServiceWiring, TenantChangeClearsPairingFlagsOnce)
{
    const PairingFlags::Snapshot raised{true, true, true, true};
    settings.setTenantCode(QStringLiteral("OLDACCT1"));
    dropCredentialFile(QStringLiteral("credentials_Main.txt"), QStringLiteral("NEWACCT2"), QStringLiteral("LOC-1"));
    pairingFlags.set(raised);

    manager.runCredentialPass();
    EXPECT_EQ(pairingFlags.snapshot(), PairingFlags::Snapshot{});
    EXPECT_EQ(settings.tenantCode(), QStringLiteral("NEWACCT2"));

    pairingFlags.set(raised);
    manager.runCredentialPass();
    EXPECT_EQ(pairingFlags.snapshot(), raised) << "same tenant again: flags stay as they are";
}

TEST_F(ServiceWiring, FirstTenantIsStoredWithoutClearingFlags)
{
    const PairingFlags::Snapshot raised{false, true, false, false};
    pairingFlags.set(raised);
    dropCredentialFile(QStringLiteral("credentials_Main.txt"), QStringLiteral("NEWACCT2"), QStringLiteral("LOC-1"));
    manager.runCredentialPass();
    EXPECT_EQ(settings.tenantCode(), QStringLiteral("NEWACCT2"));
    EXPECT_EQ(pairingFlags.snapshot(), raised);
}

TEST_F(ServiceWiring, HourlyCredentialPassPicksUpNewFiles)
{
    app.startServices();
    EXPECT_EQ(lastBeat().value(QStringLiteral("eventcode")).toString(), QString());
    dropCredentialFile(QStringLiteral("credentials_Late.xml"), QStringLiteral("LATEACC1"), QStringLiteral("EVT-9"));
    clock.advance(3599s);
    EXPECT_TRUE(settings.tenantCode().isEmpty()) << "no scan before the hour is up";
    clock.advance(1s);
    EXPECT_EQ(settings.tenantCode(), QStringLiteral("LATEACC1"));
    clock.advance(900s);
    EXPECT_EQ(lastBeat().value(QStringLiteral("eventcode")).toString(), QStringLiteral("EVT-9"));
}

TEST(PollerWiring, ServicesRunThePollerAndPushesReachItOnceStarted)
{
    test::PollerRig rig;
    test::ScriptedHttpTransport http;
    http.allowRepeated("POST", kHeartbeatPath, HttpResult{HttpResponse{200, {}, "{}"}, {}});
    QTemporaryDir root;
    FixedIdentity identity;
    PairingFlags flags;
    CredentialManager credentials(rig.defaults, rig.clock, http, PlatformPaths::underRoot(root.path()), QUrl());
    WardenHeartbeatManager manager({rig.settings, credentials, flags, http, rig.clock, identity,
                                    QStringLiteral("http://fleet.test/api/heartbeat"), {}});
    AppDelegate delegate;
    VeskWardenApp app(rig.settings, manager, rig.clock, VeskWardenServices{&rig.poller, nullptr, &delegate});
    const QJsonObject push{{QStringLiteral("type"), QStringLiteral("command_pending")}};

    delegate.didReceiveRemoteNotification(push);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.fleet.fetches, 0) << "nothing polls before the services start";

    app.startServices();
    EXPECT_EQ(rig.fleet.fetches, 1) << "the first poll is at once";
    EXPECT_EQ(rig.messages.restores, 1) << "a kept admin message goes back on screen";
    delegate.didReceiveRemoteNotification(push);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.fleet.fetches, 2) << "a push polls now";
    rig.clock.advance(30s);
    EXPECT_EQ(rig.fleet.fetches, 3);

    app.stopServices();
    EXPECT_EQ(rig.clock.sleeperCount(), 0u) << "poller, heartbeat and credential loops all end";
    rig.clock.advance(300s);
    EXPECT_EQ(rig.fleet.fetches, 3);
    app.startServices();
    EXPECT_EQ(rig.fleet.fetches, 4) << "a restart of the services polls again at once";
}

TEST(PolicyWiring, ServicesRunThePolicyLoopAndStopEndsIt)
{
    test::PolicyRig rig;
    rig.workspace.install(test::PolicyRig::kiosk);
    DevicePolicy policy;
    policy.keepAliveRules = {test::keepAlive({test::PolicyRig::kiosk})};
    rig.putInForce(policy);
    rig.http.allowRepeated("POST", kHeartbeatPath, HttpResult{HttpResponse{200, {}, "{}"}, {}});
    rig.http.allowRepeated("GET", "/api/device_policy", HttpResult{HttpResponse{200, {}, R"({"policy":null})"}, {}});
    const auto policyRequests = [&] {
        return std::count_if(rig.http.requests().begin(), rig.http.requests().end(),
                             [](const HttpRequest &r) { return r.url.path() == QLatin1String("/api/device_policy"); });
    };
    QTemporaryDir root;
    FixedIdentity identity;
    PairingFlags flags;
    CredentialManager credentials(rig.defaults, rig.clock, rig.http, PlatformPaths::underRoot(root.path()), QUrl());
    WardenHeartbeatManager manager({rig.settings, credentials, flags, rig.http, rig.clock, identity,
                                    QStringLiteral("http://fleet.test/api/heartbeat"), {}});
    VeskWardenApp app(rig.settings, manager, rig.clock, VeskWardenServices{nullptr, nullptr, nullptr, rig.engine.get()});

    app.startServices();
    EXPECT_TRUE(rig.workspace.isRunning(test::PolicyRig::kiosk)) << "the first pass runs at once";
    EXPECT_EQ(policyRequests(), 1);
    rig.clock.advance(300s);
    EXPECT_EQ(policyRequests(), 2) << "passes every 10 s, the policy asked for every 300 s";

    app.stopServices();
    EXPECT_EQ(rig.clock.sleeperCount(), 0u) << "the policy loop ends with the services";
    rig.clock.advance(60s);
    EXPECT_EQ(policyRequests(), 2);
    app.startServices();
    EXPECT_EQ(policyRequests(), 3) << "a restart of the services syncs again at once";
    app.stopServices();
}

} // namespace
