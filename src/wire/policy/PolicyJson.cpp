#include "wire/policy/PolicyJson.h"

namespace vesk::PolicyJson {

bool has(const JsonReader &in, const QString &key)
{
    const QJsonValue value = in.object().value(key);
    return !value.isUndefined() && !value.isNull();
}

QUuid uuidOrNew(JsonReader &in, const QString &key)
{
    if (!has(in, key))
        return QUuid::createUuid();
    return in.requiredUuid(key);
}

Weekdays requiredWeekdays(JsonReader &in, const QString &key)
{
    return Weekdays(int(in.requiredInteger(key)));
}

Weekdays weekdaysOr(JsonReader &in, const QString &key, Weekdays fallback)
{
    const std::optional<qint64> raw = in.optionalInteger(key);
    return raw ? Weekdays(int(*raw)) : fallback;
}

} // namespace vesk::PolicyJson
