#include "wire/HeartbeatPayload.h"

#include <QJsonDocument>

namespace vesk {

namespace {

const QString kEventcode = QStringLiteral("eventcode");
const QString kSerial = QStringLiteral("serial");
const QString kApp = QStringLiteral("app");
const QString kVersion = QStringLiteral("version");
const QString kState = QStringLiteral("state");

void setError(QString *error, QString message)
{
    if (error)
        *error = std::move(message);
}

std::optional<QString> requiredString(const QJsonObject &object, const QString &key, QString *error)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd()) {
        setError(error, QStringLiteral("Missing key \"%1\"").arg(key));
        return std::nullopt;
    }
    if (!it->isString()) {
        setError(error, QStringLiteral("Expected a string for \"%1\"").arg(key));
        return std::nullopt;
    }
    return it->toString();
}

} // namespace

QJsonObject HeartbeatPayload::toJson() const
{
    QJsonObject stateObject;
    for (auto it = state.begin(); it != state.end(); ++it)
        stateObject.insert(it.key(), it.value().toJson());
    return QJsonObject{{kEventcode, eventcode}, {kSerial, serial}, {kApp, app}, {kVersion, version},
                       {kState, stateObject}};
}

std::optional<QByteArray> HeartbeatPayload::encode(QString *error) const
{
    // Qt would write an unpaired surrogate as a "\ud800" escape that strict servers reject;
    // such text has no Unicode form, so it is refused here instead of sent.
    const auto check = [error](const QString &where, const QString &text) {
        if (text.isValidUtf16())
            return true;
        setError(error, QStringLiteral("The text of \"%1\" is not valid Unicode").arg(where));
        return false;
    };
    if (!check(kEventcode, eventcode) || !check(kSerial, serial) || !check(kApp, app) || !check(kVersion, version))
        return std::nullopt;
    for (auto it = state.begin(); it != state.end(); ++it) {
        const QString where = kState + QLatin1Char('.') + it.key();
        if (!check(where, it.key()))
            return std::nullopt;
        const auto *text = std::get_if<QString>(&it.value().value());
        if (text && !check(where, *text))
            return std::nullopt;
    }
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<HeartbeatPayload> HeartbeatPayload::fromJson(const QJsonObject &object, QString *error)
{
    HeartbeatPayload payload;
    const std::pair<const QString &, QString &> texts[] = {{kEventcode, payload.eventcode},
                                                           {kSerial, payload.serial},
                                                           {kApp, payload.app},
                                                           {kVersion, payload.version}};
    for (const auto &[key, field] : texts) {
        auto text = requiredString(object, key, error);
        if (!text)
            return std::nullopt;
        field = std::move(*text);
    }

    const auto stateIt = object.constFind(kState);
    if (stateIt == object.constEnd()) {
        setError(error, QStringLiteral("Missing key \"%1\"").arg(kState));
        return std::nullopt;
    }
    if (!stateIt->isObject()) {
        setError(error, QStringLiteral("Expected an object for \"%1\"").arg(kState));
        return std::nullopt;
    }
    const QJsonObject stateObject = stateIt->toObject();
    for (auto it = stateObject.begin(); it != stateObject.end(); ++it) {
        QString valueError;
        auto value = HeartbeatStateValue::fromJson(it.value(), &valueError);
        if (!value) {
            setError(error, QStringLiteral("%1 for \"%2.%3\"").arg(valueError, kState, it.key()));
            return std::nullopt;
        }
        payload.state.insert(it.key(), std::move(*value));
    }
    return payload;
}

} // namespace vesk
