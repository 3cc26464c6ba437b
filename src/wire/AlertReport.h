#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// An alert a machine (or the console's test push) reports to its tenant.
struct AlertReport {
    QString serial;
    QString severity; // "info", "warning" or "critical"
    QString category;
    QString title;
    QString message;
    // When the alert happened; the server takes its own clock when absent.
    std::optional<QDateTime> timestamp;
    std::optional<QString> tenantCode;
    // Set on the report that tells a condition reported earlier has cleared.
    std::optional<bool> resolved;

    static std::optional<AlertReport> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AlertReport &) const = default;
};

} // namespace vesk
