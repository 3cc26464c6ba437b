#include "alerts/AlertService.h"

#include "platform/LogCategories.h"
#include "platform/Notifier.h"
#include "settings/FleetSettingsStore.h"

#include <QJsonObject>

namespace vesk {

void AlertService::presentFleetAlert(const QJsonObject &payload)
{
    if (payload.value(QStringLiteral("type")).toString() != QLatin1String("alert"))
        return;
    const QString serial = payload.value(QStringLiteral("serial")).toString();
    const QString title = payload.value(QStringLiteral("title")).toString();
    // This machine announced its own alert locally already; a switched-off Agent Mode whose
    // registration the server has not seen yet hears nothing either.
    if (serial.isEmpty() || title.isEmpty() || serial == m_serial || !m_settings.agentMode())
        return;
    const QString severity = payload.value(QStringLiteral("severity")).toString();
    const QString category = payload.value(QStringLiteral("category")).toString();
    // The location rules apply as to local alerts; a category this agent does not know (the
    // test push) has no rule to consult.
    if (const std::optional<AlertCategory> known = AlertCategories::fromRawValue(category)) {
        WardenAlert probe;
        probe.category = *known;
        probe.serial = serial;
        if (!shouldNotify(probe))
            return;
    }
    qCInfo(lcAlerts).noquote() << "Fleet alert from" << serial + QLatin1Char(':') << title;
    // As for local alerts: a fresh identifier, grouped by machine and alert key so that the
    // same alert repeated replaces its notification and other machines' stay.
    m_notifier.post(LocalNotification{QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(), title,
                                      payload.value(QStringLiteral("message")).toString(),
                                      QStringLiteral("WARDEN_ALERT"), severity == QLatin1String("critical"),
                                      serial + QLatin1Char('/') + category + QLatin1Char('_') + severity});
}

} // namespace vesk
