#include "console/SoftwareUpdatesModel.h"

#include "commands/PinnedVersions.h"
#include "commands/UpdateCommands.h"
#include "console/ConsoleTexts.h"
#include "console/InstalledAppsModel.h"
#include "updates/UpdateService.h"

#include <QLocale>
#include <QPointer>

namespace vesk {

namespace {

QString hour(int h)
{
    return QStringLiteral("%1:00").arg(h, 2, 10, QLatin1Char('0'));
}

const AvailableUpdate *findRelease(const QList<AvailableUpdate> &releases, const QString &bundleId)
{
    for (const AvailableUpdate &release : releases) {
        if (release.bundleId == bundleId)
            return &release;
    }
    return nullptr;
}

} // namespace

SoftwareUpdateFacts SoftwareUpdateFacts::gather(const UpdateService *service)
{
    if (!service)
        return {};
    return {service->availableUpdates(), service->latestServerUpdates().value_or(QList<AvailableUpdate>()),
            service->pendingInstalls(), service->criticalUpdateHeldByPin(), service->lastCheck()};
}

SoftwareUpdatesModel::SoftwareUpdatesModel(const InstalledAppsModel &installed, UpdateCommands *commands,
                                           const DefaultsStore &defaults, QObject *parent)
    : QObject(parent), m_installed(installed), m_commands(commands), m_defaults(defaults)
{
    connect(&installed, &InstalledAppsModel::changed, this, &SoftwareUpdatesModel::changed);
}

void SoftwareUpdatesModel::setFacts(SoftwareUpdateFacts facts)
{
    m_facts = std::move(facts);
    emit changed();
}

void SoftwareUpdatesModel::setPolicy(std::optional<UpdatePolicy> policy)
{
    m_policy = std::move(policy);
    emit changed();
}

void SoftwareUpdatesModel::setFilter(Filter filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    emit changed();
}

bool SoftwareUpdatesModel::adminApprovalNeeded() const
{
    return m_policy && m_policy->mode == UpdatePolicy::Mode::adminApproved;
}

SoftwareRow SoftwareUpdatesModel::row(const QString &bundleId, const QString &name,
                                      const QString &installedVersion) const
{
    SoftwareRow row{bundleId, name, installedVersion, {}, {}, false};
    const AvailableUpdate *offered = findRelease(m_facts.available, bundleId);
    if (offered)
        row.availableVersion = offered->version;
    const auto pending = m_facts.pending.constFind(bundleId);
    const bool busy = m_installing.contains(bundleId) ||
                      (pending != m_facts.pending.cend() && pending->phase != DownloadState::Phase::failed);
    if (busy) {
        row.status = pending != m_facts.pending.cend() && pending->phase == DownloadState::Phase::downloading
                         ? tr("Downloading…")
                         : tr("Installing…");
        return row;
    }
    if (m_results.contains(bundleId))
        row.status = m_results.value(bundleId);
    else if (pending != m_facts.pending.cend())
        row.status = pending->message;
    if (!offered) {
        if (row.status.isEmpty())
            row.status = installedVersion.isEmpty() ? tr("Not installed") : tr("Up to date");
        return row;
    }
    const bool approval = adminApprovalNeeded();
    if (row.status.isEmpty())
        row.status = approval ? ConsoleTexts::adminApprovedOnly : ConsoleTexts::readyToInstall;
    row.installable = m_commands && !approval;
    return row;
}

QList<SoftwareRow> SoftwareUpdatesModel::rows() const
{
    QList<SoftwareRow> out;
    QSet<QString> listed;
    const auto installedVersion = [this](const QString &bundleId) {
        for (const InstalledApp &app : m_installed.apps()) {
            if (app.bundleId == bundleId)
                return app.version;
        }
        return QString();
    };
    if (m_filter == Filter::updates) {
        for (const AvailableUpdate &release : m_facts.available) {
            if (listed.contains(release.bundleId))
                continue;
            listed.insert(release.bundleId);
            out.append(row(release.bundleId, release.displayName(), installedVersion(release.bundleId)));
        }
        return out;
    }
    for (const InstalledApp &app : m_installed.apps()) {
        if (listed.contains(app.bundleId))
            continue;
        listed.insert(app.bundleId);
        out.append(row(app.bundleId, app.name, app.version));
    }
    if (m_filter == Filter::all) {
        for (const AvailableUpdate &release : m_facts.releases) {
            if (listed.contains(release.bundleId))
                continue;
            listed.insert(release.bundleId);
            out.append(row(release.bundleId, release.displayName(), QString()));
        }
    }
    return out;
}

QString SoftwareUpdatesModel::emptyText() const
{
    if (!rows().isEmpty())
        return {};
    if (!m_installed.hasScanned())
        return ConsoleTexts::scanningApps;
    if (m_installed.apps().isEmpty())
        return ConsoleTexts::noVeskAppsInstalled;
    return ConsoleTexts::allAppsLatest;
}

QString SoftwareUpdatesModel::heldText() const
{
    return m_facts.heldByPin ? ConsoleTexts::criticalHeldByPin(m_facts.heldByPin->version) : QString();
}

QString SoftwareUpdatesModel::policyText() const
{
    QString text = tr("No update policy is in force: updates install when you choose.");
    if (m_policy)
        text = UpdatePolicy::description(m_policy->mode);
    if (m_policy && m_policy->mode == UpdatePolicy::Mode::automatic)
        text += QLatin1Char(' ') + tr("Window: %1–%2.").arg(hour(m_policy->windowStart), hour(m_policy->windowEnd));
    if (m_facts.lastCheck)
        text += QLatin1Char(' ') +
                tr("Last checked %1.").arg(QLocale().toString(m_facts.lastCheck->toLocalTime(), QLocale::ShortFormat));
    return text;
}

QCoro::Task<> SoftwareUpdatesModel::install(QString bundleId)
{
    const AvailableUpdate *offered = findRelease(m_facts.available, bundleId);
    if (!offered || !row(bundleId, {}, {}).installable)
        co_return;
    const AvailableUpdate release = *offered;
    m_installing.insert(bundleId);
    m_results.remove(bundleId);
    emit changed();
    QPointer<SoftwareUpdatesModel> self(this);
    const CommandResult result = co_await m_commands->update(release, PinnedVersions::read(m_defaults));
    if (!self)
        co_return;
    m_installing.remove(bundleId);
    m_results.insert(bundleId, result.message.value_or(result.success ? tr("Updated") : tr("Update failed")));
    emit changed();
}

QCoro::Task<> SoftwareUpdatesModel::checkNow()
{
    if (m_commands)
        co_await m_commands->refreshAvailable();
}

} // namespace vesk
