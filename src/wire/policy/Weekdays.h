#pragma once

#include <QDate>
#include <QList>

#include <ostream>

namespace vesk {

// A set of days as a bit mask: bit (calendar weekday − 1), where the calendar weekday
// runs 1 = Sunday … 7 = Saturday. 127 is every day. Stored and sent as the integer.
class Weekdays {
public:
    enum Day : int {
        sunday = 1,
        monday = 2,
        tuesday = 4,
        wednesday = 8,
        thursday = 16,
        friday = 32,
        saturday = 64,
    };

    constexpr Weekdays() = default;
    constexpr explicit Weekdays(int rawValue) : m_raw(rawValue) {}
    Weekdays(std::initializer_list<Day> days);
    explicit Weekdays(const QList<Day> &days);

    static constexpr Weekdays everyDay() { return Weekdays(127); }
    // 1 = Sunday … 7 = Saturday, from a date.
    static int calendarWeekday(const QDate &date);

    constexpr int rawValue() const { return m_raw; }
    bool isEmpty() const { return m_raw == 0; }
    bool contains(Day day) const { return (m_raw & day) == day; }
    // False for a weekday outside 1…7.
    bool containsCalendarWeekday(int weekday) const;
    bool containsDate(const QDate &date) const { return containsCalendarWeekday(calendarWeekday(date)); }

    void insert(Day day) { m_raw |= day; }
    void remove(Day day) { m_raw &= ~int(day); }
    Weekdays united(Weekdays other) const { return Weekdays(m_raw | other.m_raw); }
    Weekdays intersected(Weekdays other) const { return Weekdays(m_raw & other.m_raw); }

    friend bool operator==(Weekdays, Weekdays) = default;

private:
    int m_raw = 0;
};

inline std::ostream &operator<<(std::ostream &out, Weekdays days)
{
    return out << "Weekdays(" << days.rawValue() << ")";
}

} // namespace vesk
