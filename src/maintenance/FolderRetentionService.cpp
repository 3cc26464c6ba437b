#include "maintenance/FolderRetentionService.h"

#include "maintenance/RetentionSelection.h"
#include "maintenance/RuleSweep.h"
#include "platform/Clock.h"
#include "platform/LogCategories.h"

#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

namespace vesk {

namespace {

// Failure lines written per rule and sweep; a folder of undeletable files is summed up after.
constexpr int kFailureLinesShown = 20;

QString plural(int count, const QString &noun)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(noun, count == 1 ? QString() : QStringLiteral("s"));
}

// Folders that are one item to the user and are never entered.
QStringList packageSuffixes()
{
    return {QStringLiteral(".app"),    QStringLiteral(".bundle"),        QStringLiteral(".framework"),
            QStringLiteral(".plugin"), QStringLiteral(".photoslibrary"), QStringLiteral(".fcpbundle"),
            QStringLiteral(".lrdata"), QStringLiteral(".pkg")};
}

} // namespace

FolderRetentionService::FolderRetentionService(Dependencies deps, QObject *parent)
    : QObject(parent), m_clock(deps.clock), m_safety(std::move(deps.protectedFolders), std::move(deps.homeDir)),
      m_file(deps.storageDir, fileName), m_rules(m_file.items())
{
    m_workers.setMaxThreadCount(1);
}

FolderRetentionService::~FolderRetentionService()
{
    stop();
    // A sweep under way finishes its folder; it never reports back to a service that is gone.
    m_workers.waitForDone();
}

void FolderRetentionService::start()
{
    m_loop.start(
        this, m_clock,
        [this] {
            if (m_unsaved)
                save();
            return sweepAll();
        }, [] { return std::chrono::milliseconds(period); });
}

void FolderRetentionService::stop()
{
    m_loop.stop();
}

void FolderRetentionService::addOrUpdateRule(const RetentionRule &rule)
{
    auto found = std::find_if(m_rules.begin(), m_rules.end(), [&](const RetentionRule &r) { return r.id == rule.id; });
    if (found != m_rules.end())
        *found = rule;
    else
        m_rules.append(rule);
    save();
    emit changed();
}

void FolderRetentionService::removeRule(const QUuid &id)
{
    m_rules.removeIf([&](const RetentionRule &r) { return r.id == id; });
    save();
    emit changed();
}

void FolderRetentionService::setPolicyRetentionRules(const QList<RetentionRule> &rules)
{
    m_policyRules = rules;
    emit changed();
}

std::optional<RuleStatus> FolderRetentionService::ruleStatus(const QUuid &id) const
{
    const auto found = m_ruleStatus.constFind(id);
    if (found == m_ruleStatus.constEnd())
        return std::nullopt;
    return *found;
}

void FolderRetentionService::save()
{
    const std::optional<QString> error = m_file.write(m_rules);
    m_unsaved = error.has_value();
    if (error)
        qCWarning(lcRetention).noquote() << "Could not save" << *error;
}

QCoro::Task<> FolderRetentionService::sweepAll()
{
    if (m_isSweeping)
        co_return;
    m_isSweeping = true;
    emit changed();
    QPointer<FolderRetentionService> self(this);
    QList<RetentionRule> due;
    for (const RetentionRule &rule : m_rules + m_policyRules) {
        if (rule.enabled && !rule.folderPath.trimmed().isEmpty())
            due.append(rule);
    }
    for (const RetentionRule &rule : due) {
        co_await runRule(rule);
        if (!self)
            co_return;
    }
    m_lastSweep = m_clock.now();
    m_isSweeping = false;
    emit changed();
}

QCoro::Task<> FolderRetentionService::runRule(RetentionRule rule)
{
    QPointer<FolderRetentionService> self(this);
    const QDateTime started = m_clock.now();
    if (const std::optional<QString> refusal = m_safety.validate(rule.folderPath)) {
        record(rule, {started, 0, 0, rule.dryRun, *refusal});
        appendLog(rule.name + QStringLiteral(": ") + *refusal);
        co_return;
    }
    RuleSweepJob job{m_safety.resolve(rule.folderPath), rule,
                     started.toMSecsSinceEpoch() - qint64(rule.maxAgeHours) * 3600 * 1000, packageSuffixes()};
    // The resolved folder is checked too: it is the one the sweep opens.
    if (const std::optional<QString> refusal = m_safety.validate(job.folder)) {
        record(rule, {started, 0, 0, rule.dryRun, *refusal});
        appendLog(rule.name + QStringLiteral(": ") + *refusal);
        co_return;
    }
    const QFuture<RuleSweepOutcome> work = QtConcurrent::run(&m_workers, [job] { return sweepRuleFolder(job); });
    const RuleSweepOutcome outcome = co_await work;
    if (!self)
        co_return;
    const QDateTime now = m_clock.now();
    if (outcome.folderMissing) {
        record(rule, {now, 0, 0, rule.dryRun, QStringLiteral("Folder not found")});
        appendLog(rule.name + QStringLiteral(": folder not found at ") + job.folder);
        co_return;
    }
    if (!outcome.openError.isEmpty()) {
        // A link or a file put where the folder was after the check: nothing was touched.
        record(rule, {now, 0, 0, rule.dryRun, outcome.openError});
        appendLog(rule.name + QStringLiteral(": ") + outcome.openError);
        co_return;
    }
    if (rule.dryRun) {
        record(rule, {now, outcome.selected, outcome.selectedBytes, true, std::nullopt});
        if (outcome.selected > 0)
            appendLog(rule.name + QStringLiteral(": preview — ") + plural(outcome.selected, QStringLiteral("file")) +
                      QStringLiteral(" (") + retentionSizeText(outcome.selectedBytes) + QStringLiteral(") would be removed"));
        co_return;
    }
    for (int i = 0; i < outcome.failures.size() && i < kFailureLinesShown; ++i)
        qCWarning(lcRetention).noquote() << outcome.failures.at(i);
    if (outcome.failures.size() > kFailureLinesShown)
        qCWarning(lcRetention).noquote() << QStringLiteral("Retention could not remove %1 more files in %2")
                                                .arg(outcome.failures.size() - kFailureLinesShown)
                                                .arg(job.folder);
    std::optional<QString> error;
    if (outcome.failed > 0)
        error = plural(outcome.failed, QStringLiteral("file")) + QStringLiteral(" could not be removed");
    record(rule, {now, outcome.removed, outcome.freedBytes, false, error});
    if (outcome.selected > 0) {
        QString line = rule.name + QStringLiteral(": removed ") + plural(outcome.removed, QStringLiteral("file")) +
                       QStringLiteral(" (") + retentionSizeText(outcome.freedBytes) + QLatin1Char(')');
        if (outcome.failed > 0)
            line += QStringLiteral(", %1 failed").arg(outcome.failed);
        appendLog(line);
        qCInfo(lcRetention).noquote() << line;
    }
    if (outcome.emptyFoldersRemoved > 0)
        appendLog(rule.name + QStringLiteral(": removed ") + plural(outcome.emptyFoldersRemoved, QStringLiteral("empty folder")));
}

void FolderRetentionService::record(const RetentionRule &rule, RuleStatus status)
{
    m_ruleStatus.insert(rule.id, std::move(status));
    emit changed();
}

void FolderRetentionService::appendLog(const QString &message)
{
    m_log.append(m_clock.now(), message);
    emit changed();
}

} // namespace vesk
