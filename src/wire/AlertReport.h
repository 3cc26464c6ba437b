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

    static std::optional<AlertReport> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AlertReport &) const = default;
};

} // namespace vesk
