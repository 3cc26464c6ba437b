#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// The folder of earlier versions of payload targets: "<name>-yyyyMMdd-HHmmss" per backup,
// the newest three per target name kept. Blocking file work: worker threads only.
class PayloadBackupStore {
public:
    static constexpr int kept = 3;

    explicit PayloadBackupStore(QString folder) : m_folder(std::move(folder)) {}

    const QString &folder() const { return m_folder; }

    static QString backupName(const QString &targetName, const QDateTime &localTime);
    // Creates the store when missing; why it could not, or none.
    std::optional<QString> ensureExists() const;
    // A path for a new backup that nothing occupies yet; a second backup within the same
    // second gets "-2", "-3", … so it still sorts after the first.
    QString freshBackupPath(const QString &targetName, const QDateTime &localTime) const;
    // The target's backups, oldest first (by name). Only names that carry a time stamp
    // count, so the backups of "Lumora-Extra" are not taken for backups of "Lumora".
    QStringList backupsOf(const QString &targetName) const;
    // Deletes all but the newest `kept` backups of the target; deletion errors are ignored.
    void prune(const QString &targetName) const;

private:
    QString m_folder;
};

} // namespace vesk
