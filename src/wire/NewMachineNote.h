#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// A note the console adds to a machine; the server gives it its id and date.
struct NewMachineNote {
    QString serial;
    QString author;
    QString note;

    static std::optional<NewMachineNote> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const NewMachineNote &) const = default;
};

} // namespace vesk
