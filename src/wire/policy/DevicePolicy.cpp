#include "wire/policy/DevicePolicy.h"

#include "wire/JsonWriter.h"
#include "wire/policy/PolicyJson.h"

namespace vesk {

namespace {
template <class T> QList<T> listOrEmpty(JsonReader &in, const QString &key)
{
    return PolicyJson::has(in, key) ? in.requiredList<T>(key) : QList<T>{};
}
} // namespace

std::optional<DevicePolicy> DevicePolicy::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("DevicePolicy"));
    DevicePolicy r;
    r.id = PolicyJson::uuidOrNew(in, QStringLiteral("id"));
    r.name = in.optionalString(QStringLiteral("name")).value_or(r.name);
    r.restartSchedule =
        in.optionalRecord<RestartSchedule>(QStringLiteral("restartSchedule")).value_or(RestartSchedule{});
    r.keepAliveRules = listOrEmpty<KeepAliveRule>(in, QStringLiteral("keepAliveRules"));
    r.appRestartRules = listOrEmpty<AppRestartRule>(in, QStringLiteral("appRestartRules"));
    r.updatePolicy = in.optionalRecord<UpdatePolicy>(QStringLiteral("updatePolicy")).value_or(UpdatePolicy{});
    r.retentionRules = listOrEmpty<RetentionRule>(in, QStringLiteral("retentionRules"));
    r.monitoredShares = listOrEmpty<MonitoredShare>(in, QStringLiteral("monitoredShares"));
    if (PolicyJson::has(in, QStringLiteral("assignedSerials")))
        r.assignedSerials = in.requiredStringList(QStringLiteral("assignedSerials"));
    return in.finish(std::move(r), error);
}

QJsonObject DevicePolicy::toJson() const
{
    return JsonWriter()
        .putUuid(QStringLiteral("id"), id)
        .putString(QStringLiteral("name"), name)
        .putRecord(QStringLiteral("restartSchedule"), restartSchedule)
        .putList(QStringLiteral("keepAliveRules"), keepAliveRules)
        .putList(QStringLiteral("appRestartRules"), appRestartRules)
        .putRecord(QStringLiteral("updatePolicy"), updatePolicy)
        .putList(QStringLiteral("retentionRules"), retentionRules)
        .putList(QStringLiteral("monitoredShares"), monitoredShares)
        .putStringList(QStringLiteral("assignedSerials"), assignedSerials)
        .object();
}

QString DevicePolicy::listKey()
{
    return QStringLiteral("policies");
}

} // namespace vesk
