#include "wire/policy/RetentionRule.h"

#include "wire/JsonWriter.h"
#include "wire/policy/PolicyJson.h"

namespace vesk {

namespace {
bool boolOr(JsonReader &in, const QString &key, bool fallback)
{
    return PolicyJson::has(in, key) ? in.requiredBool(key) : fallback;
}
} // namespace

QString RetentionRule::rawValue(FileFilter filter)
{
    switch (filter) {
    case FileFilter::all:
        return QStringLiteral("all");
    case FileFilter::images:
        return QStringLiteral("images");
    case FileFilter::videos:
        return QStringLiteral("videos");
    case FileFilter::media:
        return QStringLiteral("media");
    }
    return {};
}

std::optional<RetentionRule::FileFilter> RetentionRule::filterFromRawValue(const QString &raw)
{
    for (FileFilter filter : {FileFilter::all, FileFilter::images, FileFilter::videos, FileFilter::media}) {
        if (rawValue(filter) == raw)
            return filter;
    }
    return std::nullopt;
}

std::optional<RetentionRule> RetentionRule::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader in(json, QStringLiteral("RetentionRule"));
    RetentionRule r;
    r.id = PolicyJson::uuidOrNew(in, QStringLiteral("id"));
    r.name = in.optionalString(QStringLiteral("name")).value_or(r.name);
    r.folderPath = in.optionalString(QStringLiteral("folderPath")).value_or(QString());
    r.enabled = boolOr(in, QStringLiteral("enabled"), true);
    r.dryRun = boolOr(in, QStringLiteral("dryRun"), true);
    r.maxAgeHours = int(in.optionalInteger(QStringLiteral("maxAgeHours")).value_or(72));
    r.fileFilter = PolicyJson::enumOr(in, QStringLiteral("fileFilter"), FileFilter::all, filterFromRawValue);
    r.includeSubfolders = boolOr(in, QStringLiteral("includeSubfolders"), true);
    r.removeEmptyFolders = boolOr(in, QStringLiteral("removeEmptyFolders"), false);
    r.useTrash = boolOr(in, QStringLiteral("useTrash"), true);
    r.keepNewestCount = int(in.optionalInteger(QStringLiteral("keepNewestCount")).value_or(0));
    return in.finish(std::move(r), error);
}

QJsonObject RetentionRule::toJson() const
{
    return JsonWriter()
        .putUuid(QStringLiteral("id"), id)
        .putString(QStringLiteral("name"), name)
        .putString(QStringLiteral("folderPath"), folderPath)
        .putBool(QStringLiteral("enabled"), enabled)
        .putBool(QStringLiteral("dryRun"), dryRun)
        .putInteger(QStringLiteral("maxAgeHours"), maxAgeHours)
        .putString(QStringLiteral("fileFilter"), rawValue(fileFilter))
        .putBool(QStringLiteral("includeSubfolders"), includeSubfolders)
        .putBool(QStringLiteral("removeEmptyFolders"), removeEmptyFolders)
        .putBool(QStringLiteral("useTrash"), useTrash)
        .putInteger(QStringLiteral("keepNewestCount"), keepNewestCount)
        .object();
}

} // namespace vesk
