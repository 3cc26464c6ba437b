#include "credentials/CurrentSet.h"

#include <gtest/gtest.h>

using namespace vesk;

namespace {

// Seasons are read on the venue's calendar; Auckland is 13 hours ahead of UTC in summer.
const QTimeZone auckland("Pacific/Auckland");

CredentialSchedule season(int startMonth, int startDay, int endMonth, int endDay, QString setName = {},
                          int priority = 0)
{
    CredentialSchedule s;
    s.id = QUuid::createUuid();
    s.credentialSetName = std::move(setName);
    s.startMonth = startMonth;
    s.startDay = startDay;
    s.endMonth = endMonth;
    s.endDay = endDay;
    s.priority = priority;
    return s;
}

QDateTime utc(int y, int m, int d, int h = 12)
{
    return QDateTime(QDate(y, m, d), QTime(h, 0), QTimeZone::utc());
}

CredentialSet set(const char *name)
{
    CredentialSet s;
    s.name = QString::fromUtf8(name);
    return s;
}

} // namespace

TEST(Season, ActiveOnTheVenueCalendar)
{
    ASSERT_TRUE(auckland.isValid());
    CredentialSchedule oneYear = season(12, 1, 1, 15);
    oneYear.recurring = false;
    oneYear.year = 2026;
    CredentialSchedule yearZero = oneYear;
    yearZero.year = 0;
    CredentialSchedule yearUnset = oneYear;
    yearUnset.year = std::nullopt;
    CredentialSchedule recurringWithYear = season(12, 1, 1, 15);
    recurringWithYear.year = 2020;

    struct Case {
        const char *name;
        CredentialSchedule schedule;
        QDateTime at;
        bool active;
    };
    const Case cases[] = {
        {"wraps: 31 Dec", season(12, 1, 1, 15), utc(2025, 12, 30, 12), true},
        {"wraps: 10 Jan", season(12, 1, 1, 15), utc(2026, 1, 10), true},
        {"wraps: end day inclusive", season(12, 1, 1, 15), utc(2026, 1, 14, 12), true},
        {"wraps: 16 Jan", season(12, 1, 1, 15), utc(2026, 1, 15, 12), false},
        {"wraps: start day inclusive", season(12, 1, 1, 15), utc(2025, 11, 30, 12), true},
        {"wraps: still 30 Nov in Auckland", season(12, 1, 1, 15), utc(2025, 11, 30, 10), false},
        {"wraps: midsummer", season(12, 1, 1, 15), utc(2026, 7, 1), false},
        {"plain: inside", season(3, 1, 4, 30), utc(2026, 4, 30, 10), true},
        {"plain: next day in Auckland", season(3, 1, 4, 30), utc(2026, 4, 30, 13), false},
        {"single day", season(7, 4, 7, 4), utc(2026, 7, 4, 1), true},
        {"one year: that year", oneYear, utc(2026, 12, 24), true},
        {"one year: other year", oneYear, utc(2027, 1, 5), false},
        {"year 0 recurs", yearZero, utc(2031, 1, 5), true},
        {"no year recurs", yearUnset, utc(2031, 1, 5), true},
        {"recurring ignores year", recurringWithYear, utc(2031, 12, 5), true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.schedule.isActive(c.at, auckland), c.active) << c.name;
}

TEST(CurrentSet, HighestPriorityActiveSeasonNamingASetWins)
{
    const QList<CredentialSet> sets = {set("Default"), set("Haunts"), set("Holidays")};
    const QDateTime midDecember = utc(2026, 12, 15);
    struct Case {
        const char *name;
        QList<CredentialSet> sets;
        QList<CredentialSchedule> schedules;
        std::optional<QString> want;
    };
    const Case cases[] = {
        {"no sets", {}, {season(1, 1, 12, 31, "Haunts", 1)}, std::nullopt},
        {"no seasons: first set", sets, {}, QStringLiteral("Default")},
        {"priority 5 beats 2",
         sets,
         {season(12, 1, 1, 15, "Haunts", 2), season(12, 10, 12, 20, "Holidays", 5)},
         QStringLiteral("Holidays")},
        {"inactive season ignored",
         sets,
         {season(12, 1, 1, 15, "Haunts", 2), season(6, 1, 6, 30, "Holidays", 9)},
         QStringLiteral("Haunts")},
        {"season naming a missing set falls through",
         sets,
         {season(12, 1, 12, 31, "Gone", 9), season(12, 1, 12, 31, "Haunts", 1)},
         QStringLiteral("Haunts")},
        {"only missing sets: first set", sets, {season(12, 1, 12, 31, "Gone", 9)}, QStringLiteral("Default")},
        {"equal priority: earlier season",
         sets,
         {season(12, 1, 12, 31, "Holidays", 3), season(12, 1, 12, 31, "Haunts", 3)},
         QStringLiteral("Holidays")},
    };
    for (const Case &c : cases) {
        const auto current = currentSetAt(c.sets, c.schedules, midDecember, auckland);
        EXPECT_EQ(current ? std::optional<QString>(current->name) : std::nullopt, c.want) << c.name;
    }
}
