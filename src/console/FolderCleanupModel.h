#pragma once

#include "console/LocalListModel.h"
#include "wire/policy/RetentionRule.h"

#include <qcoro/qcorotask.h>

namespace vesk {

class FolderRetentionService;

// The Folder Cleanup screen: this Mac's cleanup rules and the policy's, each with what its
// last run did, and the edits of this Mac's rules. A rule is checked before it is saved: the
// service's folder check, an age of at least an hour, a name.
class FolderCleanupModel : public LocalListModel {
    Q_OBJECT
public:
    explicit FolderCleanupModel(FolderRetentionService *service, QObject *parent = nullptr);

    QList<Row> rows() const override;
    // "Sweeping…", the last sweep's time, or that none ran.
    QString activityText() const override;
    QStringList logLines() const override;
    std::optional<RetentionRule> ownRule(const QUuid &id) const;

    // Why `draft` cannot be saved, or none.
    std::optional<QString> problem(const RetentionRule &draft) const;
    // Saves `draft` (a new id adds it) when it has no problem; the refusal is editError().
    bool save(const RetentionRule &draft);
    void remove(const QUuid &id);
    QCoro::Task<> sweepNow();
    const QString &editError() const { return m_editError; }

    // "all files", "pictures", "videos", "pictures and videos".
    static QString filterLabel(RetentionRule::FileFilter filter);

private:
    Row row(const RetentionRule &rule) const;

    FolderRetentionService *m_service; // outlives the console
    QString m_editError;
};

} // namespace vesk
