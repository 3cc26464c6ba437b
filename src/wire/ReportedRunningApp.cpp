#include "wire/ReportedRunningApp.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<ReportedRunningApp> ReportedRunningApp::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("ReportedRunningApp"));
    ReportedRunningApp r;
    r.bundleId = in.requiredString(QStringLiteral("bundle_id"));
    r.name = in.requiredString(QStringLiteral("name"));
    r.pid = in.requiredInteger(QStringLiteral("pid"));
    r.cpuPercent = in.requiredDouble(QStringLiteral("cpu_percent"));
    r.memoryMb = in.requiredDouble(QStringLiteral("memory_mb"));
    r.isResponding = in.requiredBool(QStringLiteral("is_responding"));
    r.uptime = in.requiredString(QStringLiteral("uptime"));
    return in.finish(std::move(r), error);
}

QJsonObject ReportedRunningApp::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("bundle_id"), bundleId)
        .putString(QStringLiteral("name"), name)
        .putInteger(QStringLiteral("pid"), pid)
        .putDouble(QStringLiteral("cpu_percent"), cpuPercent)
        .putDouble(QStringLiteral("memory_mb"), memoryMb)
        .putBool(QStringLiteral("is_responding"), isResponding)
        .putString(QStringLiteral("uptime"), uptime)
        .object();
}

} // namespace vesk
