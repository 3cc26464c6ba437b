#include "commands/payload/PayloadBackupStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <filesystem>

namespace vesk {

QString PayloadBackupStore::backupName(const QString &targetName, const QDateTime &localTime)
{
    return targetName + QLatin1Char('-') + localTime.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

std::optional<QString> PayloadBackupStore::ensureExists() const
{
    if (QFileInfo(m_folder).isDir() || QDir().mkpath(m_folder))
        return std::nullopt;
    return QStringLiteral("Could not create the backup folder %1").arg(m_folder);
}

QString PayloadBackupStore::freshBackupPath(const QString &targetName, const QDateTime &localTime) const
{
    const QString base = m_folder + QLatin1Char('/') + backupName(targetName, localTime);
    QString candidate = base;
    for (int n = 2; QFileInfo(candidate).exists() || QFileInfo(candidate).isSymLink(); ++n)
        candidate = base + QLatin1Char('-') + QString::number(n);
    return candidate;
}

QStringList PayloadBackupStore::backupsOf(const QString &targetName) const
{
    const QRegularExpression stamped(QStringLiteral("^%1-\\d{8}-\\d{6}(-\\d+)?$")
                                         .arg(QRegularExpression::escape(targetName)));
    QStringList names =
        QDir(m_folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.removeIf([&](const QString &name) { return !stamped.match(name).hasMatch(); });
    names.sort();
    return names;
}

void PayloadBackupStore::prune(const QString &targetName) const
{
    const QStringList names = backupsOf(targetName);
    for (qsizetype i = 0; i + kept < names.size(); ++i) {
        const QString path = m_folder + QLatin1Char('/') + names[i];
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(path).toStdString()), ignored);
    }
}

} // namespace vesk
