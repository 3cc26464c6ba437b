#include "wire/policy/TimeWindow.h"

#include "wire/JsonReader.h"
#include "wire/JsonWriter.h"

namespace vesk {

std::optional<TimeWindow> TimeWindow::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("TimeWindow"));
    TimeWindow r;
    r.id = in.requiredUuid(QStringLiteral("id"));
    r.startHour = int(in.requiredInteger(QStringLiteral("startHour")));
    r.startMinute = int(in.requiredInteger(QStringLiteral("startMinute")));
    r.endHour = int(in.requiredInteger(QStringLiteral("endHour")));
    r.endMinute = int(in.requiredInteger(QStringLiteral("endMinute")));
    return in.finish(std::move(r), error);
}

QJsonObject TimeWindow::toJson() const
{
    return JsonWriter()
        .putUuid(QStringLiteral("id"), id)
        .putInteger(QStringLiteral("startHour"), startHour)
        .putInteger(QStringLiteral("startMinute"), startMinute)
        .putInteger(QStringLiteral("endHour"), endHour)
        .putInteger(QStringLiteral("endMinute"), endMinute)
        .object();
}

} // namespace vesk
