#include "fleetd/http/PolicyBody.h"

#include <QJsonArray>
#include <QUuid>

namespace vesk::fleetd {

QString PolicyBody::normalizedUuid(const QString &text)
{
    const QUuid uuid = QUuid::fromString(text.trimmed());
    return uuid.isNull() ? QString() : uuid.toString(QUuid::WithoutBraces).toLower();
}

PolicyBody::Result PolicyBody::parse(const QJsonObject &body)
{
    Result result;
    QJsonValue id = body.value(QLatin1String("id"));
    if (id.isUndefined())
        id = body.value(QLatin1String("uuid"));
    PolicyRecord policy;
    policy.uuid = normalizedUuid(id.toString());
    if (!id.isString() || policy.uuid.isEmpty()) {
        result.error = QStringLiteral("a policy needs an \"id\" that is a UUID");
        return result;
    }
    const QJsonValue name = body.value(QLatin1String("name"));
    if (!name.isUndefined() && !name.isString()) {
        result.error = QStringLiteral("\"name\" must be a string");
        return result;
    }
    policy.name = name.isString() ? name.toString() : QStringLiteral("New Policy");
    const QJsonValue serials = body.value(QLatin1String("assigned_serials"));
    if (!serials.isUndefined() && !serials.isNull()) {
        if (!serials.isArray()) {
            result.error = QStringLiteral("\"assigned_serials\" must be a list of serials");
            return result;
        }
        for (const QJsonValue &serial : serials.toArray()) {
            if (!serial.isString() || serial.toString().trimmed().isEmpty()) {
                result.error = QStringLiteral("\"assigned_serials\" must be a list of serials");
                return result;
            }
            if (!policy.assignedSerials.contains(serial.toString()))
                policy.assignedSerials.append(serial.toString());
        }
    }
    policy.body = body;
    result.policy = std::move(policy);
    return result;
}

} // namespace vesk::fleetd
