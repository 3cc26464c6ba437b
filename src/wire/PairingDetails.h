#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace vesk {

// What the fleet server holds for this machine: the current secret's id, the first
// characters of its code, and the tenant code the machine is registered to.
struct PairingDetails {
    qint64 secretId = 0;
    QString secretPreview;
    QString tenantCode;
    // The fleet's release-signing public key (base64), "release_key"; absent from servers
    // that sign nothing.
    std::optional<QString> releaseKey = std::nullopt;

    // Reads "fleet_secret_id" (a positive integer, as a number or as decimal digits),
    // "secret_preview" and "photographer". On failure `error` gets the operator message.
    static std::optional<PairingDetails> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;

    friend bool operator==(const PairingDetails &, const PairingDetails &) = default;
};

} // namespace vesk
