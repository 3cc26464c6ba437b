#include "alerts/WardenAlert.h"

namespace vesk {

QString AlertSeverities::rawValue(AlertSeverity severity)
{
    switch (severity) {
    case AlertSeverity::info:
        return QStringLiteral("info");
    case AlertSeverity::warning:
        return QStringLiteral("warning");
    case AlertSeverity::critical:
        return QStringLiteral("critical");
    }
    return {};
}

QList<AlertCategory> AlertCategories::all()
{
    return {AlertCategory::disk,    AlertCategory::memory,  AlertCategory::cpu,
            AlertCategory::thermal, AlertCategory::appHung, AlertCategory::uptime,
            AlertCategory::battery, AlertCategory::offline, AlertCategory::network};
}

QString AlertCategories::rawValue(AlertCategory category)
{
    switch (category) {
    case AlertCategory::disk:
        return QStringLiteral("disk");
    case AlertCategory::memory:
        return QStringLiteral("memory");
    case AlertCategory::cpu:
        return QStringLiteral("cpu");
    case AlertCategory::thermal:
        return QStringLiteral("thermal");
    case AlertCategory::appHung:
        return QStringLiteral("app_hung");
    case AlertCategory::uptime:
        return QStringLiteral("uptime");
    case AlertCategory::battery:
        return QStringLiteral("battery");
    case AlertCategory::offline:
        return QStringLiteral("offline");
    case AlertCategory::network:
        return QStringLiteral("network");
    }
    return {};
}

std::optional<AlertCategory> AlertCategories::fromRawValue(const QString &raw)
{
    for (const AlertCategory category : all()) {
        if (rawValue(category) == raw)
            return category;
    }
    return std::nullopt;
}

QString WardenAlert::key() const
{
    return AlertCategories::rawValue(category) + QLatin1Char('_') + AlertSeverities::rawValue(severity);
}

WardenAlert WardenAlert::make(AlertSeverity severity, AlertCategory category, QString title, QString message,
                              QString serial, QDateTime timestamp)
{
    return WardenAlert{QUuid::createUuid(), std::move(timestamp), severity, category, std::move(title),
                       std::move(message), std::move(serial)};
}

} // namespace vesk
