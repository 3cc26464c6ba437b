#pragma once

#include "wire/HeartbeatStateValue.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>

#include <optional>

namespace vesk {

// The heartbeat body: {"eventcode", "serial", "app", "version", "state"}, all required.
struct HeartbeatPayload {
    QString eventcode;
    QString serial;
    QString app;
    QString version;
    QMap<QString, HeartbeatStateValue> state;

    QJsonObject toJson() const;
    // The compact JSON body; fails (with `error` set) when a text is not valid Unicode.
    std::optional<QByteArray> encode(QString *error = nullptr) const;
    // Fails (with `error` set) when a member is missing or of the wrong type.
    static std::optional<HeartbeatPayload> fromJson(const QJsonObject &object, QString *error = nullptr);

    bool operator==(const HeartbeatPayload &) const = default;
};

} // namespace vesk
