#pragma once

#include "maintenance/FolderPathSafety.h"
#include "local/JsonListFile.h"
#include "platform/LoopRun.h"
#include "policy/EnforcementLog.h"
#include "policy/PolicyConsumers.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QUuid>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

namespace vesk {

class Clock;

// The outcome of a rule's last run.
struct RuleStatus {
    QDateTime lastRun;
    int removedCount = 0;
    qint64 freedBytes = 0;
    bool wasDryRun = false;
    std::optional<QString> error;

    bool operator==(const RuleStatus &) const = default;
};

// Keeps working folders from filling the disk: each enabled rule, this machine's own and
// the policy's, removes (or in a dry run only counts) the files older than its age. Sweeps
// run at start and every 15 minutes; listing and removal run on a worker thread. A refused
// or missing folder never touches the disk; it shows as the rule's error and one log line.
class FolderRetentionService final : public QObject, public PolicyRetentionTarget {
    Q_OBJECT
public:
    struct Dependencies {
        Clock &clock;
        ProtectedFolders protectedFolders;
        QString homeDir;
        QString storageDir; // holds retention_rules.json
    };

    static constexpr std::chrono::seconds period{900};
    static inline const QString fileName = QStringLiteral("retention_rules.json");

    explicit FolderRetentionService(Dependencies deps, QObject *parent = nullptr);
    ~FolderRetentionService() override;

    // Starts the loop, whose first sweep runs at once; nothing while it runs.
    void start();
    void stop();
    bool isRunning() const { return m_loop.isRunning(); }

    // Matched by id; a new id is appended. Each change writes the rules file.
    void addOrUpdateRule(const RetentionRule &rule);
    void removeRule(const QUuid &id);
    // Every enabled rule with a folder, this machine's first; nothing while a sweep runs.
    QCoro::Task<> sweepAll();

    std::optional<QString> validateFolderPath(const QString &path) const { return m_safety.validate(path); }
    void setPolicyRetentionRules(const QList<RetentionRule> &rules) override;

    const QList<RetentionRule> &rules() const { return m_rules; }
    const QList<RetentionRule> &policyRules() const { return m_policyRules; }
    const QList<PolicyLogEntry> &log() const { return m_log.entries(); }
    QStringList logMessages() const { return m_log.messages(); }
    std::optional<RuleStatus> ruleStatus(const QUuid &id) const;
    std::optional<QDateTime> lastSweep() const { return m_lastSweep; }
    bool isSweeping() const { return m_isSweeping; }

signals:
    void changed();

private:
    QCoro::Task<> runRule(RetentionRule rule);
    void record(const RetentionRule &rule, RuleStatus status);
    void appendLog(const QString &message);
    void save();

    Clock &m_clock;
    FolderPathSafety m_safety;
    JsonListFile<RetentionRule> m_file;
    // The last save failed (a full disk, say); the loop saves again on its next turn.
    bool m_unsaved = false;
    QList<RetentionRule> m_rules;
    QList<RetentionRule> m_policyRules;
    EnforcementLog m_log;
    QHash<QUuid, RuleStatus> m_ruleStatus;
    std::optional<QDateTime> m_lastSweep;
    bool m_isSweeping = false;
    LoopRun m_loop;
    QThreadPool m_workers;
};

} // namespace vesk
