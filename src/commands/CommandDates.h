#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace vesk {

// The date texts of remote commands.
namespace CommandDates {

// An internet date-time as fleet commands carry it: "2026-03-02T09:05:00Z" or with a
// "+01:00" offset, whole seconds, nothing more and nothing less. None otherwise.
std::optional<QDateTime> parseInternetDateTime(const QString &text);

// A date as a person reads it in a result: abbreviated date and short time in `zone`,
// "Mar 2, 2026 at 9:05 AM" in English.
QString formatForPeople(const QDateTime &date, const QTimeZone &zone, const QLocale &locale);

} // namespace CommandDates
} // namespace vesk
