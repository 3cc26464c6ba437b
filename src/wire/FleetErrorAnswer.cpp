#include "wire/FleetErrorAnswer.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

#include <QJsonDocument>

namespace vesk {

QString FleetErrorAnswer::text() const
{
    for (const std::optional<QString> &candidate : {error, message, detail}) {
        if (candidate && !candidate->isEmpty())
            return *candidate;
    }
    return {};
}

std::optional<FleetErrorAnswer> FleetErrorAnswer::decode(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    return fromJson(document.object(), nullptr);
}

std::optional<FleetErrorAnswer> FleetErrorAnswer::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("FleetErrorAnswer"));
    FleetErrorAnswer record;
    record.error = in.lenientString(QStringLiteral("error"));
    record.message = in.lenientString(QStringLiteral("message"));
    record.detail = in.lenientString(QStringLiteral("detail"));
    return in.finish(std::move(record), error);
}

QJsonObject FleetErrorAnswer::toJson() const
{
    return JsonWriter()
        .putString(QStringLiteral("error"), error)
        .putString(QStringLiteral("message"), message)
        .putString(QStringLiteral("detail"), detail)
        .object();
}

} // namespace vesk
