#include "fleetd/http/PolicyBody.h"

#include "wire/KeyCaseConversion.h"

#include <QUuid>

#include <utility>

namespace vesk::fleetd {

namespace {

const QString kId = QStringLiteral("id");

std::optional<DevicePolicy> decode(const QJsonObject &wire, QString *error)
{
    return DevicePolicy::fromJson(KeyCase::fromSnakeCase(wire), error);
}

} // namespace

QString PolicyBody::normalizedUuid(const QString &text)
{
    const QUuid uuid = QUuid::fromString(text.trimmed());
    return uuid.isNull() ? QString() : uuid.toString(QUuid::WithoutBraces).toLower();
}

QJsonObject PolicyBody::wireJson(const QJsonObject &recordJson)
{
    return KeyCase::toReadableSnakeCase(recordJson).toObject();
}

PolicyBody::Result PolicyBody::parse(const QJsonObject &body)
{
    Result result;
    // The agent makes up an id for a policy without one; the server could not find it again.
    const QJsonValue id = body.value(kId);
    if (!id.isString() || normalizedUuid(id.toString()).isEmpty()) {
        result.error = QStringLiteral("a policy needs an \"id\" that is a UUID");
        return result;
    }
    std::optional<DevicePolicy> decoded = decode(body, &result.error);
    if (!decoded)
        return result;

    PolicyRecord policy;
    policy.uuid = decoded->id.toString(QUuid::WithoutBraces).toLower();
    policy.name = decoded->name;
    for (const QString &serial : std::as_const(decoded->assignedSerials)) {
        if (serial.trimmed().isEmpty()) {
            result.error = QStringLiteral("\"assigned_serials\" must be a list of serials");
            return result;
        }
        if (!policy.assignedSerials.contains(serial))
            policy.assignedSerials.append(serial);
    }
    // The assignment table is authoritative; the stored body carries none.
    decoded->assignedSerials.clear();
    policy.body = wireJson(decoded->toJson());
    result.policy = std::move(policy);
    return result;
}

std::optional<DevicePolicy> PolicyBody::toWire(const PolicyRecord &policy, QString *error)
{
    std::optional<DevicePolicy> decoded = decode(policy.body, error);
    if (decoded)
        decoded->assignedSerials = policy.assignedSerials;
    return decoded;
}

} // namespace vesk::fleetd
