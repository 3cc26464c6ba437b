#include "wire/policy/AvailableUpdate.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"
#include "wire/policy/PolicyJson.h"

namespace vesk {

QString AvailableUpdate::displayName() const
{
    if (name)
        return *name;
    return bundleId.section(QLatin1Char('.'), -1);
}

std::optional<AvailableUpdate> AvailableUpdate::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("AvailableUpdate"));
    AvailableUpdate r;
    r.bundleId = in.requiredString(QStringLiteral("bundleId"));
    r.name = in.optionalString(QStringLiteral("name"));
    r.version = in.requiredString(QStringLiteral("version"));
    r.build = in.optionalString(QStringLiteral("build"));
    r.downloadUrl = in.requiredString(QStringLiteral("downloadUrl"));
    r.sha256 = in.optionalString(QStringLiteral("sha256"));
    r.signature = in.optionalString(QStringLiteral("signature"));
    r.releaseNotes = in.optionalString(QStringLiteral("releaseNotes"));
    r.releasedAt = in.optionalString(QStringLiteral("releasedAt"));
    if (PolicyJson::has(in, QStringLiteral("critical")))
        r.critical = in.requiredBool(QStringLiteral("critical"));
    return in.finish(std::move(r), error);
}

QJsonObject AvailableUpdate::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("bundleId"), bundleId)
        .putString(QStringLiteral("name"), name)
        .putString(QStringLiteral("version"), version)
        .putString(QStringLiteral("build"), build)
        .putString(QStringLiteral("downloadUrl"), downloadUrl)
        .putString(QStringLiteral("sha256"), sha256)
        .putString(QStringLiteral("signature"), signature)
        .putString(QStringLiteral("releaseNotes"), releaseNotes)
        .putString(QStringLiteral("releasedAt"), releasedAt)
        .putBool(QStringLiteral("critical"), critical)
        .object();
}

} // namespace vesk
