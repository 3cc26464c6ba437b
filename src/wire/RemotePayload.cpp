#include "wire/RemotePayload.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<RemotePayload> RemotePayload::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("RemotePayload"));
    RemotePayload r;
    r.id = in.requiredInteger(QStringLiteral("id"));
    r.tenantCode = in.requiredString(QStringLiteral("photographer"));
    r.name = in.requiredString(QStringLiteral("name"));
    r.notes = in.optionalString(QStringLiteral("notes"));
    r.filename = in.requiredString(QStringLiteral("filename"));
    r.sha256 = in.requiredString(QStringLiteral("sha256"));
    r.targetPath = in.requiredString(QStringLiteral("target_path"));
    r.relaunchBundleIds = in.requiredStringList(QStringLiteral("relaunch_bundle_ids"));
    r.sizeBytes = in.requiredInteger(QStringLiteral("size_bytes"));
    r.createdBy = in.optionalString(QStringLiteral("created_by"));
    r.createdAt = in.optionalString(QStringLiteral("created_at"));
    return in.finish(std::move(r), error);
}

QJsonObject RemotePayload::toJson() const
{
    return JsonWriter()
        .putInteger(QStringLiteral("id"), id)
        .putString(QStringLiteral("photographer"), tenantCode)
        .putString(QStringLiteral("name"), name)
        .putString(QStringLiteral("notes"), notes)
        .putString(QStringLiteral("filename"), filename)
        .putString(QStringLiteral("sha256"), sha256)
        .putString(QStringLiteral("target_path"), targetPath)
        .putStringList(QStringLiteral("relaunch_bundle_ids"), relaunchBundleIds)
        .putInteger(QStringLiteral("size_bytes"), sizeBytes)
        .putString(QStringLiteral("created_by"), createdBy)
        .putString(QStringLiteral("created_at"), createdAt)
        .object();
}

std::optional<PayloadResponse> PayloadResponse::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("PayloadResponse"));
    PayloadResponse record;
    record.payload = in.requiredRecord<RemotePayload>(QStringLiteral("payload"));
    return in.finish(std::move(record), error);
}

QJsonObject PayloadResponse::toJson() const
{
    return JsonWriter().putRecord(QStringLiteral("payload"), payload).object();
}

std::optional<PayloadListResponse> PayloadListResponse::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("PayloadListResponse"));
    PayloadListResponse record;
    record.payloads = in.requiredList<RemotePayload>(QStringLiteral("payloads"));
    return in.finish(std::move(record), error);
}

QJsonObject PayloadListResponse::toJson() const
{
    return JsonWriter().putList(QStringLiteral("payloads"), payloads).object();
}

} // namespace vesk
