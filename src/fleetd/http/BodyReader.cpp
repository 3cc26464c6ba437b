#include "fleetd/http/BodyReader.h"

#include <cmath>

namespace vesk::fleetd {

BodyReader::BodyReader(const QHttpServerRequest &request, qsizetype maxBytes)
    : BodyReader(JsonRequest::readObject(request, maxBytes))
{
}

std::optional<QJsonValue> BodyReader::take(const QString &key)
{
    if (!ok())
        return std::nullopt;
    const auto it = m_body.constFind(key);
    if (it == m_body.constEnd() || it->isNull()) {
        fail(QStringLiteral("missing \"%1\"").arg(key));
        return std::nullopt;
    }
    return *it;
}

QString BodyReader::string(const QString &key, bool allowEmpty)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return {};
    if (!value->isString()) {
        fail(QStringLiteral("\"%1\" must be a string").arg(key));
        return {};
    }
    const QString text = value->toString();
    if (!allowEmpty && text.trimmed().isEmpty()) {
        fail(QStringLiteral("\"%1\" must not be empty").arg(key));
        return {};
    }
    return text;
}

QString BodyReader::optionalString(const QString &key)
{
    const QJsonValue value = m_body.value(key);
    if (value.isUndefined() || value.isNull())
        return {};
    if (!value.isString())
        fail(QStringLiteral("\"%1\" must be a string").arg(key));
    return value.toString();
}

qint64 BodyReader::integer(const QString &key)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return 0;
    if (value->isDouble()) {
        const double number = value->toDouble();
        if (std::isfinite(number) && std::trunc(number) == number && std::abs(number) < 9.0e15)
            return static_cast<qint64>(number);
    } else if (value->isString()) {
        bool ok = false;
        const qint64 number = value->toString().toLongLong(&ok);
        if (ok)
            return number;
    }
    fail(QStringLiteral("\"%1\" must be an integer").arg(key));
    return 0;
}

bool BodyReader::boolean(const QString &key)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return false;
    if (!value->isBool()) {
        fail(QStringLiteral("\"%1\" must be a boolean").arg(key));
        return false;
    }
    return value->toBool();
}

QJsonArray BodyReader::array(const QString &key)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return {};
    if (!value->isArray()) {
        fail(QStringLiteral("\"%1\" must be an array").arg(key));
        return {};
    }
    return value->toArray();
}

QJsonObject BodyReader::optionalObject(const QString &key)
{
    const QJsonValue value = m_body.value(key);
    if (value.isUndefined() || value.isNull())
        return {};
    if (!value.isObject())
        fail(QStringLiteral("\"%1\" must be an object").arg(key));
    return value.toObject();
}

} // namespace vesk::fleetd
