#include "wire/AnyCodable.h"

#include <cmath>

namespace vesk {

AnyCodable AnyCodable::fromJsonValue(const QJsonValue &json)
{
    if (json.isString())
        return AnyCodable(json.toString());
    if (json.isDouble()) {
        // A whole number that fits 64 bits reads as an integer, even when written as 3.0.
        const qint64 whole = json.toInteger(0);
        if (whole == json.toInteger(1))
            return AnyCodable(whole);
        // JSON text cannot carry NaN or infinity, so neither may a held value.
        if (std::isfinite(json.toDouble()))
            return AnyCodable(json.toDouble());
        return AnyCodable(QString());
    }
    if (json.isBool())
        return AnyCodable(json.toBool());
    return AnyCodable(QString());
}

std::optional<AnyCodable> AnyCodable::fromJson(const QJsonValue &json, QString *)
{
    return fromJsonValue(json);
}

QJsonValue AnyCodable::toJsonValue() const
{
    return std::visit([](const auto &held) { return QJsonValue(held); }, m_value);
}

std::optional<QString> AnyCodable::string() const
{
    if (const QString *held = std::get_if<QString>(&m_value))
        return *held;
    return std::nullopt;
}

std::optional<qint64> AnyCodable::integer() const
{
    if (const qint64 *held = std::get_if<qint64>(&m_value))
        return *held;
    return std::nullopt;
}

std::optional<double> AnyCodable::number() const
{
    if (const qint64 *held = std::get_if<qint64>(&m_value))
        return double(*held);
    if (const double *held = std::get_if<double>(&m_value))
        return *held;
    return std::nullopt;
}

std::optional<bool> AnyCodable::boolean() const
{
    if (const bool *held = std::get_if<bool>(&m_value))
        return *held;
    return std::nullopt;
}

} // namespace vesk
