#include "LogCapture.h"
#include "PolicyRig.h"

#include "wire/KeyCaseConversion.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

DevicePolicy named(const QString &name, QStringList serials = {})
{
    DevicePolicy policy;
    policy.name = name;
    policy.assignedSerials = std::move(serials);
    RetentionRule rule;
    rule.folderPath = QStringLiteral("~/Pictures/") + name;
    policy.retentionRules = {rule};
    return policy;
}

QByteArray library(const QList<DevicePolicy> &policies)
{
    QJsonArray array;
    for (const DevicePolicy &policy : policies)
        array.append(policy.toJson());
    return QJsonDocument(array).toJson();
}

QByteArray wireBody(const DevicePolicy &policy)
{
    return QJsonDocument(QJsonObject{{"policy", KeyCase::toSnakeCase(policy.toJson())}}).toJson();
}

TEST(PolicyEngineLoad, LibraryThenCacheThenNothing)
{
    const QString serial = QStringLiteral("C02XK1ABCD");
    DevicePolicy badWindow = named("Bad", {serial});
    badWindow.keepAliveRules = {keepAlive({PolicyRig::kiosk}, {window(9, 75, 10, 0)})};
    struct Case {
        const char *name;
        std::optional<QByteArray> library;
        std::optional<QByteArray> cache;
        std::optional<QString> want;
    };
    const QList<Case> cases{
        {"first policy naming the serial, in file order",
         library({named("Other", {"X1"}), named("First", {serial}), named("Second", {serial})}),
         QJsonDocument(named("Cached").toJson()).toJson(), "First"},
        {"serial matching is exact", library({named("Lower", {serial.toLower()})}),
         QJsonDocument(named("Cached").toJson()).toJson(), "Cached"},
        {"corrupt library falls through to the cache", QByteArray("[{\"name\": 5}"),
         QJsonDocument(named("Cached").toJson()).toJson(), "Cached"},
        {"a library policy with minute 75 falls through to the cache", library({badWindow}),
         QJsonDocument(named("Cached").toJson()).toJson(), "Cached"},
        {"corrupt cache means no policy", std::nullopt, QByteArray("{\"name\": \"Cut off"), std::nullopt},
        {"a list where one policy belongs is no policy", std::nullopt, library({named("Listed")}), std::nullopt},
        {"no files at all", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case &c : cases) {
        PolicyRig rig;
        if (c.library)
            rig.writeFile("policies.json", *c.library);
        if (c.cache)
            rig.writeFile("policy_cache.json", *c.cache);
        rig.services.retention.clear();
        rig.engine->loadInitialPolicy();
        const auto &active = rig.engine->activePolicy();
        EXPECT_EQ(active ? std::optional<QString>(active->name) : std::nullopt, c.want) << c.name;
        ASSERT_FALSE(rig.services.retention.isEmpty()) << c.name;
        EXPECT_EQ(rig.services.retention.last(), active ? active->retentionRules : QList<RetentionRule>{}) << c.name;
        if (active && c.library && *c.want != "Cached") {
            const auto cached = DevicePolicy::fromJson(QJsonDocument::fromJson(rig.readFile("policy_cache.json")).object(),
                                                       nullptr);
            EXPECT_EQ(cached, active) << c.name << ": the library choice is cached";
        }
    }
}

TEST(PolicyEngineSync, AppliesCachesAndStampsOnlyWhenTheServerAnswered)
{
    PolicyRig rig;
    LogCapture log;
    const DevicePolicy frontDesk = named("Front desk");
    const QString stamp = QStringLiteral("lastPolicySyncTimestamp");

    rig.http.expectFailure("GET", "/api/device_policy", "Connection refused");
    rig.drive(rig.engine->syncPolicy());
    EXPECT_FALSE(rig.defaults.hasObject(stamp));
    EXPECT_EQ(rig.engine->lastSync(), std::nullopt);
    EXPECT_EQ(log.messages("policy").filter("Policy sync failed: ").size(), 1);

    rig.answerPolicy(wireBody(frontDesk));
    rig.drive(rig.engine->syncPolicy());
    ASSERT_EQ(rig.engine->activePolicy(), frontDesk);
    EXPECT_EQ(DevicePolicy::fromJson(QJsonDocument::fromJson(rig.readFile("policy_cache.json")).object(), nullptr),
              frontDesk);
    EXPECT_EQ(rig.services.retention.last(), frontDesk.retentionRules);
    EXPECT_TRUE(log.messages("policy").contains(
        "Policy sync: applied 'Front desk' (" + frontDesk.id.toString(QUuid::WithoutBraces) + ")"));
    EXPECT_EQ(rig.defaults.object(stamp).toDouble(), double(rig.clock.now().toSecsSinceEpoch()));

    rig.clock.advance(std::chrono::seconds(10));
    rig.answerPolicy(R"({"policy": null})");
    rig.drive(rig.engine->syncPolicy());
    EXPECT_EQ(rig.engine->activePolicy(), frontDesk) << "no policy assigned never clears the one in force";
    EXPECT_EQ(rig.engine->lastSync(), rig.clock.now());
    EXPECT_EQ(rig.defaults.object(stamp).toDouble(), double(rig.clock.now().toSecsSinceEpoch()));
    EXPECT_TRUE(log.messages("policy").contains("Policy sync: no policy assigned to this device"));
    EXPECT_TRUE(rig.engine->logMessages().isEmpty()) << "sync results stay out of the enforcement log";
}

TEST(PolicyEngineSync, AsksWithTheLastETagAndKeepsThePolicyOnNotModified)
{
    PolicyRig rig;
    LogCapture log;
    const DevicePolicy frontDesk = named("Front desk");
    const DevicePolicy backOffice = named("Back office");
    const auto sync = [&rig](int status, const QByteArray &body, const QByteArray &etag) {
        rig.http.expect("GET", QStringLiteral("/api/device_policy"), status, body, {{"ETag", etag}});
        rig.drive(rig.engine->syncPolicy());
        for (const auto &[name, value] : rig.http.requests().back().headers) {
            if (name == "If-None-Match")
                return value;
        }
        return QByteArray();
    };

    EXPECT_EQ(sync(200, wireBody(frontDesk), "\"v1\""), QByteArray()) << "nothing to match on the first sync";
    ASSERT_EQ(rig.engine->activePolicy(), frontDesk);
    const qsizetype applied = rig.services.retention.size();

    rig.clock.advance(std::chrono::seconds(10));
    rig.writeFile(QStringLiteral("policy_cache.json"), "left alone");
    EXPECT_EQ(sync(304, {}, "\"v1\""), "\"v1\"");
    EXPECT_EQ(rig.engine->activePolicy(), frontDesk);
    EXPECT_EQ(rig.engine->lastSync(), rig.clock.now()) << "a 304 is a sync that reached the server";
    EXPECT_EQ(rig.services.retention.size(), applied) << "an unchanged policy is not handed out again";
    EXPECT_EQ(rig.readFile(QStringLiteral("policy_cache.json")), "left alone");
    EXPECT_EQ(log.messages("policy").filter("applied").size(), 1);

    EXPECT_EQ(sync(200, wireBody(backOffice), "\"v2\""), "\"v1\"");
    EXPECT_EQ(rig.engine->activePolicy(), backOffice);
    EXPECT_EQ(sync(304, {}, "\"v2\""), "\"v2\"");
    EXPECT_EQ(rig.engine->activePolicy(), backOffice);

    rig.engine->loadInitialPolicy();
    EXPECT_EQ(sync(200, wireBody(backOffice), "\"v2\""), QByteArray()) << "a policy loaded locally asks afresh";
}

TEST(PolicyEngineSync, BadPoliciesLeaveThePolicyInForceWithOneLogLine)
{
    QJsonArray manyRules;
    for (int i = 0; i < 10000; ++i)
        manyRules.append(QJsonObject{{"bundle_id", QStringLiteral("com.lumora.app%1").arg(i)}});
    const QUuid id = QUuid::createUuid();
    const QString uuid = id.toString(QUuid::WithoutBraces);
    const auto window = [&](int minute) {
        return QJsonObject{{"id", uuid}, {"start_hour", 9}, {"start_minute", minute}, {"end_hour", 10}, {"end_minute", 0}};
    };
    const auto rule = [&](QJsonValue windows) {
        return QJsonObject{{"id", uuid}, {"name", "Desk"}, {"bundle_ids", QJsonArray{"a"}}, {"windows", windows}, {"days", 127}};
    };
    const auto body = [](QJsonObject policy) { return QJsonDocument(QJsonObject{{"policy", policy}}).toJson(); };
    struct Case {
        const char *name;
        QByteArray body;
    };
    const QList<Case> cases{
        {"keep-alive rule without windows", body({{"keep_alive_rules", QJsonArray{rule(QJsonValue())}}})},
        {"name of the wrong type", body({{"name", 5}})},
        {"days as text", body({{"restart_schedule", QJsonObject{{"enabled", true}, {"hour", 3}, {"minute", 0},
                                                                {"days", "weekdays"}}}})},
        {"window minute 75", body({{"keep_alive_rules", QJsonArray{rule(QJsonArray{window(75)})}}})},
        {"10,000 app restart rules", body({{"app_restart_rules", manyRules}})},
        {"a 50 MB body", body({{"name", QString(50 * 1024 * 1024, QLatin1Char('x'))}})},
        {"not JSON", "<html>502 Bad Gateway</html>"},
    };
    const DevicePolicy inForce = named("In force");
    for (const Case &c : cases) {
        PolicyRig rig;
        rig.putInForce(inForce);
        LogCapture log;
        rig.answerPolicy(c.body);
        rig.drive(rig.engine->syncPolicy());
        EXPECT_EQ(rig.engine->activePolicy(), inForce) << c.name;
        EXPECT_EQ(rig.engine->lastSync(), std::nullopt) << c.name;
        const QStringList lines = log.messages("policy");
        ASSERT_EQ(lines.size(), 1) << c.name << ": " << lines.join(" | ").left(400).toStdString();
        EXPECT_TRUE(lines.first().startsWith("Policy sync failed: ")) << c.name;
        EXPECT_LT(lines.first().size(), 2000) << c.name << ": the line stays readable";
    }
}

TEST(PolicyEngineLoop, EnforcesBeforeSyncingAndGoesOnAfterFailures)
{
    PolicyRig rig;
    rig.workspace.install(PolicyRig::kiosk);
    DevicePolicy local = named("Local");
    local.keepAliveRules = {keepAlive({PolicyRig::kiosk})};
    rig.putInForce(local);
    DevicePolicy server = named("Server");
    server.keepAliveRules = {keepAlive({PolicyRig::printer})};

    rig.answerPolicy("{\"policy\": {\"name\": 5}}");
    rig.answerPolicy("", 500);
    rig.answerPolicy(wireBody(server));
    rig.engine->start();
    // The first pass ran with the local policy before the first (bad) sync.
    EXPECT_TRUE(rig.workspace.isRunning(PolicyRig::kiosk));
    EXPECT_EQ(rig.engine->activePolicy(), local);
    EXPECT_EQ(rig.http.requests().size(), 1u);

    rig.clock.advance(std::chrono::seconds(290));
    EXPECT_EQ(rig.http.requests().size(), 1u) << "passes every 10 s ask for the policy every 300 s";
    rig.clock.advance(std::chrono::seconds(10));
    EXPECT_EQ(rig.http.requests().size(), 2u);
    rig.clock.advance(std::chrono::seconds(300));
    EXPECT_EQ(rig.engine->activePolicy(), server);

    rig.defaults.setValue("lowDataMode", true);
    rig.http.allowRepeated("GET", "/api/device_policy", HttpResult{HttpResponse{200, {}, wireBody(server)}, {}});
    // Passes at 610 s, then every 120 s; the next ask is due 1800 s after the one at 600 s.
    rig.clock.advance(std::chrono::seconds(1790));
    EXPECT_EQ(rig.http.requests().size(), 3u) << "every 1800 s in low-data mode";
    rig.clock.advance(std::chrono::seconds(20));
    EXPECT_EQ(rig.http.requests().size(), 4u);

    rig.engine->stop();
    EXPECT_EQ(rig.clock.sleeperCount(), 0u);
}

TEST(PolicyEngineLoop, PausedEnginesStillSyncButEnforceNothing)
{
    PolicyRig rig;
    rig.workspace.install(PolicyRig::kiosk);
    DevicePolicy server = named("Server");
    server.keepAliveRules = {keepAlive({PolicyRig::kiosk})};
    rig.engine->pauseEnforcement(std::nullopt);
    rig.answerPolicy(wireBody(server));
    rig.engine->start();
    EXPECT_EQ(rig.engine->activePolicy(), server);
    EXPECT_EQ(rig.engine->lastCheck(), std::nullopt);
    EXPECT_FALSE(rig.workspace.isRunning(PolicyRig::kiosk));
    EXPECT_FALSE(rig.readFile("policy_cache.json").isEmpty());

    rig.engine->resumeEnforcement();
    rig.clock.advance(std::chrono::seconds(10)); // a pass without a sync: the next is due at 300 s
    EXPECT_TRUE(rig.workspace.isRunning(PolicyRig::kiosk));
    rig.engine->stop();
}

TEST(PolicyEngineApps, KeepAliveLogsEveryOutcome)
{
    PolicyRig rig;
    const QString broken = QStringLiteral("com.lumora.Broken");
    const QString running = QStringLiteral("com.lumora.Running");
    rig.workspace.install(PolicyRig::kiosk);
    rig.workspace.failOpening(rig.workspace.install(broken), "damaged bundle");
    rig.workspace.install(running);
    rig.workspace.addRunning(running);
    DevicePolicy policy = named("Desk");
    policy.keepAliveRules = {
        keepAlive({"com.lumora.Missing", PolicyRig::kiosk, broken, running}),
        keepAlive({PolicyRig::printer}, {window(22, 0, 6, 0)}), // outside its window at 09:00
    };
    rig.putInForce(policy);
    rig.pass();
    EXPECT_EQ(rig.engine->logMessages(), (QStringList{"Could not find com.lumora.Missing",
                                                      "Launched com.lumora.Kiosk (rule: Front desk)",
                                                      "Failed to launch com.lumora.Broken: damaged bundle"}));
    EXPECT_EQ(rig.engine->lastCheck(), rig.clock.now());
    EXPECT_TRUE(rig.workspace.terminated().isEmpty());
}

TEST(PolicyEngineApps, RestartRulesRestartOnceAndSpaceIntervalRestarts)
{
    PolicyRig rig;
    rig.workspace.install(PolicyRig::kiosk);
    const qint32 pid = rig.workspace.addRunning(PolicyRig::kiosk);
    AppRestartRule rule;
    rule.bundleId = PolicyRig::kiosk;
    rule.intervalHours = 4;
    AppRestartRule notRunning = rule;
    notRunning.bundleId = PolicyRig::printer;
    DevicePolicy policy = named("Desk");
    policy.appRestartRules = {notRunning, rule};
    rig.putInForce(policy);
    // The monitor keeps reporting the old launch date, as a slow sampler would.
    rig.samples = {AppSnapshot{PolicyRig::kiosk, "Kiosk", pid, 0, 100, true, rig.clock.now().addSecs(-5 * 3600)},
                   AppSnapshot{PolicyRig::printer, "Print", 1, 0, 100, false, rig.clock.now()}};

    rig.pass();
    EXPECT_EQ(rig.engine->logMessages(), (QStringList{"Terminated com.lumora.Kiosk (running 5h (limit: 4h))",
                                                      "Relaunched com.lumora.Kiosk"}));
    EXPECT_EQ(rig.workspace.terminated(), QList<qint32>{pid});
    EXPECT_TRUE(rig.workspace.isRunning(PolicyRig::kiosk));

    rig.clock.advance(std::chrono::seconds(10));
    rig.pass();
    EXPECT_EQ(rig.engine->logMessages().size(), 2) << "no second interval restart within 120 s";
}

TEST(PolicyEngineApps, ARunningAppThatIsNoLongerInstalledIsNotRelaunched)
{
    PolicyRig rig;
    const qint32 pid = rig.workspace.addRunning(PolicyRig::kiosk);
    AppRestartRule rule;
    rule.bundleId = PolicyRig::kiosk;
    DevicePolicy policy = named("Desk");
    policy.appRestartRules = {rule};
    rig.putInForce(policy);
    rig.samples = {AppSnapshot{PolicyRig::kiosk, "Kiosk", pid, 0, 100, false, rig.clock.now()}};
    rig.pass();
    EXPECT_EQ(rig.engine->logMessages(), (QStringList{"Terminated com.lumora.Kiosk (not responding)",
                                                      "Could not relaunch com.lumora.Kiosk — app not found"}));
}

TEST(PolicyEngineLog, KeepsTheNewest101Entries)
{
    PolicyRig rig;
    for (int i = 1; i <= 102; ++i)
        rig.engine->appendLog(QString::number(i));
    const QStringList messages = rig.engine->logMessages();
    ASSERT_EQ(messages.size(), 101);
    EXPECT_EQ(messages.first(), "2");
    EXPECT_EQ(messages.last(), "102");
}

} // namespace
} // namespace vesk::test
