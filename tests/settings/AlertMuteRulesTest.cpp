#include "settings/AlertSuppression.h"
#include "settings/LocationNotificationRule.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace vesk;

namespace {

const QDateTime start(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());

AlertSuppression suppression(SuppressionDuration duration)
{
    return {QStringLiteral("C02XK1ABCD"), duration, start};
}

LocationNotificationRule rule(std::optional<SuppressionDuration> muted, QStringList disabled = {})
{
    return {QStringLiteral("EVT-22"), QStringLiteral("Pier 9"), muted,
            muted ? std::optional<QDateTime>(start) : std::nullopt, std::move(disabled)};
}

} // namespace

TEST(AlertSuppression, ActiveUpToItsLengthAndWordedByTimeLeft)
{
    struct Case {
        const char *name;
        SuppressionDuration duration;
        qint64 ageSeconds;
        bool wantActive;
        QString wantText;
    };
    const std::vector<Case> cases = {
        {"one hour, 59:59 old", SuppressionDuration::oneHour, 3599, true, "< 1 min left"},
        {"one hour, exactly an hour old", SuppressionDuration::oneHour, 3600, true, "< 1 min left"},
        {"one hour, an hour and a second old", SuppressionDuration::oneHour, 3601, false, "Expired"},
        {"one hour, just begun", SuppressionDuration::oneHour, 0, true, "1h 0m left"},
        {"one hour, 90 s left", SuppressionDuration::oneHour, 3510, true, "1 min left"},
        {"24 hours, 2h 5m 30s left", SuppressionDuration::twentyFourHours, 86400 - 7530, true, "2h 5m left"},
        {"24 hours, 30 s left", SuppressionDuration::twentyFourHours, 86370, true, "< 1 min left"},
        {"24 hours, a day and a second old", SuppressionDuration::twentyFourHours, 86401, false, "Expired"},
        {"until recovery, a year old", SuppressionDuration::untilRecovery, 365 * 86400, true, "Until recovery"},
        {"indefinite, a year old", SuppressionDuration::indefinitely, 365 * 86400, true, "Muted indefinitely"},
    };
    for (const Case &tc : cases) {
        const QDateTime now = start.addSecs(tc.ageSeconds);
        const AlertSuppression s = suppression(tc.duration);
        EXPECT_EQ(s.isActive(now), tc.wantActive) << tc.name;
        EXPECT_EQ(s.statusText(now), tc.wantText) << tc.name;
    }
}

TEST(LocationNotificationRule, MutedUntilItsEndAndCategoriesBlockedOnlyWhereDisabled)
{
    struct Case {
        const char *name;
        LocationNotificationRule rule;
        qint64 secondsAfterStart;
        bool wantMuted;
        bool wantMemoryAllowed;
        bool wantDiskAllowed;
        QString wantText;
    };
    LocationNotificationRule durationWithoutStart = rule(SuppressionDuration::indefinitely);
    durationWithoutStart.mutedAt.reset();
    const std::vector<Case> cases = {
        {"disables disk only", rule(std::nullopt, {"disk"}), 0, false, true, false, ""},
        {"muted for an hour, half way", rule(SuppressionDuration::oneHour, {"disk"}), 1800, true, false, false, "30 min left"},
        {"muted for an hour, at its end", rule(SuppressionDuration::oneHour, {"disk"}), 3600, false, true, false, ""},
        {"muted for a day, after it", rule(SuppressionDuration::twentyFourHours), 86401, false, true, true, ""},
        {"muted until recovery", rule(SuppressionDuration::untilRecovery), 10 * 86400, true, false, false,
         "Muted until turned back on"},
        {"a duration without a start mutes nothing", durationWithoutStart, 0, false, true, true, ""},
    };
    for (const Case &tc : cases) {
        const QDateTime now = start.addSecs(tc.secondsAfterStart);
        EXPECT_EQ(tc.rule.isMuted(now), tc.wantMuted) << tc.name;
        EXPECT_EQ(tc.rule.allowsCategory(QStringLiteral("memory"), now), tc.wantMemoryAllowed) << tc.name;
        EXPECT_EQ(tc.rule.allowsCategory(QStringLiteral("disk"), now), tc.wantDiskAllowed) << tc.name;
        EXPECT_EQ(tc.rule.statusText(now), tc.wantText) << tc.name;
    }
}

TEST(AlertSuppression, UnknownDurationTextFailsToDecode)
{
    QString error;
    const QJsonObject json{{"serial", "S"}, {"duration", "2_hours"}, {"createdAt", 0}};
    EXPECT_FALSE(AlertSuppression::fromJson(json, &error));
    EXPECT_EQ(error, QStringLiteral("AlertSuppression.duration: unknown duration \"2_hours\""));
}
