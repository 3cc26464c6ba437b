#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// An administrator's note on a machine.
struct MachineNote {
    qint64 id = 0;
    QString serial;
    QString author;
    QString note;
    QString createdAt;

    static std::optional<MachineNote> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const MachineNote &) const = default;
};

struct MachineNotesResponse {
    QString serial;
    QList<MachineNote> notes;

    static std::optional<MachineNotesResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const MachineNotesResponse &) const = default;
};

} // namespace vesk
