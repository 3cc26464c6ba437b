#include "wire/policy/UpdatePolicy.h"

#include "wire/JsonWriter.h"
#include "wire/policy/PolicyJson.h"

namespace vesk {

namespace {

// Lenient: anything but an object of strings yields no pins, without failing the policy.
QMap<QString, QString> pinsFrom(const QJsonValue &value)
{
    if (!value.isObject())
        return {};
    const QJsonObject object = value.toObject();
    QMap<QString, QString> pins;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString())
            return {};
        pins.insert(it.key(), it.value().toString());
    }
    return pins;
}

} // namespace

QString UpdatePolicy::rawValue(Mode mode)
{
    switch (mode) {
    case Mode::adminApproved:
        return QStringLiteral("admin_approved");
    case Mode::automatic:
        return QStringLiteral("automatic");
    case Mode::localAllowed:
        return QStringLiteral("local_allowed");
    }
    return {};
}

std::optional<UpdatePolicy::Mode> UpdatePolicy::modeFromRawValue(const QString &raw)
{
    for (Mode mode : {Mode::adminApproved, Mode::automatic, Mode::localAllowed}) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return std::nullopt;
}

QString UpdatePolicy::description(Mode mode)
{
    switch (mode) {
    case Mode::adminApproved:
        return QStringLiteral("Updates require manual approval from an admin before installation.");
    case Mode::automatic:
        return QStringLiteral("Updates install automatically during the configured window.");
    case Mode::localAllowed:
        return QStringLiteral("Users can install updates locally at any time.");
    }
    return {};
}

std::optional<UpdatePolicy> UpdatePolicy::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("UpdatePolicy"));
    UpdatePolicy r;
    r.mode = PolicyJson::enumOr(in, QStringLiteral("mode"), Mode::adminApproved, modeFromRawValue);
    r.windowStart = int(in.optionalInteger(QStringLiteral("windowStart")).value_or(1));
    r.windowEnd = int(in.optionalInteger(QStringLiteral("windowEnd")).value_or(5));
    r.days = PolicyJson::weekdaysOr(in, QStringLiteral("days"), Weekdays::everyDay());
    r.pinnedVersions = pinsFrom(in.object().value(QLatin1String("pinnedVersions")));
    return in.finish(std::move(r), error);
}

QJsonObject UpdatePolicy::toJson() const
{
    QJsonObject pins;
    for (auto it = pinnedVersions.begin(); it != pinnedVersions.end(); ++it)
        pins.insert(it.key(), it.value());
    return JsonWriter()
        .putString(QStringLiteral("mode"), rawValue(mode))
        .putInteger(QStringLiteral("windowStart"), windowStart)
        .putInteger(QStringLiteral("windowEnd"), windowEnd)
        .putInteger(QStringLiteral("days"), days.rawValue())
        .putValue(QStringLiteral("pinnedVersions"), pins)
        .object();
}

} // namespace vesk
