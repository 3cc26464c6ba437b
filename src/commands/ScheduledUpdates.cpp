#include "commands/ScheduledUpdates.h"

#include "platform/DefaultsStore.h"

namespace vesk {

namespace {
double secondsSince1970(const QDateTime &date)
{
    return double(date.toMSecsSinceEpoch()) / 1000.0;
}
} // namespace

void ScheduledUpdates::setDue(DefaultsStore &defaults, const QString &bundleId, const QDateTime &at)
{
    defaults.setValue(key(bundleId), secondsSince1970(at));
}

bool ScheduledUpdates::isDue(const DefaultsStore &defaults, const QString &bundleId, const QDateTime &now)
{
    bool ok = false;
    const double due = defaults.object(key(bundleId)).toDouble(&ok);
    return ok && due > 0 && due <= secondsSince1970(now);
}

void ScheduledUpdates::clear(DefaultsStore &defaults, const QString &bundleId)
{
    defaults.remove(key(bundleId));
}

} // namespace vesk
