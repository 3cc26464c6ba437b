// The figures a sampling pass computes: machine and process CPU, uptime texts, rounding.
#include "monitor/CpuUsage.h"
#include "monitor/TelemetryPayload.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace vesk {
namespace {

const QDateTime kNow(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());

TEST(MachineCpuUsage, FollowsTickDeltas)
{
    struct Case {
        const char *name;
        std::optional<CpuTicks> previous;
        CpuTicks current;
        double want;
    };
    const Case cases[] = {
        {"first sample has nothing to compare with", std::nullopt, {100, 100, 100, 100}, 0},
        {"no tick moved", CpuTicks{10, 20, 30, 40}, {10, 20, 30, 40}, 0},
        {"busy over all four", CpuTicks{0, 0, 0, 0}, {30, 10, 50, 10}, 50},
        {"nice counts as busy", CpuTicks{0, 0, 0, 0}, {0, 0, 75, 25}, 25},
        {"all idle", CpuTicks{5, 5, 5, 5}, {5, 5, 105, 5}, 0},
        {"counters went backwards", CpuTicks{1000, 1000, 10, 0}, {10, 10, 500, 0}, 0},
        {"idle went backwards clamps at 100", CpuTicks{0, 0, 100, 0}, {60, 0, 80, 0}, 100},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(machineCpuUsage(c.previous, c.current), c.want) << c.name;
}

TEST(ProcessCpuPercent, StaysWithinZeroAndCoresTimesHundred)
{
    struct Case {
        const char *name;
        std::optional<ProcessSample> previous;
        double cpuSeconds;
        int cores;
        double want;
    };
    const QDateTime before = kNow.addSecs(-15);
    const Case cases[] = {
        {"first sample of a process", std::nullopt, 12, 4, 0},
        {"three seconds in fifteen", ProcessSample{10, before}, 13, 4, 20},
        {"all four cores flat out", ProcessSample{0, before}, 60, 4, 400},
        {"more than the cores can give", ProcessSample{0, before}, 600, 4, 400},
        {"cpu time went backwards (pid reused)", ProcessSample{50, before}, 1, 4, 0},
        {"no time passed", ProcessSample{0, kNow}, 5, 4, 0},
        {"clock went backwards", ProcessSample{0, kNow.addSecs(10)}, 5, 4, 0},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(processCpuPercent(c.previous, c.cpuSeconds, kNow, c.cores), c.want) << c.name;
}

TEST(AppUptimeText, ReadsAsDaysHoursOrMinutes)
{
    struct Case {
        std::optional<qint64> runningSeconds;
        QString want;
    };
    const Case cases[] = {
        {std::nullopt, QString()},
        {0, QStringLiteral("0m")},
        {59, QStringLiteral("0m")},
        {3599, QStringLiteral("59m")},
        {3600, QStringLiteral("1h 0m")},
        {5 * 3600 + 12 * 60 + 30, QStringLiteral("5h 12m")},
        {89999, QStringLiteral("24h 59m")},
        {90000, QStringLiteral("1d 1h")},
        {3 * 86400 + 4 * 3600 + 59 * 60, QStringLiteral("3d 4h")},
        {-120, QStringLiteral("0m")},
    };
    for (const Case &c : cases) {
        const auto launch = c.runningSeconds ? std::optional(kNow.addSecs(-*c.runningSeconds)) : std::nullopt;
        EXPECT_EQ(appUptimeText(launch, kNow), c.want) << (c.runningSeconds ? *c.runningSeconds : -1);
    }
}

TEST(RoundToHundredths, RoundsHalvesAwayFromZero)
{
    EXPECT_DOUBLE_EQ(roundToHundredths(93.456), 93.46);
    EXPECT_DOUBLE_EQ(roundToHundredths(12.344), 12.34);
    EXPECT_DOUBLE_EQ(roundToHundredths(0.125), 0.13);
    EXPECT_DOUBLE_EQ(roundToHundredths(-0.125), -0.13);
}

} // namespace
} // namespace vesk
