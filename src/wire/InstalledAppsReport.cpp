#include "wire/InstalledAppsReport.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<InstalledAppsReport> InstalledAppsReport::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("InstalledAppsReport"));
    InstalledAppsReport record;
    record.serial = in.requiredString(QStringLiteral("serial"));
    record.apps = in.requiredList<RemoteInstalledApp>(QStringLiteral("apps"));
    return in.finish(std::move(record), error);
}

QJsonObject InstalledAppsReport::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("serial"), serial)
        .putList(QStringLiteral("apps"), apps)
        .object();
}

} // namespace vesk
