#include "local/SettingsSnapshot.h"

#include "local/PreferenceFields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>
#include <limits>

namespace vesk {

namespace fields = preference_fields;

QString transferErrorText(TransferError error)
{
    switch (error) {
    case TransferError::unreadableFile:
        return QStringLiteral("The file could not be read.");
    case TransferError::notASettingsFile:
        break;
    }
    return QStringLiteral("This isn't a Vesk Warden settings file.");
}

namespace {

QString isoText(const QDateTime &moment)
{
    return moment.toUTC().toString(Qt::ISODate);
}

std::optional<QDateTime> fromIsoText(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    QDateTime moment = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

// A whole number that fits an int; 3.0 counts, 3.5 and "3" do not.
std::optional<int> integerOf(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

QJsonObject encodePreferences(const TransferPreferences &p)
{
    QJsonObject out;
    for (const auto &f : fields::bools) {
        if (p.*f.member)
            out.insert(QLatin1String(f.name), *(p.*f.member));
    }
    for (const auto &f : fields::strings) {
        if (p.*f.member)
            out.insert(QLatin1String(f.name), *(p.*f.member));
    }
    for (const auto &f : fields::integers) {
        if (p.*f.member)
            out.insert(QLatin1String(f.name), *(p.*f.member));
    }
    if (const auto &pins = p.*fields::pinnedVersions.member) {
        QJsonObject map;
        for (auto it = pins->cbegin(); it != pins->cend(); ++it)
            map.insert(it.key(), it.value());
        out.insert(QLatin1String(fields::pinnedVersions.name), map);
    }
    return out;
}

// False when a present field has the wrong type. Null counts as absent.
bool decodePreferences(const QJsonObject &in, TransferPreferences &p)
{
    const auto present = [&in](const char *name) {
        const QJsonValue value = in.value(QLatin1String(name));
        return value.isUndefined() || value.isNull() ? std::optional<QJsonValue>() : std::optional(value);
    };
    for (const auto &f : fields::bools) {
        if (const auto value = present(f.name)) {
            if (!value->isBool())
                return false;
            p.*f.member = value->toBool();
        }
    }
    for (const auto &f : fields::strings) {
        if (const auto value = present(f.name)) {
            if (!value->isString())
                return false;
            p.*f.member = value->toString();
        }
    }
    for (const auto &f : fields::integers) {
        if (const auto value = present(f.name)) {
            const std::optional<int> number = integerOf(*value);
            if (!number)
                return false;
            p.*f.member = *number;
        }
    }
    if (const auto value = present(fields::pinnedVersions.name)) {
        if (!value->isObject())
            return false;
        QMap<QString, QString> pins;
        const QJsonObject map = value->toObject();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (!it.value().isString())
                return false;
            pins.insert(it.key(), it.value().toString());
        }
        p.*fields::pinnedVersions.member = pins;
    }
    return true;
}

template <class T>
QJsonArray encodeList(const QList<T> &items)
{
    QJsonArray array;
    for (const T &item : items)
        array.append(item.toJson());
    return array;
}

// None when the key is not a list or any element does not decode.
template <class T>
std::optional<QList<T>> decodeList(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isArray())
        return std::nullopt;
    QList<T> items;
    const QJsonArray array = value.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        std::optional<T> item = T::fromJson(array.at(i), nullptr);
        if (!item)
            return std::nullopt;
        items.append(std::move(*item));
    }
    return items;
}

} // namespace

QByteArray SettingsSnapshot::encode() const
{
    QJsonObject root;
    root.insert(QLatin1String("formatVersion"), formatVersion);
    if (exportedAt)
        root.insert(QLatin1String("exportedAt"), isoText(*exportedAt));
    if (appVersion)
        root.insert(QLatin1String("appVersion"), *appVersion);
    root.insert(QLatin1String("preferences"), encodePreferences(preferences));
    root.insert(QLatin1String("policies"), encodeList(policies));
    root.insert(QLatin1String("retentionRules"), encodeList(retentionRules));
    root.insert(QLatin1String("monitoredShares"), encodeList(monitoredShares));
    // QJsonObject keeps its keys sorted, so the file reads the same on every machine.
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::variant<SettingsSnapshot, TransferError> SettingsSnapshot::decode(const QByteArray &bytes)
{
    const TransferError notOurs = TransferError::notASettingsFile;
    if (bytes.size() > maxFileBytes)
        return notOurs;
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return notOurs;
    const QJsonObject root = document.object();

    SettingsSnapshot snapshot;
    const std::optional<int> version = integerOf(root.value(QLatin1String("formatVersion")));
    if (!version)
        return notOurs;
    snapshot.formatVersion = *version;

    const QJsonValue exported = root.value(QLatin1String("exportedAt"));
    if (!exported.isUndefined() && !exported.isNull()) {
        snapshot.exportedAt = fromIsoText(exported);
        if (!snapshot.exportedAt)
            return notOurs;
    }
    const QJsonValue appVersionValue = root.value(QLatin1String("appVersion"));
    if (!appVersionValue.isUndefined() && !appVersionValue.isNull()) {
        if (!appVersionValue.isString())
            return notOurs;
        snapshot.appVersion = appVersionValue.toString();
    }

    const QJsonValue preferences = root.value(QLatin1String("preferences"));
    if (!preferences.isObject() || !decodePreferences(preferences.toObject(), snapshot.preferences))
        return notOurs;

    auto policies = decodeList<DevicePolicy>(root, "policies");
    auto rules = decodeList<RetentionRule>(root, "retentionRules");
    auto shares = decodeList<MonitoredShare>(root, "monitoredShares");
    if (!policies || !rules || !shares)
        return notOurs;
    // Each share's id names its keychain password: two shares with one id are no file of ours.
    QSet<QUuid> shareIds;
    for (const MonitoredShare &share : std::as_const(*shares)) {
        if (shareIds.contains(share.id))
            return notOurs;
        shareIds.insert(share.id);
    }
    snapshot.policies = std::move(*policies);
    snapshot.retentionRules = std::move(*rules);
    snapshot.monitoredShares = std::move(*shares);
    return snapshot;
}

} // namespace vesk
