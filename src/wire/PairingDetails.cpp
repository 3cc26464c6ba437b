#include "wire/PairingDetails.h"

#include "wire/JsonWriter.h"

#include <QJsonObject>
#include <QRegularExpression>

namespace vesk {

namespace {

std::optional<qint64> positiveId(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        const qint64 whole = value.toInteger(0);
        if (whole > 0 && double(whole) == number)
            return whole;
        return std::nullopt;
    }
    if (value.isString()) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        const QString text = value.toString();
        bool ok = false;
        const qint64 id = text.toLongLong(&ok);
        if (digits.match(text).hasMatch() && ok && id > 0)
            return id;
    }
    return std::nullopt;
}

void setError(QString *error, const char *text)
{
    if (error)
        *error = QString::fromUtf8(text);
}

} // namespace

std::optional<PairingDetails> PairingDetails::fromJson(const QJsonValue &json, QString *error)
{
    if (!json.isObject()) {
        setError(error, "Server response was not readable.");
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    const QJsonValue id = object.value(QLatin1String("fleet_secret_id"));
    const QJsonValue preview = object.value(QLatin1String("secret_preview"));
    const QJsonValue photographer = object.value(QLatin1String("photographer"));
    if (id.isUndefined() || id.isNull() || !preview.isString() || !photographer.isString()) {
        setError(error, "Server response was missing pairing details.");
        return std::nullopt;
    }
    const std::optional<qint64> secretId = positiveId(id);
    if (!secretId) {
        setError(error, "Server returned an invalid secret id.");
        return std::nullopt;
    }
    PairingDetails details{*secretId, preview.toString(), photographer.toString()};
    if (const QJsonValue key = object.value(QLatin1String("release_key")); key.isString() && !key.toString().isEmpty())
        details.releaseKey = key.toString();
    return details;
}

QJsonObject PairingDetails::toJson() const
{
    return JsonWriter()
        .putInteger(QStringLiteral("fleet_secret_id"), secretId)
        .putString(QStringLiteral("secret_preview"), secretPreview)
        .putString(QStringLiteral("photographer"), tenantCode)
        .putString(QStringLiteral("release_key"), releaseKey)
        .object();
}

} // namespace vesk
