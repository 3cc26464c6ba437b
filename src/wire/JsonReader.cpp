#include "wire/JsonReader.h"

#include "wire/ReferenceDate.h"

#include <cmath>

namespace vesk {

namespace {

// Whole JSON numbers that fit 64 bits; toInteger() answers its default when they do not,
// so two different defaults tell a real value from a refusal.
std::optional<qint64> wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const qint64 first = value.toInteger(0);
    if (first != value.toInteger(1))
        return std::nullopt;
    return first;
}

std::optional<double> finiteNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<double> decimalText(const QString &text)
{
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<qint64> integerText(const QString &text)
{
    bool ok = false;
    const qint64 number = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return number;
}

} // namespace

JsonReader::JsonReader(const QJsonValue &value, QString label)
    : m_label(std::move(label))
{
    if (value.isObject()) {
        m_object = value.toObject();
    } else {
        m_failed = true;
        m_error = m_label + QStringLiteral(": expected an object");
    }
}

void JsonReader::fail(const QString &key, const QString &what)
{
    if (m_failed)
        return;
    m_failed = true;
    m_error = QStringLiteral("%1.%2: %3").arg(m_label, key, what);
}

std::optional<QJsonValue> JsonReader::member(const QString &key, bool required)
{
    if (m_failed)
        return std::nullopt;
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull()) {
        if (required)
            fail(key, QStringLiteral("missing"));
        return std::nullopt;
    }
    return value;
}

QString JsonReader::requiredString(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, true);
    if (!value)
        return {};
    if (!value->isString()) {
        fail(key, QStringLiteral("expected a string"));
        return {};
    }
    return value->toString();
}

std::optional<QString> JsonReader::optionalString(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value)
        return std::nullopt;
    if (!value->isString()) {
        fail(key, QStringLiteral("expected a string"));
        return std::nullopt;
    }
    return value->toString();
}

qint64 JsonReader::requiredInteger(const QString &key)
{
    const std::optional<qint64> number = optionalInteger(key);
    if (!number && !m_failed)
        fail(key, QStringLiteral("missing"));
    return number.value_or(0);
}

std::optional<qint64> JsonReader::optionalInteger(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value)
        return std::nullopt;
    const std::optional<qint64> number = wholeNumber(*value);
    if (!number)
        fail(key, QStringLiteral("expected an integer"));
    return number;
}

double JsonReader::requiredDouble(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, true);
    if (!value)
        return 0;
    const std::optional<double> number = finiteNumber(*value);
    if (!number)
        fail(key, QStringLiteral("expected a number"));
    return number.value_or(0);
}

bool JsonReader::requiredBool(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, true);
    if (!value)
        return false;
    if (!value->isBool()) {
        fail(key, QStringLiteral("expected a boolean"));
        return false;
    }
    return value->toBool();
}

QStringList JsonReader::requiredStringList(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, true);
    if (!value)
        return {};
    if (!value->isArray()) {
        fail(key, QStringLiteral("expected an array of strings"));
        return {};
    }
    QStringList items;
    const QJsonArray array = value->toArray();
    for (const QJsonValue &item : array) {
        if (!item.isString()) {
            fail(key, QStringLiteral("expected an array of strings"));
            return {};
        }
        items.append(item.toString());
    }
    return items;
}

std::optional<QStringList> JsonReader::optionalStringList(const QString &key)
{
    if (m_failed || !member(key, false))
        return std::nullopt;
    QStringList items = requiredStringList(key);
    if (m_failed)
        return std::nullopt;
    return items;
}

QDateTime JsonReader::requiredDate(const QString &key)
{
    const std::optional<QDateTime> date = optionalDate(key);
    if (!date && !m_failed)
        fail(key, QStringLiteral("missing"));
    return date.value_or(QDateTime());
}

std::optional<QDateTime> JsonReader::optionalDate(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value)
        return std::nullopt;
    const std::optional<double> seconds = finiteNumber(*value);
    std::optional<QDateTime> date = seconds ? ReferenceDate::dateFrom(*seconds) : std::nullopt;
    if (!date)
        fail(key, QStringLiteral("expected a date (seconds since 2001-01-01)"));
    return date;
}

QDateTime JsonReader::requiredIsoDate(const QString &key)
{
    const std::optional<QDateTime> date = optionalIsoDate(key);
    if (!date && !m_failed)
        fail(key, QStringLiteral("missing"));
    return date.value_or(QDateTime());
}

std::optional<QDateTime> JsonReader::optionalIsoDate(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value)
        return std::nullopt;
    const QDateTime date = value->isString() ? QDateTime::fromString(value->toString(), Qt::ISODate) : QDateTime();
    if (!date.isValid()) {
        fail(key, QStringLiteral("expected an ISO 8601 date"));
        return std::nullopt;
    }
    // Dates travel to whole seconds; dropping a fraction here keeps a record equal to its re-reading.
    return date.toUTC().addMSecs(-date.time().msec());
}

QUuid JsonReader::requiredUuid(const QString &key)
{
    const QString text = requiredString(key);
    if (m_failed)
        return {};
    const QUuid uuid = QUuid::fromString(text);
    // fromString() answers the null UUID for bad text; the all-zero UUID itself is still valid text.
    if (uuid.isNull() && QUuid::fromString(text.toUpper().replace(QLatin1Char('0'), QLatin1Char('F'))).isNull())
        fail(key, QStringLiteral("expected a UUID"));
    return uuid;
}

std::optional<double> JsonReader::lenientDouble(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value)
        return std::nullopt;
    if (value->isString())
        return decimalText(value->toString());
    return finiteNumber(*value);
}

std::optional<qint64> JsonReader::lenientInteger(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value)
        return std::nullopt;
    if (value->isString())
        return integerText(value->toString());
    return wholeNumber(*value);
}

std::optional<bool> JsonReader::lenientBool(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value)
        return std::nullopt;
    if (value->isBool())
        return value->toBool();
    if (const std::optional<double> number = finiteNumber(*value))
        return *number != 0;
    if (!value->isString())
        return std::nullopt;
    const QString text = value->toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no"))
        return false;
    if (const std::optional<double> number = decimalText(text))
        return *number != 0;
    return std::nullopt;
}

std::optional<QString> JsonReader::lenientString(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value || !value->isString())
        return std::nullopt;
    return value->toString();
}

} // namespace vesk
