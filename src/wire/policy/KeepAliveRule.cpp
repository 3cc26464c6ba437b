#include "wire/policy/KeepAliveRule.h"

#include "wire/JsonWriter.h"
#include "wire/policy/PolicyJson.h"

namespace vesk {

std::optional<KeepAliveRule> KeepAliveRule::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("KeepAliveRule"));
    KeepAliveRule r;
    r.id = in.requiredUuid(QStringLiteral("id"));
    r.name = in.requiredString(QStringLiteral("name"));
    r.bundleIds = in.requiredStringList(QStringLiteral("bundleIds"));
    r.windows = in.requiredList<TimeWindow>(QStringLiteral("windows"));
    r.days = PolicyJson::requiredWeekdays(in, QStringLiteral("days"));
    return in.finish(std::move(r), error);
}

QJsonObject KeepAliveRule::toJson() const
{
    return JsonWriter()
        .putUuid(QStringLiteral("id"), id)
        .putString(QStringLiteral("name"), name)
        .putStringList(QStringLiteral("bundleIds"), bundleIds)
        .putList(QStringLiteral("windows"), windows)
        .putInteger(QStringLiteral("days"), days.rawValue())
        .object();
}

} // namespace vesk
