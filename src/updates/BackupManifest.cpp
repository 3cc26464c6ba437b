#include "updates/BackupManifest.h"

#include "platform/AtomicFile.h"
#include "platform/LogCategories.h"
#include "updates/VersionRule.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vesk {

namespace {

QJsonObject toJson(const AppBackup &b)
{
    return QJsonObject{{QStringLiteral("bundleId"), b.bundleId},
                       {QStringLiteral("name"), b.name},
                       {QStringLiteral("previousVersion"), b.previousVersion},
                       {QStringLiteral("previousBuild"), b.previousBuild},
                       {QStringLiteral("backupFileName"), b.backupFileName},
                       {QStringLiteral("originalPath"), b.originalPath},
                       {QStringLiteral("backedUpAt"), b.backedUpAt.toUTC().toString(Qt::ISODate)}};
}

std::optional<AppBackup> fromJson(const QJsonValue &value)
{
    const QJsonObject o = value.toObject();
    AppBackup b;
    b.bundleId = o.value(QStringLiteral("bundleId")).toString();
    b.name = o.value(QStringLiteral("name")).toString();
    b.previousVersion = o.value(QStringLiteral("previousVersion")).toString();
    b.previousBuild = o.value(QStringLiteral("previousBuild")).toString();
    b.backupFileName = o.value(QStringLiteral("backupFileName")).toString();
    b.originalPath = o.value(QStringLiteral("originalPath")).toString();
    b.backedUpAt = QDateTime::fromString(o.value(QStringLiteral("backedUpAt")).toString(), Qt::ISODate);
    // An entry that cannot name its copy and its place cannot be restored.
    if (b.bundleId.isEmpty() || b.backupFileName.isEmpty() || b.originalPath.isEmpty())
        return std::nullopt;
    return b;
}

} // namespace

QList<AppBackup> BackupManifest::load() const
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        qCWarning(lcUpdate).noquote() << "The backup manifest" << path() << "does not read; taken as empty";
        return {};
    }
    QList<AppBackup> backups;
    for (const QJsonValue &value : document.array()) {
        if (std::optional<AppBackup> backup = fromJson(value))
            backups.append(std::move(*backup));
    }
    return backups;
}

std::optional<AppBackup> BackupManifest::entry(const QString &bundleId) const
{
    for (const AppBackup &backup : load()) {
        if (backup.bundleId == bundleId)
            return backup;
    }
    return std::nullopt;
}

bool BackupManifest::put(const QString &bundleId, const std::optional<AppBackup> &backup) const
{
    QJsonArray entries;
    for (const AppBackup &existing : load()) {
        if (existing.bundleId != bundleId)
            entries.append(toJson(existing));
    }
    if (backup)
        entries.append(toJson(*backup));
    QDir().mkpath(m_dir);
    return !AtomicFile::write(path(), QJsonDocument(entries).toJson(QJsonDocument::Indented));
}

QString BackupManifest::backupFileName(const QString &bundleFileName, const QString &version, const QString &build)
{
    QString base = bundleFileName;
    if (base.endsWith(QLatin1String(".app")))
        base.chop(4);
    const QString number = VersionRule::buildNumber(build).value_or(build);
    return base + QLatin1Char('_') + VersionRule::numericPart(version) + QStringLiteral("_b") + number +
           QStringLiteral(".app");
}

} // namespace vesk
