#include "wire/HeartbeatStateValue.h"

namespace vesk {

QJsonValue HeartbeatStateValue::toJson() const
{
    return std::visit([](const auto &v) { return QJsonValue(v); }, m_value);
}

std::optional<HeartbeatStateValue> HeartbeatStateValue::fromJson(const QJsonValue &value, QString *error)
{
    if (value.isBool())
        return boolean(value.toBool());
    if (value.isDouble()) {
        // Only whole numbers that fit in 64 bits are integers; 1.5 or 1e20 are not.
        const qint64 whole = value.toInteger();
        if (static_cast<double>(whole) == value.toDouble())
            return integer(whole);
    }
    if (value.isString())
        return string(value.toString());
    if (error)
        *error = QStringLiteral("Unexpected heartbeat state value");
    return std::nullopt;
}

} // namespace vesk
