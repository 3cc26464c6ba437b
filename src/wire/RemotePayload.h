#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// A settings payload stored on the fleet server: an archive deployed into a folder.
struct RemotePayload {
    qint64 id = 0;
    QString tenantCode; // tenant code
    QString name;
    std::optional<QString> notes;
    QString filename;
    QString sha256; // hex digest of the archive
    QString targetPath; // folder the payload is deployed into
    QStringList relaunchBundleIds;
    qint64 sizeBytes = 0;
    std::optional<QString> createdBy;
    std::optional<QString> createdAt;

    static std::optional<RemotePayload> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const RemotePayload &) const = default;
};

struct PayloadResponse {
    RemotePayload payload;

    static std::optional<PayloadResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const PayloadResponse &) const = default;
};

struct PayloadListResponse {
    QList<RemotePayload> payloads;

    static std::optional<PayloadListResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const PayloadListResponse &) const = default;
};

} // namespace vesk
