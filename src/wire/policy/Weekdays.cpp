#include "wire/policy/Weekdays.h"

namespace vesk {

Weekdays::Weekdays(std::initializer_list<Day> days)
{
    for (Day day : days)
        insert(day);
}

Weekdays::Weekdays(const QList<Day> &days)
{
    for (Day day : days)
        insert(day);
}

int Weekdays::calendarWeekday(const QDate &date)
{
    // Qt counts Monday = 1 … Sunday = 7.
    return date.dayOfWeek() % 7 + 1;
}

bool Weekdays::containsCalendarWeekday(int weekday) const
{
    if (weekday < 1 || weekday > 7)
        return false;
    return (m_raw >> (weekday - 1)) & 1;
}

} // namespace vesk
