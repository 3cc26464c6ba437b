#include "wire/RemoteInstalledApp.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<RemoteInstalledApp> RemoteInstalledApp::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("RemoteInstalledApp"));
    RemoteInstalledApp r;
    r.bundleId = in.requiredString(QStringLiteral("bundle_id"));
    r.name = in.optionalString(QStringLiteral("name"));
    r.version = in.optionalString(QStringLiteral("version"));
    r.build = in.optionalString(QStringLiteral("build"));
    r.path = in.optionalString(QStringLiteral("path"));
    r.fileSizeMb = in.lenientDouble(QStringLiteral("file_size_mb"));
    r.isRunning = in.lenientBool(QStringLiteral("is_running"));
    r.isVeskApp = in.lenientBool(QStringLiteral("is_vesk_app"));
    r.lastOpened = in.optionalString(QStringLiteral("last_opened"));
    r.reportedAt = in.optionalString(QStringLiteral("reported_at"));
    return in.finish(std::move(r), error);
}

QJsonObject RemoteInstalledApp::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("bundle_id"), bundleId)
        .putString(QStringLiteral("name"), name)
        .putString(QStringLiteral("version"), version)
        .putString(QStringLiteral("build"), build)
        .putString(QStringLiteral("path"), path)
        .putDouble(QStringLiteral("file_size_mb"), fileSizeMb)
        .putBool(QStringLiteral("is_running"), isRunning)
        .putBool(QStringLiteral("is_vesk_app"), isVeskApp)
        .putString(QStringLiteral("last_opened"), lastOpened)
        .putString(QStringLiteral("reported_at"), reportedAt)
        .object();
}

std::optional<RemoteInstalledAppsResponse> RemoteInstalledAppsResponse::fromJson(const QJsonValue &json,
                                                                                 QString *error)
{
    JsonReader in(json, QStringLiteral("RemoteInstalledAppsResponse"));
    RemoteInstalledAppsResponse record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.apps = in.requiredList<RemoteInstalledApp>(QStringLiteral("apps"));
    return in.finish(std::move(record), error);
}

QJsonObject RemoteInstalledAppsResponse::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putList(QStringLiteral("apps"), apps)
        .object();
}

} // namespace vesk
