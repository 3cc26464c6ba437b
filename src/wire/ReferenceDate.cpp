#include "wire/ReferenceDate.h"

#include <QTimeZone>

#include <cmath>

namespace vesk::ReferenceDate {

namespace {
// Far beyond any date the agent meets, and far inside what qint64 milliseconds hold.
constexpr double maxMagnitudeSeconds = 1.0e11;
} // namespace

double secondsFrom(const QDateTime &date)
{
    const qint64 msecs = date.toMSecsSinceEpoch() - offsetFromUnixEpoch * 1000;
    return static_cast<double>(msecs) / 1000.0;
}

std::optional<QDateTime> dateFrom(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > maxMagnitudeSeconds)
        return std::nullopt;
    const qint64 msecs = std::llround(seconds * 1000.0) + offsetFromUnixEpoch * 1000;
    return QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc());
}

} // namespace vesk::ReferenceDate
