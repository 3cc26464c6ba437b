#pragma once

#include <QDateTime>

#include <optional>

namespace vesk {

// Dates in the files the agent keeps for itself are JSON numbers of seconds since
// 2001-01-01T00:00:00Z, the default date form of the platform's JSON coder.
namespace ReferenceDate {

// Seconds between the Unix epoch and 2001-01-01T00:00:00Z.
inline constexpr qint64 offsetFromUnixEpoch = 978307200;

double secondsFrom(const QDateTime &date);
// None for non-finite values and for values no calendar date can hold (beyond ±3000 years).
std::optional<QDateTime> dateFrom(double seconds);

} // namespace ReferenceDate
} // namespace vesk
