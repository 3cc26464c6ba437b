#pragma once

#include "wire/JsonReader.h"
#include "wire/policy/Weekdays.h"

#include <QUuid>

#include <optional>

namespace vesk::PolicyJson {

// Reading helpers shared by the policy records, on top of JsonReader.

// True when the key holds a value other than null.
bool has(const JsonReader &in, const QString &key);
// The UUID under `key`; a fresh one when the key is absent.
QUuid uuidOrNew(JsonReader &in, const QString &key);
Weekdays requiredWeekdays(JsonReader &in, const QString &key);
Weekdays weekdaysOr(JsonReader &in, const QString &key, Weekdays fallback);

// A string enumeration: `parse` answers none for an unknown raw value, which fails the record.
template <class E, class Parse>
E enumOr(JsonReader &in, const QString &key, E fallback, Parse parse)
{
    const std::optional<QString> raw = in.optionalString(key);
    if (!raw)
        return fallback;
    const std::optional<E> value = parse(*raw);
    if (!value) {
        in.fail(key, QStringLiteral("unknown value \"%1\"").arg(*raw));
        return fallback;
    }
    return *value;
}

} // namespace vesk::PolicyJson
