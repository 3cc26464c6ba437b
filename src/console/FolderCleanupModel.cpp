#include "console/FolderCleanupModel.h"

#include "maintenance/FolderRetentionService.h"
#include "maintenance/RetentionSelection.h"

#include <algorithm>

namespace vesk {

namespace {
QString files(int count)
{
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}
} // namespace

FolderCleanupModel::FolderCleanupModel(FolderRetentionService *service, QObject *parent)
    : LocalListModel(service, ConsoleTexts::noCleanupRules, parent), m_service(service)
{
}

QString FolderCleanupModel::filterLabel(RetentionRule::FileFilter filter)
{
    switch (filter) {
    case RetentionRule::FileFilter::all:
        break;
    case RetentionRule::FileFilter::images:
        return tr("pictures");
    case RetentionRule::FileFilter::videos:
        return tr("videos");
    case RetentionRule::FileFilter::media:
        return tr("pictures and videos");
    }
    return tr("all files");
}

FolderCleanupModel::Row FolderCleanupModel::row(const RetentionRule &rule) const
{
    Row row{rule.id, false, rule.name.trimmed().isEmpty() ? rule.folderPath : rule.name.trimmed(), {}, {}};
    QStringList summary{rule.folderPath, tr("%1 older than %2").arg(filterLabel(rule.fileFilter),
                                                                   retentionAgeText(rule.maxAgeHours))};
    if (rule.keepNewestCount > 0)
        summary.append(tr("keeps the newest %1").arg(rule.keepNewestCount));
    if (!rule.includeSubfolders)
        summary.append(tr("this folder only"));
    if (rule.dryRun)
        summary.append(tr("preview only"));
    else
        summary.append(rule.useTrash ? tr("moves them to the Trash") : tr("deletes them"));
    if (rule.removeEmptyFolders)
        summary.append(tr("removes empty folders"));
    row.summary = summary.join(QStringLiteral(" · "));

    const std::optional<RuleStatus> status = m_service ? m_service->ruleStatus(rule.id) : std::nullopt;
    if (!rule.enabled)
        row.status = tr("Off");
    else if (!status)
        row.status = tr("Not swept yet");
    else if (status->error)
        row.status = tr("%1: %2").arg(when(status->lastRun), *status->error);
    else if (status->wasDryRun)
        row.status = tr("%1: preview — %2 (%3) would be removed")
                         .arg(when(status->lastRun), files(status->removedCount), retentionSizeText(status->freedBytes));
    else
        row.status = tr("%1: removed %2 (%3)")
                         .arg(when(status->lastRun), files(status->removedCount), retentionSizeText(status->freedBytes));
    return row;
}

QList<FolderCleanupModel::Row> FolderCleanupModel::rows() const
{
    if (!m_service)
        return {};
    return ownThenPolicy(m_service->rules(), m_service->policyRules(), [this](const auto &rule) { return row(rule); });
}

std::optional<RetentionRule> FolderCleanupModel::ownRule(const QUuid &id) const
{
    return m_service ? find(m_service->rules(), id) : std::nullopt;
}

QString FolderCleanupModel::activityText() const
{
    if (!m_service)
        return {};
    if (m_service->isSweeping())
        return tr("Sweeping…");
    if (const std::optional<QDateTime> last = m_service->lastSweep())
        return tr("Last sweep: %1").arg(when(*last));
    return tr("No sweep has run yet.");
}

QStringList FolderCleanupModel::logLines() const
{
    return m_service ? newestFirst(m_service->log()) : QStringList();
}

std::optional<QString> FolderCleanupModel::problem(const RetentionRule &draft) const
{
    if (draft.name.trimmed().isEmpty())
        return ConsoleTexts::cleanupNameMissing;
    if (m_service) {
        if (std::optional<QString> refused = m_service->validateFolderPath(draft.folderPath.trimmed()))
            return refused;
    }
    if (draft.maxAgeHours < 1)
        return ConsoleTexts::cleanupAgeTooShort;
    return std::nullopt;
}

bool FolderCleanupModel::save(const RetentionRule &draft)
{
    std::optional<QString> refused = problem(draft);
    if (!refused && !m_service)
        refused = tr("Folder cleanup is not running on this Mac.");
    m_editError = refused.value_or(QString());
    if (!refused) {
        RetentionRule rule = draft;
        rule.name = rule.name.trimmed();
        rule.folderPath = rule.folderPath.trimmed();
        rule.keepNewestCount = std::max(0, rule.keepNewestCount);
        m_service->addOrUpdateRule(rule);
    }
    emit changed();
    return !refused;
}

void FolderCleanupModel::remove(const QUuid &id)
{
    if (m_service)
        m_service->removeRule(id);
}

QCoro::Task<> FolderCleanupModel::sweepNow()
{
    if (!m_service)
        co_return;
    co_await m_service->sweepAll();
}

} // namespace vesk
