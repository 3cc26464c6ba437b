#pragma once

#include <QJsonValue>
#include <QString>

#include <optional>
#include <variant>

namespace vesk {

// One JSON scalar of free type, as found in a command's parameters.
class AnyCodable {
public:
    using Value = std::variant<QString, qint64, double, bool>;

    AnyCodable() = default;
    AnyCodable(QString value) : m_value(std::move(value)) {}
    AnyCodable(const char *value) : m_value(QString::fromUtf8(value)) {}
    AnyCodable(qint64 value) : m_value(value) {}
    AnyCodable(int value) : m_value(qint64(value)) {}
    AnyCodable(double value) : m_value(value) {}
    AnyCodable(bool value) : m_value(value) {}

    // Tries string, integer, double, boolean in that order; null, arrays, objects (and
    // non-finite numbers) become the empty string. Never fails.
    static AnyCodable fromJsonValue(const QJsonValue &json);
    // The same, in the shape every record decoder shares.
    static std::optional<AnyCodable> fromJson(const QJsonValue &json, QString *error);
    QJsonValue toJsonValue() const;

    const Value &value() const { return m_value; }
    bool isString() const { return std::holds_alternative<QString>(m_value); }
    bool isInteger() const { return std::holds_alternative<qint64>(m_value); }
    bool isDouble() const { return std::holds_alternative<double>(m_value); }
    bool isBool() const { return std::holds_alternative<bool>(m_value); }
    std::optional<QString> string() const;
    std::optional<qint64> integer() const;
    std::optional<double> number() const; // an integer or a double
    std::optional<bool> boolean() const;

    bool operator==(const AnyCodable &) const = default;

private:
    Value m_value;
};

} // namespace vesk
