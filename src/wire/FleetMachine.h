#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// One machine of the tenant's directory, as the console lists it ("devices").
struct FleetMachine {
    QString id; // the serial: machines are addressed by it
    QString serial;
    QString name;
    QString app;
    QString appVersion;
    QString eventCode;
    QString firstSeen; // ISO 8601, as the server stored it
    QString lastSeen;
    QString status; // "online" or "offline"

    static std::optional<FleetMachine> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetMachine &) const = default;
};

// The answer of the machine directory: {"devices": [...]}.
struct FleetMachineList {
    QList<FleetMachine> devices;

    // The list's member name, for answers built row by row.
    static QString listKey();
    static std::optional<FleetMachineList> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetMachineList &) const = default;
};

} // namespace vesk
