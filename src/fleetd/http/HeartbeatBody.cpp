#include "fleetd/http/HeartbeatBody.h"

#include "fleetd/http/FieldLimits.h"
#include "wire/HeartbeatPayload.h"

#include <tuple>

namespace vesk::fleetd {

namespace {

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

HeartbeatRecord toRecord(const HeartbeatPayload &payload)
{
    QJsonObject state;
    for (auto it = payload.state.begin(); it != payload.state.end(); ++it)
        state.insert(it.key(), it.value().toJson());
    return {payload.eventcode, payload.serial, payload.app, payload.version, state};
}

} // namespace

HeartbeatBody::Result HeartbeatBody::parse(const QJsonObject &body)
{
    Result result;
    const std::optional<HeartbeatPayload> payload = HeartbeatPayload::fromJson(body, &result.error);
    if (!payload)
        return result;
    if (payload->serial.trimmed().isEmpty()) {
        result.error = QStringLiteral("\"serial\" must not be empty");
        return result;
    }
    for (const auto &[name, text, limit] :
         {std::tuple{"serial", &payload->serial, FieldLimits::kSerial},
          std::tuple{"eventcode", &payload->eventcode, FieldLimits::kEventCode},
          std::tuple{"app", &payload->app, FieldLimits::kAppName},
          std::tuple{"version", &payload->version, FieldLimits::kVersion}}) {
        if (text->size() > limit) {
            result.error = QStringLiteral("\"%1\" exceeds %2 characters").arg(QLatin1String(name)).arg(limit);
            return result;
        }
    }
    if (payload->state.size() > FieldLimits::kHeartbeatStateKeys) {
        result.error = QStringLiteral("\"state\" has more than %1 members").arg(FieldLimits::kHeartbeatStateKeys);
        return result;
    }
    // The serial keys the machine directory and is printed in tab-separated listings.
    if (hasControlCharacter(payload->serial)) {
        result.error = QStringLiteral("\"serial\" must not contain control characters");
        return result;
    }
    result.record = toRecord(*payload);
    return result;
}

} // namespace vesk::fleetd
