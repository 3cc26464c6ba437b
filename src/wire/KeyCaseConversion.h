#pragma once

#include <QJsonValue>
#include <QString>

namespace vesk {

// The key conversion of the fleet's policy and update records: the server writes
// snake_case, the records use camelCase field names. The conversion is purely
// textual and runs over every object key of a tree, so a field whose camelCase name
// is not the conversion of its snake_case form (maxMemoryMB: "max_memory_mb" turns
// into "maxMemoryMb") is only matched when the server sends the field name itself.
namespace KeyCase {

// "keep_alive_rules" -> "keepAliveRules"; leading and trailing underscores stay; a
// key without an inner underscore passes unchanged; later words are capitalised and
// the rest of each word lowercased ("max_memory_MB" -> "maxMemoryMb").
QString snakeToCamel(const QString &key);
// "keepAliveRules" -> "keep_alive_rules", "maxMemoryMB" -> "max_memory_mb",
// "myURLValue" -> "my_url_value".
QString camelToSnake(const QString &key);

// Every object key of the tree converted; values are left as they are.
QJsonValue fromSnakeCase(const QJsonValue &tree);
QJsonValue toSnakeCase(const QJsonValue &tree);
// Like toSnakeCase, except that a key whose snake_case form would not convert back to it
// (maxMemoryMB) is written as it is, so fromSnakeCase gives back every key of the tree.
QJsonValue toReadableSnakeCase(const QJsonValue &tree);

} // namespace KeyCase

} // namespace vesk
