#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// One app release the fleet server offers.
struct AvailableUpdate {
    QString bundleId;
    std::optional<QString> name;
    QString version;
    std::optional<QString> build;
    QString downloadUrl;
    // Hex SHA-256 of the download as the server published it.
    std::optional<QString> sha256;
    // Base64 Ed25519ph signature of the download by the fleet's release key.
    std::optional<QString> signature;
    std::optional<QString> releaseNotes;
    std::optional<QString> releasedAt; // as the server formats it
    std::optional<bool> critical;      // absent counts as not critical

    bool isCritical() const { return critical.value_or(false); }
    // The name, else the last dot-separated part of the bundle identifier.
    QString displayName() const;

    static std::optional<AvailableUpdate> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AvailableUpdate &) const = default;
};

} // namespace vesk
