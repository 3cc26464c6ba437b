#pragma once

#include <QJsonValue>
#include <QString>

#include <optional>
#include <variant>

namespace vesk {

// One value of the heartbeat's free-form state: a string, an integer or a boolean,
// encoded as a bare JSON scalar of its own type.
class HeartbeatStateValue {
public:
    static HeartbeatStateValue string(QString value) { return HeartbeatStateValue(std::move(value)); }
    static HeartbeatStateValue integer(qint64 value) { return HeartbeatStateValue(value); }
    static HeartbeatStateValue boolean(bool value) { return HeartbeatStateValue(value); }

    QJsonValue toJson() const;
    // Tries a boolean, then an integer, then a string; anything else fails with
    // "Unexpected heartbeat state value".
    static std::optional<HeartbeatStateValue> fromJson(const QJsonValue &value, QString *error = nullptr);

    const std::variant<QString, qint64, bool> &value() const { return m_value; }
    bool operator==(const HeartbeatStateValue &) const = default;

private:
    explicit HeartbeatStateValue(std::variant<QString, qint64, bool> value) : m_value(std::move(value)) {}
    std::variant<QString, qint64, bool> m_value;
};

} // namespace vesk
