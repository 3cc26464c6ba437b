#include "credentials/CredentialSchedule.h"

#include <QJsonDocument>
#include <QJsonValue>

namespace vesk {

namespace {

bool takeInt(const QJsonObject &json, const char *key, int &out)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (number != static_cast<double>(static_cast<int>(number)))
        return false;
    out = static_cast<int>(number);
    return true;
}

} // namespace

bool CredentialSchedule::isActive(const QDateTime &at, const QTimeZone &zone) const
{
    const QDate local = at.toTimeZone(zone).date();
    if (!recurring && year && *year != 0 && *year != local.year())
        return false;
    const int start = startMonth * 100 + startDay;
    const int end = endMonth * 100 + endDay;
    const int today = local.month() * 100 + local.day();
    if (end >= start)
        return start <= today && today <= end;
    return today >= start || today <= end;
}

QJsonObject CredentialSchedule::toJson() const
{
    QJsonObject json;
    json.insert(QStringLiteral("id"), id.toString(QUuid::WithoutBraces).toUpper());
    json.insert(QStringLiteral("credentialSetName"), credentialSetName);
    json.insert(QStringLiteral("startMonth"), startMonth);
    json.insert(QStringLiteral("startDay"), startDay);
    json.insert(QStringLiteral("endMonth"), endMonth);
    json.insert(QStringLiteral("endDay"), endDay);
    json.insert(QStringLiteral("priority"), priority);
    json.insert(QStringLiteral("recurring"), recurring);
    if (year)
        json.insert(QStringLiteral("year"), *year);
    return json;
}

std::optional<CredentialSchedule> CredentialSchedule::fromJson(const QJsonObject &json)
{
    CredentialSchedule s;
    s.id = QUuid::fromString(json.value(QStringLiteral("id")).toString());
    const QJsonValue setName = json.value(QStringLiteral("credentialSetName"));
    const QJsonValue recurring = json.value(QStringLiteral("recurring"));
    if (s.id.isNull() || !setName.isString() || !recurring.isBool())
        return std::nullopt;
    s.credentialSetName = setName.toString();
    s.recurring = recurring.toBool();
    if (!takeInt(json, "startMonth", s.startMonth) || !takeInt(json, "startDay", s.startDay)
        || !takeInt(json, "endMonth", s.endMonth) || !takeInt(json, "endDay", s.endDay)
        || !takeInt(json, "priority", s.priority))
        return std::nullopt;
    const QJsonValue year = json.value(QStringLiteral("year"));
    if (!year.isUndefined() && !year.isNull()) {
        int value = 0;
        if (!takeInt(json, "year", value))
            return std::nullopt;
        s.year = value;
    }
    return s;
}

QJsonArray credentialSchedulesToJson(const QList<CredentialSchedule> &schedules)
{
    QJsonArray array;
    for (const CredentialSchedule &schedule : schedules)
        array.append(schedule.toJson());
    return array;
}

QList<CredentialSchedule> credentialSchedulesFromJson(const QJsonArray &array)
{
    QList<CredentialSchedule> schedules;
    for (const QJsonValue &value : array) {
        const std::optional<CredentialSchedule> schedule = CredentialSchedule::fromJson(value.toObject());
        if (!value.isObject() || !schedule)
            return {};
        schedules.append(*schedule);
    }
    return schedules;
}

std::ostream &operator<<(std::ostream &out, const CredentialSchedule &schedule)
{
    return out << QJsonDocument(schedule.toJson()).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace vesk
