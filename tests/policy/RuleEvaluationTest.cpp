#include "PolicyRig.h"

#include "policy/AppRestartDecision.h"
#include "policy/KeepAliveSchedule.h"
#include "policy/PauseDurations.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// 2026-03-02 is a Monday (calendar weekday 2).
constexpr int monday = 2;

TEST(KeepAliveSchedule, WindowsDaysAndMidnight)
{
    struct Case {
        const char *name;
        KeepAliveRule rule;
        int hour;
        int minute;
        int weekday;
        bool want;
    };
    const QList<TimeWindow> night{window(22, 0, 6, 0)};
    const QList<Case> cases{
        {"over midnight, late evening", keepAlive({}, night), 23, 30, monday, true},
        {"over midnight, last minute", keepAlive({}, night), 5, 59, monday, true},
        {"over midnight, end is exclusive", keepAlive({}, night), 6, 0, monday, false},
        {"over midnight, before start", keepAlive({}, night), 21, 59, monday, false},
        {"day window, start is inclusive", keepAlive({}, {window(9, 0, 17, 0)}), 9, 0, monday, true},
        {"day window, end is exclusive", keepAlive({}, {window(9, 0, 17, 0)}), 17, 0, monday, false},
        {"end equal to start never matches", keepAlive({}, {window(9, 0, 9, 0)}), 9, 0, monday, false},
        {"second window matches", keepAlive({}, {window(8, 0, 9, 0), window(12, 0, 13, 30)}), 13, 29, monday, true},
        {"no windows means all day", keepAlive({}), 3, 17, monday, true},
        {"day excluded, inside the window", keepAlive({}, {}, Weekdays{Weekdays::sunday, Weekdays::saturday}), 12, 0,
         monday, false},
        {"day included", keepAlive({}, {}, Weekdays(65)), 12, 0, 7, true},
        {"no days at all", keepAlive({}, {}, Weekdays(0)), 12, 0, monday, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KeepAliveSchedule::applies(c.rule, c.hour, c.minute, c.weekday), c.want) << c.name;
}

AppRestartRule intervalRule(int hours = 4)
{
    AppRestartRule rule;
    rule.bundleId = PolicyRig::kiosk;
    rule.intervalHours = hours;
    return rule;
}

AppRestartRule scheduledRule(QList<QPair<int, int>> times, Weekdays days = Weekdays::everyDay())
{
    AppRestartRule rule;
    rule.bundleId = PolicyRig::kiosk;
    rule.trigger = AppRestartRule::Trigger::scheduled;
    rule.days = days;
    for (const auto &[hour, minute] : times) {
        RestartTime time;
        time.hour = hour;
        time.minute = minute;
        rule.scheduledTimes.append(time);
    }
    return rule;
}

TEST(AppRestartDecision, TriggersPrecedenceAndSpacing)
{
    const QTimeZone zone = QTimeZone::utc();
    const QDateTime now(QDate(2026, 3, 2), QTime(16, 0), zone);
    const auto sample = [&](qint64 secondsRunning, bool responding = true, double memoryMB = 100) {
        return AppSnapshot{PolicyRig::kiosk, "Kiosk", 1000, 0, memoryMB, responding, now.addSecs(-secondsRunning)};
    };
    const auto secondsAgo = [&](qint64 s) { return std::optional<QDateTime>(now.addSecs(-s)); };
    AppRestartRule withMemory = intervalRule(8);
    withMemory.maxMemoryMB = 512;
    AppRestartRule notHung = intervalRule(8);
    notHung.restartIfHung = false;
    const AppRestartRule twiceDaily = scheduledRule({{3, 0}, {15, 0}});

    struct Case {
        const char *name;
        AppRestartRule rule;
        std::optional<AppSnapshot> sample;
        std::optional<QDateTime> lastRestart;
        std::optional<QString> want;
        QDateTime at;
    };
    const QList<Case> cases{
        {"interval reached exactly", intervalRule(), sample(4 * 3600), {}, "running 4h (limit: 4h)", now},
        {"interval not yet reached", intervalRule(), sample(4 * 3600 - 60), {}, std::nullopt, now},
        {"uptime hours are truncated", intervalRule(), sample(7 * 3600 + 3599), {}, "running 7h (limit: 4h)", now},
        {"interval within 120 s of the last restart", intervalRule(), sample(5 * 3600), secondsAgo(120), std::nullopt,
         now},
        {"interval 121 s after the last restart", intervalRule(), sample(5 * 3600), secondsAgo(121),
         "running 5h (limit: 4h)", now},
        {"no sample, no uptime", intervalRule(), std::nullopt, {}, std::nullopt, now},
        {"hung", intervalRule(8), sample(60, false), {}, "not responding", now},
        {"hung ignores the spacing", intervalRule(8), sample(60, false), secondsAgo(5), "not responding", now},
        {"hung but the rule does not care", notHung, sample(60, false), {}, std::nullopt, now},
        {"memory over the limit, truncated", withMemory, sample(60, true, 600.9), {}, "memory 600MB exceeds 512MB limit",
         now},
        {"memory at the limit is not over it", withMemory, sample(60, true, 512.0), {}, std::nullopt, now},
        {"memory wins over hung", withMemory, sample(60, false, 700), {}, "memory 700MB exceeds 512MB limit", now},
        {"hung reason stays when the interval fires", intervalRule(), sample(9 * 3600, false), {}, "not responding",
         now},
        {"scheduled, names the latest time", twiceDaily, sample(86400), {}, "scheduled restart (15:00)", now},
        {"scheduled, already restarted for that moment", twiceDaily, sample(86400), secondsAgo(0), std::nullopt,
         now.addSecs(10)},
        {"scheduled, launched after that moment", twiceDaily, sample(1800), {}, std::nullopt, now},
        {"scheduled, without a sample still restarts", twiceDaily, std::nullopt, {}, "scheduled restart (15:00)", now},
        {"scheduled, hung reason stays", twiceDaily, sample(86400, false), {}, "not responding", now},
        {"scheduled, only yesterday's weekday", scheduledRule({{15, 0}}, Weekdays{Weekdays::sunday}), sample(5 * 86400),
         {}, "scheduled restart (15:00)", now},
        {"scheduled, today's weekday only and a later time: a week ago is outside the search",
         scheduledRule({{17, 0}}, Weekdays{Weekdays::monday}), sample(30 * 86400), {}, std::nullopt, now},
        {"scheduled, no days", scheduledRule({{3, 0}}, Weekdays(0)), sample(30 * 86400), {}, std::nullopt, now},
    };
    for (const Case &c : cases) {
        const AppRestartDecision::Situation situation{c.at, zone, c.sample, c.lastRestart,
                                                      QLocale(QLocale::English, QLocale::UnitedKingdom)};
        EXPECT_EQ(AppRestartDecision::restartReason(c.rule, situation), c.want) << c.name;
    }
}

TEST(AppRestartDecision, ScheduledMomentsAreLocalTime)
{
    const QTimeZone berlin("Europe/Berlin");
    // 14:30 UTC is 15:30 in Berlin: today's 15:00 has passed there, not in UTC.
    const QDateTime now(QDate(2026, 3, 2), QTime(14, 30), QTimeZone::utc());
    const auto latest = AppRestartDecision::mostRecentScheduledTime(scheduledRule({{15, 0}}), now, berlin);
    ASSERT_TRUE(latest.has_value());
    EXPECT_EQ(latest->toUTC(), QDateTime(QDate(2026, 3, 2), QTime(14, 0), QTimeZone::utc()));
    EXPECT_EQ(AppRestartDecision::mostRecentScheduledTime(intervalRule(), now, berlin), std::nullopt);
}

TEST(PauseDurations, ParsesTheSetting)
{
    struct Case {
        const char *text;
        QList<int> want;
    };
    const QList<Case> cases{
        {"5,15,30,60", {5, 15, 30, 60}},
        {" 10 , 20,,abc,-5,0,20, 1.5 ,45", {10, 20, 45}},
        {"99999", {5, 15, 30, 60}},
        {"", {5, 15, 30, 60}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PauseDurations::parse(QString::fromUtf8(c.text)), c.want) << c.text;
}

} // namespace
} // namespace vesk::test
