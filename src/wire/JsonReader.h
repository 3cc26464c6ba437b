#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>
#include <utility>

namespace vesk {

// Reads the members of one JSON record. The first failure sticks: later reads return
// empty values and the record's decoder ends with finish(), which hands back either the
// record or that first error, worded "<Record>.<key>: <what went wrong>".
//
// Optional members may be absent or null. Required members fail when missing or of the
// wrong type. The lenient readers take what the fleet server is known to send in place
// of a number or a flag (numbers as text, flags as integers) and read anything else as
// absent instead of failing the record.
class JsonReader {
public:
    // A value that is not an object fails at once ("<Record>: expected an object").
    JsonReader(const QJsonValue &value, QString label);

    bool failed() const { return m_failed; }
    const QString &error() const { return m_error; }
    const QJsonObject &object() const { return m_object; }

    QString requiredString(const QString &key);
    std::optional<QString> optionalString(const QString &key);
    // A JSON number holding a whole value that fits 64 bits.
    qint64 requiredInteger(const QString &key);
    std::optional<qint64> optionalInteger(const QString &key);
    double requiredDouble(const QString &key);
    bool requiredBool(const QString &key);
    QStringList requiredStringList(const QString &key);
    std::optional<QStringList> optionalStringList(const QString &key);
    // Seconds since 2001-01-01T00:00:00Z.
    QDateTime requiredDate(const QString &key);
    std::optional<QDateTime> optionalDate(const QString &key);
    // ISO 8601 text ("2026-03-02T09:30:15Z"), read to whole seconds.
    QDateTime requiredIsoDate(const QString &key);
    std::optional<QDateTime> optionalIsoDate(const QString &key);
    QUuid requiredUuid(const QString &key);

    // A number, or text holding a decimal number; anything else (or a non-finite value) is absent.
    std::optional<double> lenientDouble(const QString &key);
    // A whole number, or text holding an optionally signed decimal integer; anything else is absent.
    std::optional<qint64> lenientInteger(const QString &key);
    // A boolean, a number (non-zero is true) or text ("true"/"yes", "false"/"no", or a number).
    std::optional<bool> lenientBool(const QString &key);
    // Text; anything else is absent.
    std::optional<QString> lenientString(const QString &key);

    template <class T> T requiredRecord(const QString &key);
    template <class T> std::optional<T> optionalRecord(const QString &key);
    template <class T> QList<T> requiredList(const QString &key);
    template <class T> std::optional<QList<T>> optionalList(const QString &key);
    // An object whose every member decodes as T.
    template <class T> std::optional<QMap<QString, T>> optionalMap(const QString &key);

    // Records a failure for `key` unless one is already recorded.
    void fail(const QString &key, const QString &what);

    // The decoded record, or none with the first failure written to `error` (when given).
    template <class T> std::optional<T> finish(T &&record, QString *error) const
    {
        if (m_failed) {
            if (error)
                *error = m_error;
            return std::nullopt;
        }
        return std::optional<T>(std::forward<T>(record));
    }

private:
    // The member's value; none (and a failure) when a required member is missing or null.
    std::optional<QJsonValue> member(const QString &key, bool required);

    QJsonObject m_object;
    QString m_label;
    QString m_error;
    bool m_failed = false;
};

template <class T> T JsonReader::requiredRecord(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, true);
    if (!value)
        return T{};
    QString nested;
    std::optional<T> record = T::fromJson(*value, &nested);
    if (!record) {
        fail(key, nested);
        return T{};
    }
    return std::move(*record);
}

template <class T> std::optional<T> JsonReader::optionalRecord(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value)
        return std::nullopt;
    QString nested;
    std::optional<T> record = T::fromJson(*value, &nested);
    if (!record)
        fail(key, nested);
    return record;
}

template <class T> QList<T> JsonReader::requiredList(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, true);
    if (!value)
        return {};
    if (!value->isArray()) {
        fail(key, QStringLiteral("expected an array"));
        return {};
    }
    const QJsonArray array = value->toArray();
    QList<T> items;
    items.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        QString nested;
        std::optional<T> item = T::fromJson(array.at(i), &nested);
        if (!item) {
            fail(QStringLiteral("%1[%2]").arg(key).arg(i), nested);
            return {};
        }
        items.append(std::move(*item));
    }
    return items;
}

template <class T> std::optional<QList<T>> JsonReader::optionalList(const QString &key)
{
    if (m_failed || !member(key, false))
        return std::nullopt;
    QList<T> items = requiredList<T>(key);
    if (m_failed)
        return std::nullopt;
    return items;
}

template <class T> std::optional<QMap<QString, T>> JsonReader::optionalMap(const QString &key)
{
    const std::optional<QJsonValue> value = member(key, false);
    if (!value)
        return std::nullopt;
    if (!value->isObject()) {
        fail(key, QStringLiteral("expected an object"));
        return std::nullopt;
    }
    const QJsonObject object = value->toObject();
    QMap<QString, T> items;
    for (auto it = object.begin(); it != object.end(); ++it) {
        QString nested;
        std::optional<T> item = T::fromJson(it.value(), &nested);
        if (!item) {
            fail(QStringLiteral("%1.%2").arg(key, it.key()), nested);
            return std::nullopt;
        }
        items.insert(it.key(), std::move(*item));
    }
    return items;
}

} // namespace vesk
