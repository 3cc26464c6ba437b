#include "credentials/CredentialSet.h"

#include <QJsonDocument>
#include <QJsonValue>

namespace vesk {

namespace {

void putOptional(QJsonObject &json, const char *key, const std::optional<QString> &value)
{
    if (value)
        json.insert(QLatin1String(key), *value);
}

// false when the key holds something other than a string (absent and null are fine).
bool takeOptional(const QJsonObject &json, const char *key, std::optional<QString> &out)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

} // namespace

QString CredentialSet::tenantCodeFor(const QString &pipeline) const
{
    if (pipeline == pipelines::digitalDownload)
        return kr52Account.value_or(QString());
    if (pipeline == pipelines::alternate)
        return kr53Account.value_or(QString());
    return kr5Account.value_or(QString());
}

QString CredentialSet::eventCodeFor(const QString &pipeline) const
{
    if (pipeline == pipelines::digitalDownload)
        return kr52Location.value_or(QString());
    if (pipeline == pipelines::alternate)
        return kr53Location.value_or(QString());
    return kr5Location.value_or(QString());
}

bool CredentialSet::sameContent(const CredentialSet &other) const
{
    return name == other.name && storeNumber == other.storeNumber && date == other.date
        && kr5Account == other.kr5Account && kr5Location == other.kr5Location && kr52Account == other.kr52Account
        && kr52Location == other.kr52Location && kr53Account == other.kr53Account
        && kr53Location == other.kr53Location;
}

QJsonObject CredentialSet::toJson() const
{
    QJsonObject json;
    json.insert(QStringLiteral("name"), name);
    putOptional(json, "storeNumber", storeNumber);
    putOptional(json, "date", date);
    if (lastReadAt)
        json.insert(QStringLiteral("lastReadAt"), lastReadAt->toUTC().toString(Qt::ISODateWithMs));
    putOptional(json, "kr5Account", kr5Account);
    putOptional(json, "kr5Location", kr5Location);
    putOptional(json, "kr52Account", kr52Account);
    putOptional(json, "kr52Location", kr52Location);
    putOptional(json, "kr53Account", kr53Account);
    putOptional(json, "kr53Location", kr53Location);
    json.insert(QStringLiteral("selectedPipeline"), selectedPipeline);
    return json;
}

std::optional<CredentialSet> CredentialSet::fromJson(const QJsonObject &json)
{
    CredentialSet set;
    const QJsonValue name = json.value(QStringLiteral("name"));
    if (!name.isString())
        return std::nullopt;
    set.name = name.toString();
    std::optional<QString> lastReadAt;
    std::optional<QString> pipeline;
    const bool ok = takeOptional(json, "storeNumber", set.storeNumber) && takeOptional(json, "date", set.date)
        && takeOptional(json, "lastReadAt", lastReadAt) && takeOptional(json, "kr5Account", set.kr5Account)
        && takeOptional(json, "kr5Location", set.kr5Location) && takeOptional(json, "kr52Account", set.kr52Account)
        && takeOptional(json, "kr52Location", set.kr52Location) && takeOptional(json, "kr53Account", set.kr53Account)
        && takeOptional(json, "kr53Location", set.kr53Location) && takeOptional(json, "selectedPipeline", pipeline);
    if (!ok)
        return std::nullopt;
    if (lastReadAt) {
        const QDateTime at = QDateTime::fromString(*lastReadAt, Qt::ISODateWithMs);
        if (!at.isValid())
            return std::nullopt;
        set.lastReadAt = at;
    }
    // A pipeline this build does not know falls back to the default rather than losing the set.
    if (pipeline && pipelines::isKnown(*pipeline))
        set.selectedPipeline = *pipeline;
    return set;
}

namespace pipelines {

QStringList all()
{
    return {watermark, digitalDownload, alternate};
}

bool isKnown(const QString &pipeline)
{
    return all().contains(pipeline);
}

QString label(const QString &pipeline)
{
    if (pipeline == watermark)
        return QStringLiteral("Watermark (KR5)");
    if (pipeline == digitalDownload)
        return QStringLiteral("Digital Download (KR5-2)");
    if (pipeline == alternate)
        return QStringLiteral("Alternate (KR5-3)");
    return pipeline;
}

} // namespace pipelines

QJsonArray credentialSetsToJson(const QList<CredentialSet> &sets)
{
    QJsonArray array;
    for (const CredentialSet &set : sets)
        array.append(set.toJson());
    return array;
}

QList<CredentialSet> credentialSetsFromJson(const QJsonArray &array)
{
    QList<CredentialSet> sets;
    for (const QJsonValue &value : array) {
        const std::optional<CredentialSet> set = CredentialSet::fromJson(value.toObject());
        if (!value.isObject() || !set)
            return {};
        sets.append(*set);
    }
    return sets;
}

std::ostream &operator<<(std::ostream &out, const CredentialSet &set)
{
    return out << QJsonDocument(set.toJson()).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace vesk
