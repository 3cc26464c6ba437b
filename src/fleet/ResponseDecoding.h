#pragma once

#include "fleet/APIResult.h"
#include "fleet/FailureText.h"
#include "wire/KeyCaseConversion.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vesk {

// How a response body's keys meet the record's field names.
enum class KeyStyle {
    wire,          // the record reads the snake_case keys itself
    convertedWire, // snake_case keys are converted to camelCase first (policy and update records)
};

// Decodes a response body into T (a record with `static std::optional<T> fromJson(value, error)`).
// Any failure is the operation's decode failure, labelled for the log.
template <class T> APIResult<T> decodeResponse(const QString &label, const QByteArray &body, KeyStyle style)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return APIError::serverError(decodeFailureMessage(label, body));
    QJsonValue root = document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
    if (style == KeyStyle::convertedWire)
        root = KeyCase::fromSnakeCase(root);
    std::optional<T> record = T::fromJson(root, nullptr);
    if (!record)
        return APIError::serverError(decodeFailureMessage(label, body));
    return std::move(*record);
}

} // namespace vesk
