// Every record's valid sample, broken in every way we can think of: each value swapped
// for another type or an extreme number, each key removed, each text truncated, and
// nesting far beyond the JSON parser's limit. Decoding must come back cleanly: either a
// record that survives another round trip, or an error that names the record.
#include "RecordCodecs.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <limits>
#include <variant>

using vesk::test::RecordCodec;

namespace {

using PathStep = std::variant<QString, qsizetype>;
using Path = QList<PathStep>;

constexpr int deepNesting = 10000;

QJsonValue deeplyNestedArray()
{
    QJsonArray inner;
    for (int depth = 0; depth < deepNesting; ++depth)
        inner = QJsonArray{inner};
    return inner;
}

void collectPaths(const QJsonValue &value, const Path &prefix, QList<Path> &paths)
{
    paths.append(prefix);
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            collectPaths(it.value(), Path(prefix) << PathStep(it.key()), paths);
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            collectPaths(array.at(i), Path(prefix) << PathStep(i), paths);
    }
}

QJsonValue valueAt(const QJsonValue &root, const Path &path)
{
    QJsonValue value = root;
    for (const PathStep &step : path) {
        if (const QString *key = std::get_if<QString>(&step))
            value = value.toObject().value(*key);
        else
            value = value.toArray().at(std::get<qsizetype>(step));
    }
    return value;
}

// `root` with the value at `path` replaced, or removed when `replacement` is none.
QJsonValue replacedAt(const QJsonValue &root, const Path &path, qsizetype depth,
                      const std::optional<QJsonValue> &replacement)
{
    if (depth == path.size())
        return replacement.value_or(QJsonValue(QJsonValue::Undefined));
    const PathStep &step = path.at(depth);
    if (const QString *key = std::get_if<QString>(&step)) {
        QJsonObject object = root.toObject();
        const bool removeHere = !replacement && depth + 1 == path.size();
        if (removeHere)
            object.remove(*key);
        else
            object.insert(*key, replacedAt(object.value(*key), path, depth + 1, replacement));
        return object;
    }
    QJsonArray array = root.toArray();
    const qsizetype index = std::get<qsizetype>(step);
    if (!replacement && depth + 1 == path.size())
        array.removeAt(index);
    else
        array.replace(index, replacedAt(array.at(index), path, depth + 1, replacement));
    return array;
}

QList<QJsonValue> swapValues()
{
    return {
        QJsonValue(QJsonValue::Null),
        QJsonArray{},
        QJsonArray{QStringLiteral("x"), 1},
        QJsonObject{},
        QJsonObject{{QStringLiteral("serial"), QStringLiteral("S")}},
        QStringLiteral(""),
        QStringLiteral("not a number"),
        QStringLiteral("12.5"),
        QStringLiteral("-9223372036854775809"),
        QStringLiteral("1e400"),
        QStringLiteral("nan"),
        true,
        QJsonValue(qint64(-1)),
        QJsonValue(0.5),
        QJsonValue(std::numeric_limits<qint64>::min()),
        QJsonValue(9.3e18),
        QJsonValue(-9.3e18),
        QJsonValue(1e308),
        QJsonValue(-1e308),
        QJsonValue(std::numeric_limits<double>::quiet_NaN()),
        QJsonValue(std::numeric_limits<double>::infinity()),
        deeplyNestedArray(),
    };
}

struct Outcomes {
    int decoded = 0;
    int refused = 0;
};

void expectCleanDecode(const RecordCodec &codec, const QJsonValue &mutated, const QString &what, Outcomes &outcomes)
{
    QString error;
    const std::optional<QJsonObject> encoded = codec.decodeAndEncode(mutated, &error);
    if (encoded) {
        ++outcomes.decoded;
        EXPECT_TRUE(codec.roundTripsStably(mutated)) << codec.name.toStdString() << " " << what.toStdString();
    } else {
        ++outcomes.refused;
        EXPECT_TRUE(error.startsWith(codec.name)) << codec.name.toStdString() << " " << what.toStdString()
                                                  << ": error \"" << error.toStdString() << "\"";
    }
}

QString describe(const Path &path)
{
    QString text = QStringLiteral("$");
    for (const PathStep &step : path) {
        if (const QString *key = std::get_if<QString>(&step))
            text += QLatin1Char('.') + *key;
        else
            text += QStringLiteral("[%1]").arg(std::get<qsizetype>(step));
    }
    return text;
}

} // namespace

TEST(RecordMutations, SwappedRemovedAndTruncatedValuesDecodeCleanly)
{
    const QList<QJsonValue> swaps = swapValues();
    for (const RecordCodec &codec : vesk::test::allRecordCodecs()) {
        const QJsonValue sample = vesk::test::parseObject(codec.sample);
        QList<Path> paths;
        collectPaths(sample, {}, paths);
        Outcomes outcomes;
        for (const Path &path : paths) {
            for (qsizetype i = 0; i < swaps.size(); ++i)
                expectCleanDecode(codec, replacedAt(sample, path, 0, swaps.at(i)),
                                  describe(path) + QStringLiteral(" swapped for #%1").arg(i), outcomes);
            if (!path.isEmpty())
                expectCleanDecode(codec, replacedAt(sample, path, 0, std::nullopt), describe(path) + " removed", outcomes);
            const QJsonValue original = valueAt(sample, path);
            if (original.isString()) {
                const QString text = original.toString();
                for (qsizetype length = 0; length < text.size(); ++length)
                    expectCleanDecode(codec, replacedAt(sample, path, 0, QJsonValue(text.left(length))),
                                      describe(path) + QStringLiteral(" cut to %1").arg(length), outcomes);
            }
        }
        // Both kinds of outcome must occur, or the mutations missed the record's rules.
        EXPECT_GT(outcomes.decoded, 0) << codec.name.toStdString();
        EXPECT_GT(outcomes.refused, 0) << codec.name.toStdString();
    }
}

TEST(RecordMutations, TruncatedDocumentsAndDeepNestingAreRefusedCleanly)
{
    QByteArray deepText(deepNesting, '[');
    deepText.append(QByteArray(deepNesting, ']'));
    QJsonParseError parseError;
    QJsonDocument::fromJson(deepText, &parseError);
    EXPECT_EQ(parseError.error, QJsonParseError::DeepNesting);

    for (const RecordCodec &codec : vesk::test::allRecordCodecs()) {
        Outcomes outcomes;
        for (qsizetype length = 0; length < codec.sample.size(); ++length) {
            const QJsonDocument document = QJsonDocument::fromJson(codec.sample.left(length));
            const QJsonValue value = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
            expectCleanDecode(codec, value, QStringLiteral("cut to %1 bytes").arg(length), outcomes);
        }
        expectCleanDecode(codec, deeplyNestedArray(), QStringLiteral("deep array"), outcomes);
        EXPECT_EQ(outcomes.decoded, 0) << codec.name.toStdString() << ": no truncation is a whole record";
    }
}
