#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

// One desktop notification, shown at once.
struct LocalNotification {
    // Names the notification; a later one with the same identifier replaces it on screen.
    QString identifier;
    QString title;
    QString body;
    QString categoryIdentifier;
    // Critical notifications use the urgent sound and stay until dismissed where the desktop allows.
    bool critical = false;
    // Notifications of one group replace each other on screen instead of stacking (a condition
    // that lasts is announced again with a fresh identifier); empty: the identifier alone.
    QString group;
};

// Whether the desktop lets the agent show notifications, as the notification centre reports it.
enum class NotificationAuthorization {
    notDetermined,
    denied,
    authorized,
    provisional,
    ephemeral,
    unknown,
};

// The desktop's notification centre. Posting never fails visibly: where no notification
// service answers, the notification is logged and dropped.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void post(const LocalNotification &notification) = 0;
    // Asks the notification centre; a centre that cannot tell answers unknown.
    virtual QCoro::Task<NotificationAuthorization> authorizationStatus()
    {
        co_return NotificationAuthorization::unknown;
    }
};

} // namespace vesk
