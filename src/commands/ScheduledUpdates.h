#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace vesk {

class DefaultsStore;

// Updates scheduled by "schedule_update": one user default per app, "scheduledUpdate_" +
// bundle identifier, holding seconds since 1970 when the update is due.
class ScheduledUpdates {
public:
    static QString key(const QString &bundleId) { return QStringLiteral("scheduledUpdate_") + bundleId; }

    static void setDue(DefaultsStore &defaults, const QString &bundleId, const QDateTime &at);
    // True when a time is stored, is after 1970 and is not later than `now`.
    static bool isDue(const DefaultsStore &defaults, const QString &bundleId, const QDateTime &now);
    static void clear(DefaultsStore &defaults, const QString &bundleId);
};

} // namespace vesk
