#include "wire/policy/AppUpdatesResponse.h"
#include "wire/policy/DevicePolicy.h"
#include "wire/policy/DevicePolicyResponse.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace vesk;

namespace {

QJsonObject parse(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

std::optional<DevicePolicy> decodePolicy(const QByteArray &json, QString *error = nullptr)
{
    return DevicePolicy::fromJson(parse(json), error);
}

} // namespace

TEST(PolicyRecords, AnEmptyObjectIsTheDefaultPolicy)
{
    const std::optional<DevicePolicy> a = decodePolicy("{}");
    const std::optional<DevicePolicy> b = decodePolicy("{}");
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->id, b->id) << "each gets a fresh id";
    EXPECT_FALSE(a->id.isNull());
    EXPECT_EQ(a->name, "New Policy");
    EXPECT_EQ(a->restartSchedule, (RestartSchedule{false, 1, 0, Weekdays(127)}));
    EXPECT_TRUE(a->keepAliveRules.isEmpty() && a->appRestartRules.isEmpty());
    EXPECT_TRUE(a->retentionRules.isEmpty() && a->monitoredShares.isEmpty() && a->assignedSerials.isEmpty());
    EXPECT_EQ(a->updatePolicy, (UpdatePolicy{UpdatePolicy::Mode::adminApproved, 1, 5, Weekdays(127), {}}));
}

TEST(PolicyRecords, ARestartRuleWithOnlyABundleIdTakesEveryDefault)
{
    const auto policy = decodePolicy(R"({"appRestartRules":[{"bundleId":"com.lumora.print"}]})");
    ASSERT_TRUE(policy);
    const AppRestartRule &rule = policy->appRestartRules.at(0);
    EXPECT_EQ(rule.bundleId, "com.lumora.print");
    EXPECT_EQ(rule.trigger, AppRestartRule::Trigger::interval);
    EXPECT_EQ(rule.intervalHours, 4);
    EXPECT_TRUE(rule.restartIfHung);
    EXPECT_EQ(rule.maxMemoryMB, std::nullopt);
    EXPECT_EQ(rule.days, Weekdays::everyDay());
    EXPECT_TRUE(rule.scheduledTimes.isEmpty());
}

TEST(PolicyRecords, MalformedMembersFailThePolicyExceptThePinMap)
{
    struct Case {
        const char *name;
        QByteArray json;
        bool decodes;
    } cases[] = {
        {"keep-alive rule without windows",
         R"({"keepAliveRules":[{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"K","bundleIds":[],"days":127}]})",
         false},
        {"name of the wrong type", R"({"name":5})", false},
        {"unknown trigger", R"({"appRestartRules":[{"trigger":"weekly"}]})", false},
        {"unknown update mode", R"({"updatePolicy":{"mode":"sometimes"}})", false},
        {"restart schedule missing a key", R"({"restartSchedule":{"enabled":true,"hour":2,"minute":0}})", false},
        {"share without an address",
         R"({"monitoredShares":[{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"N","enabled":true,"autoRemount":true}]})",
         false},
        {"pins as a number", R"({"name":"P","updatePolicy":{"mode":"automatic","pinnedVersions":5}})", true},
        {"pins with a non-text version", R"({"updatePolicy":{"pinnedVersions":{"com.lumora.print":2}}})", true},
        {"null members take their defaults", R"({"name":null,"keepAliveRules":null,"updatePolicy":null})", true},
    };
    for (const Case &c : cases) {
        QString error;
        const auto policy = decodePolicy(c.json, &error);
        EXPECT_EQ(policy.has_value(), c.decodes) << c.name << ": " << error.toStdString();
        if (policy) {
            EXPECT_TRUE(policy->updatePolicy.pinnedVersions.isEmpty()) << c.name;
        }
    }
    const auto pinsForgiven = decodePolicy(R"({"name":"P","updatePolicy":{"mode":"automatic","pinnedVersions":5}})");
    EXPECT_EQ(pinsForgiven->name, "P");
    EXPECT_EQ(pinsForgiven->updatePolicy.mode, UpdatePolicy::Mode::automatic);
}

TEST(PolicyRecords, WeekdaysFollowTheCalendarWeekday)
{
    const Weekdays weekend(65);
    EXPECT_EQ(weekend, (Weekdays{Weekdays::sunday, Weekdays::saturday}));
    EXPECT_TRUE(weekend.containsCalendarWeekday(1));
    EXPECT_TRUE(weekend.containsCalendarWeekday(7));
    for (int weekday = 2; weekday <= 6; ++weekday)
        EXPECT_FALSE(weekend.containsCalendarWeekday(weekday)) << weekday;
    EXPECT_TRUE(weekend.containsDate(QDate(2026, 3, 1))) << "a Sunday";
    EXPECT_FALSE(weekend.containsDate(QDate(2026, 3, 2))) << "a Monday";
    EXPECT_EQ(weekend.united(Weekdays{Weekdays::monday}).rawValue(), 67);
    EXPECT_TRUE(weekend.intersected(Weekdays{Weekdays::monday}).isEmpty());
    Weekdays days = Weekdays::everyDay();
    days.remove(Weekdays::wednesday);
    EXPECT_EQ(days.rawValue(), 119);
}

TEST(PolicyRecords, AFullPolicyRoundTripsThroughTheAgentsFiles)
{
    DevicePolicy policy;
    policy.name = "Front desk";
    policy.restartSchedule = {true, 3, 15, Weekdays{Weekdays::monday, Weekdays::friday}};
    KeepAliveRule keepAlive;
    keepAlive.bundleIds = {"com.lumora.kiosk"};
    keepAlive.windows = {TimeWindow{QUuid::createUuid(), 22, 0, 6, 30}};
    keepAlive.days = Weekdays(62);
    policy.keepAliveRules = {keepAlive};
    AppRestartRule restart;
    restart.bundleId = "com.lumora.print";
    restart.trigger = AppRestartRule::Trigger::scheduled;
    restart.scheduledTimes = {RestartTime{QUuid::createUuid(), 4, 45}};
    restart.restartIfHung = false;
    restart.maxMemoryMB = 2048;
    policy.appRestartRules = {restart};
    policy.updatePolicy = {UpdatePolicy::Mode::localAllowed, 22, 2, Weekdays(1), {{"com.lumora.print", "2.1.0"}}};
    RetentionRule retention;
    retention.folderPath = "~/Pictures/Drop";
    retention.fileFilter = RetentionRule::FileFilter::media;
    retention.keepNewestCount = 10;
    policy.retentionRules = {retention};
    policy.monitoredShares = {MonitoredShare{QUuid::createUuid(), "Archive", "smb://nas/archive", "booth", true, false}};
    policy.assignedSerials = {"C02XK1ABCD"};

    const QJsonObject file = policy.toJson();
    EXPECT_TRUE(file.contains("keepAliveRules")) << "the agent's files keep camelCase keys";
    EXPECT_EQ(file.value("appRestartRules").toArray().at(0).toObject().value("maxMemoryMB"), 2048);
    const auto decoded = DevicePolicy::fromJson(file, nullptr);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, policy);
}

TEST(PolicyRecords, ResponsesWithoutAPolicyAndReleasesWithoutADownloadUrl)
{
    for (const QByteArray &json : {QByteArray(R"({"policy":null})"), QByteArray("{}")}) {
        const auto response = DevicePolicyResponse::fromJson(parse(json), nullptr);
        ASSERT_TRUE(response) << json.constData();
        EXPECT_FALSE(response->policy) << json.constData();
    }
    const auto updates = AppUpdatesResponse::fromJson(
        parse(R"({"updates":[{"bundleId":"com.lumora.a","version":"1","downloadUrl":"https://d/a.zip"},
                             {"bundleId":"com.lumora.b","version":"2"}]})"),
        nullptr);
    EXPECT_FALSE(updates) << "one release without a download URL fails the whole list";

    const auto one = AvailableUpdate::fromJson(
        parse(R"({"bundleId":"com.lumora.PhotoBooth","version":"1","downloadUrl":"https://d/a.zip"})"), nullptr);
    ASSERT_TRUE(one);
    EXPECT_FALSE(one->isCritical());
    EXPECT_EQ(one->displayName(), "PhotoBooth");
    EXPECT_EQ(AvailableUpdate::fromJson(one->toJson(), nullptr), one);
}
