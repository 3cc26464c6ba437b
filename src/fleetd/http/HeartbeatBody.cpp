#include "fleetd/http/HeartbeatBody.h"

#include <QJsonValue>

#include <cmath>

namespace vesk::fleetd {

namespace {

// The agent decodes a state value as a boolean, an integer or a string, nothing else.
bool isStateScalar(const QJsonValue &value)
{
    if (value.isBool() || value.isString())
        return true;
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::isfinite(number) && std::trunc(number) == number;
}

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

} // namespace

HeartbeatBody::Result HeartbeatBody::parse(const QJsonObject &body)
{
    Result result;
    HeartbeatRecord record;
    const std::pair<QLatin1String, QString *> strings[] = {
        {QLatin1String("eventcode"), &record.eventCode},
        {QLatin1String("serial"), &record.serial},
        {QLatin1String("app"), &record.app},
        {QLatin1String("version"), &record.version},
    };
    for (const auto &[key, field] : strings) {
        const auto it = body.constFind(key);
        if (it == body.constEnd()) {
            result.error = QStringLiteral("missing \"%1\"").arg(key);
            return result;
        }
        if (!it->isString()) {
            result.error = QStringLiteral("\"%1\" must be a string").arg(key);
            return result;
        }
        *field = it->toString();
    }

    const auto state = body.constFind(QLatin1String("state"));
    if (state == body.constEnd()) {
        result.error = QStringLiteral("missing \"state\"");
        return result;
    }
    if (!state->isObject()) {
        result.error = QStringLiteral("\"state\" must be an object");
        return result;
    }
    record.state = state->toObject();
    for (auto it = record.state.constBegin(); it != record.state.constEnd(); ++it) {
        if (!isStateScalar(it.value())) {
            result.error = QStringLiteral("\"state\" member \"%1\" must be a string, integer or boolean").arg(it.key());
            return result;
        }
    }

    if (record.serial.trimmed().isEmpty()) {
        result.error = QStringLiteral("\"serial\" must not be empty");
        return result;
    }
    // The serial keys the machine directory and is printed in tab-separated listings.
    if (hasControlCharacter(record.serial)) {
        result.error = QStringLiteral("\"serial\" must not contain control characters");
        return result;
    }

    result.record = std::move(record);
    return result;
}

} // namespace vesk::fleetd
