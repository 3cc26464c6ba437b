#include "wire/JsonWriter.h"

#include "wire/ReferenceDate.h"

namespace vesk {

JsonWriter &JsonWriter::putString(const QString &key, const QString &value)
{
    return putValue(key, value);
}

JsonWriter &JsonWriter::putString(const QString &key, const std::optional<QString> &value)
{
    return value ? putString(key, *value) : *this;
}

JsonWriter &JsonWriter::putInteger(const QString &key, qint64 value)
{
    return putValue(key, QJsonValue(value));
}

JsonWriter &JsonWriter::putInteger(const QString &key, const std::optional<qint64> &value)
{
    return value ? putInteger(key, *value) : *this;
}

JsonWriter &JsonWriter::putDouble(const QString &key, double value)
{
    return putValue(key, QJsonValue(value));
}

JsonWriter &JsonWriter::putDouble(const QString &key, const std::optional<double> &value)
{
    return value ? putDouble(key, *value) : *this;
}

JsonWriter &JsonWriter::putBool(const QString &key, bool value)
{
    return putValue(key, QJsonValue(value));
}

JsonWriter &JsonWriter::putBool(const QString &key, const std::optional<bool> &value)
{
    return value ? putBool(key, *value) : *this;
}

JsonWriter &JsonWriter::putStringList(const QString &key, const QStringList &value)
{
    return putValue(key, QJsonArray::fromStringList(value));
}

JsonWriter &JsonWriter::putStringList(const QString &key, const std::optional<QStringList> &value)
{
    return value ? putStringList(key, *value) : *this;
}

JsonWriter &JsonWriter::putIsoDate(const QString &key, const QDateTime &value)
{
    if (!value.isValid())
        return putValue(key, QJsonValue(QJsonValue::Null));
    const QDateTime utc = value.toUTC();
    return putValue(key, utc.addMSecs(-utc.time().msec()).toString(Qt::ISODate));
}

JsonWriter &JsonWriter::putIsoDate(const QString &key, const std::optional<QDateTime> &value)
{
    return value ? putIsoDate(key, *value) : *this;
}

JsonWriter &JsonWriter::putDate(const QString &key, const QDateTime &value)
{
    if (!value.isValid())
        return putValue(key, QJsonValue(QJsonValue::Null));
    return putValue(key, QJsonValue(ReferenceDate::secondsFrom(value)));
}

JsonWriter &JsonWriter::putDate(const QString &key, const std::optional<QDateTime> &value)
{
    return value ? putDate(key, *value) : *this;
}

JsonWriter &JsonWriter::putUuid(const QString &key, const QUuid &value)
{
    return putValue(key, value.toString(QUuid::WithoutBraces).toUpper());
}

JsonWriter &JsonWriter::putValue(const QString &key, const QJsonValue &value)
{
    m_object.insert(key, value);
    return *this;
}

} // namespace vesk
