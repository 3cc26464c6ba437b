#include "wire/KeyCaseConversion.h"

#include <QJsonArray>
#include <QJsonObject>

#include <functional>

namespace vesk::KeyCase {

namespace {

QJsonValue convertKeys(const QJsonValue &tree, const std::function<QString(const QString &)> &convert)
{
    if (tree.isArray()) {
        QJsonArray converted;
        for (const QJsonValue &item : tree.toArray())
            converted.append(convertKeys(item, convert));
        return converted;
    }
    if (tree.isObject()) {
        const QJsonObject object = tree.toObject();
        QJsonObject converted;
        for (auto it = object.begin(); it != object.end(); ++it)
            converted.insert(convert(it.key()), convertKeys(it.value(), convert));
        return converted;
    }
    return tree;
}

} // namespace

QString snakeToCamel(const QString &key)
{
    qsizetype first = 0;
    while (first < key.size() && key.at(first) == QLatin1Char('_'))
        ++first;
    if (first == key.size())
        return key;
    qsizetype last = key.size() - 1;
    while (key.at(last) == QLatin1Char('_'))
        --last;
    const QStringList words = key.mid(first, last - first + 1).split(QLatin1Char('_'), Qt::SkipEmptyParts);
    if (words.size() == 1)
        return key;
    QString joined = words.first().toLower();
    for (qsizetype i = 1; i < words.size(); ++i)
        joined += words.at(i).left(1).toUpper() + words.at(i).mid(1).toLower();
    return key.left(first) + joined + key.mid(last + 1);
}

QString camelToSnake(const QString &key)
{
    if (key.isEmpty())
        return key;
    QStringList words;
    qsizetype start = 0;
    for (qsizetype i = 1; i < key.size(); ++i) {
        const QChar previous = key.at(i - 1);
        const QChar current = key.at(i);
        const bool nextIsLower = i + 1 < key.size() && key.at(i + 1).isLower();
        // A word starts at an upper-case letter after a lower-case one ("keepAlive"), or at
        // the last capital of an acronym that a lower-case letter follows ("URLValue").
        if (current.isUpper() && (!previous.isUpper() || nextIsLower)) {
            words.append(key.mid(start, i - start));
            start = i;
        }
    }
    words.append(key.mid(start));
    return words.join(QLatin1Char('_')).toLower();
}

QJsonValue fromSnakeCase(const QJsonValue &tree)
{
    return convertKeys(tree, snakeToCamel);
}

QJsonValue toSnakeCase(const QJsonValue &tree)
{
    return convertKeys(tree, camelToSnake);
}

QJsonValue toReadableSnakeCase(const QJsonValue &tree)
{
    return convertKeys(tree, [](const QString &key) {
        const QString snake = camelToSnake(key);
        return snakeToCamel(snake) == key ? snake : key;
    });
}

} // namespace vesk::KeyCase
