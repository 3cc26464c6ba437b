#pragma once

#include "wire/policy/RetentionRule.h"

#include <QObject>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class FolderRetentionService;

// The Folder Cleanup screen: this Mac's cleanup rules and the policy's, each with what its
// last run did, and the edits of this Mac's rules. A rule is checked before it is saved: the
// service's folder check, an age of at least an hour, a name. Without the service (a test, a
// screenshot run) the screen shows its empty state and saves nothing.
class FolderCleanupModel : public QObject {
    Q_OBJECT
public:
    struct Row {
        RetentionRule rule;
        bool fromPolicy = false; // read-only here
        QString title;
        QString summary; // folder, age, filter, what it does with the files
        QString status;  // the last run, or that none ran yet
    };

    explicit FolderCleanupModel(FolderRetentionService *service, QObject *parent = nullptr);

    bool isAvailable() const { return m_service != nullptr; }
    // This Mac's rules, then the policy's.
    QList<Row> rows() const;
    QString emptyText() const;
    // "Sweeping…", the last sweep's time, or that none ran.
    QString sweepText() const;
    // The service's log, newest first.
    QStringList logLines() const;

    // Why `draft` cannot be saved, or none.
    std::optional<QString> problem(const RetentionRule &draft) const;
    // Saves `draft` (a new id adds it) when it has no problem; the refusal is editError().
    bool save(const RetentionRule &draft);
    void remove(const QUuid &id);
    QCoro::Task<> sweepNow();
    const QString &editError() const { return m_editError; }

    // "all files", "pictures", "videos", "pictures and videos".
    static QString filterLabel(RetentionRule::FileFilter filter);

signals:
    void changed();

private:
    Row row(const RetentionRule &rule, bool fromPolicy) const;

    FolderRetentionService *m_service; // outlives the console
    QString m_editError;
};

} // namespace vesk
