#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace vesk {

// Builds one record's JSON object. Optional members that hold nothing are left out.
class JsonWriter {
public:
    JsonWriter &putString(const QString &key, const QString &value);
    JsonWriter &putString(const QString &key, const std::optional<QString> &value);
    JsonWriter &putInteger(const QString &key, qint64 value);
    JsonWriter &putInteger(const QString &key, const std::optional<qint64> &value);
    JsonWriter &putDouble(const QString &key, double value);
    JsonWriter &putDouble(const QString &key, const std::optional<double> &value);
    JsonWriter &putBool(const QString &key, bool value);
    JsonWriter &putBool(const QString &key, const std::optional<bool> &value);
    JsonWriter &putStringList(const QString &key, const QStringList &value);
    JsonWriter &putStringList(const QString &key, const std::optional<QStringList> &value);
    // Seconds since 2001-01-01T00:00:00Z; an invalid date is written as null, which no reader accepts.
    JsonWriter &putDate(const QString &key, const QDateTime &value);
    JsonWriter &putDate(const QString &key, const std::optional<QDateTime> &value);
    // ISO 8601 in UTC to whole seconds ("2026-03-02T09:30:15Z"); an invalid date is written as null.
    JsonWriter &putIsoDate(const QString &key, const QDateTime &value);
    JsonWriter &putIsoDate(const QString &key, const std::optional<QDateTime> &value);
    // Upper-case text without braces, the platform's own UUID form.
    JsonWriter &putUuid(const QString &key, const QUuid &value);
    JsonWriter &putValue(const QString &key, const QJsonValue &value);

    template <class T> JsonWriter &putRecord(const QString &key, const T &record)
    {
        return putValue(key, record.toJson());
    }
    template <class T> JsonWriter &putRecord(const QString &key, const std::optional<T> &record)
    {
        return record ? putRecord(key, *record) : *this;
    }
    template <class T> JsonWriter &putList(const QString &key, const QList<T> &records)
    {
        QJsonArray array;
        for (const T &record : records)
            array.append(record.toJson());
        return putValue(key, array);
    }
    template <class T> JsonWriter &putList(const QString &key, const std::optional<QList<T>> &records)
    {
        return records ? putList(key, *records) : *this;
    }
    template <class T> JsonWriter &putMap(const QString &key, const std::optional<QMap<QString, T>> &records)
    {
        if (!records)
            return *this;
        QJsonObject object;
        for (auto it = records->begin(); it != records->end(); ++it)
            object.insert(it.key(), it.value().toJsonValue());
        return putValue(key, object);
    }

    const QJsonObject &object() const { return m_object; }

private:
    QJsonObject m_object;
};

} // namespace vesk
