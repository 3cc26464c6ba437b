#pragma once

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <optional>

namespace vesk {

// One folder-cleanup rule: files older than an age are removed from a folder. Carried
// by the device policy and kept in this Mac's own list; every key may be absent.
struct RetentionRule {
    enum class FileFilter { all, images, videos, media };

    QUuid id = QUuid::createUuid();
    QString name = QStringLiteral("New Cleanup Rule");
    QString folderPath; // a leading ~ is expanded when swept
    bool enabled = true;
    bool dryRun = true;
    int maxAgeHours = 72;
    FileFilter fileFilter = FileFilter::all;
    bool includeSubfolders = true;
    bool removeEmptyFolders = false;
    bool useTrash = true;
    int keepNewestCount = 0;

    static QString rawValue(FileFilter filter);
    static std::optional<FileFilter> filterFromRawValue(const QString &raw);

    static std::optional<RetentionRule> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const RetentionRule &) const = default;
};

} // namespace vesk
