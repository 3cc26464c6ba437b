#include "console/MachineSoftwareModel.h"

#include "console/BatchCommandModel.h"
#include "console/ConsoleFleet.h"
#include "console/ConsoleTexts.h"
#include "updates/VersionRule.h"

#include <QPointer>

namespace vesk {

namespace {

QString commandLabel(const QString &command)
{
    for (const BatchCommand &known : BatchCommandModel::commands()) {
        if (known.command == command)
            return known.label;
    }
    return command;
}

} // namespace

MachineSoftwareModel::MachineSoftwareModel(ConsoleFleet &fleet, QObject *parent) : QObject(parent), m_fleet(fleet) {}

QCoro::Task<> MachineSoftwareModel::show(QString serial, QString name)
{
    if (serial != m_serial) {
        m_apps.clear();
        m_updates.clear();
        m_commandLines.clear();
    }
    m_serial = std::move(serial);
    m_name = std::move(name);
    co_await reload();
}

QCoro::Task<> MachineSoftwareModel::reload()
{
    const quint64 generation = ++m_generation;
    m_loading = true;
    m_appsError.clear();
    m_releasesError.clear();
    emit changed();
    QPointer<MachineSoftwareModel> self(this);
    APIResult<RemoteInstalledAppsResponse> apps = co_await m_fleet.installedApps(m_serial);
    if (!self || generation != m_generation)
        co_return;
    APIResult<AppUpdatesResponse> releases = co_await m_fleet.appReleases();
    if (!self || generation != m_generation)
        co_return;
    m_loading = false;
    if (apps)
        m_apps = apps->apps;
    else
        m_appsError = tr("Failed to load installed apps for %1: %2").arg(m_name, apps.errorMessage());
    m_updates.clear();
    if (!releases)
        m_releasesError = tr("Failed to load available updates: %1").arg(releases.errorMessage());
    for (const RemoteInstalledApp &app : std::as_const(m_apps)) {
        if (!app.version)
            continue;
        for (const AvailableUpdate &release : releases ? releases->updates : QList<AvailableUpdate>()) {
            if (release.bundleId == app.bundleId && VersionRule::isNewer(release, *app.version, app.build)) {
                m_updates.append({app.bundleId, app.name.value_or(release.displayName()), *app.version,
                                  release.version});
                break;
            }
        }
    }
    emit changed();
}

QString MachineSoftwareModel::appsText() const
{
    if (m_loading && m_apps.isEmpty())
        return tr("Loading installed apps…");
    if (!m_appsError.isEmpty())
        return m_appsError;
    return m_apps.isEmpty() && !m_loading ? ConsoleTexts::waitingForApps : QString();
}

QList<AppRef> MachineSoftwareModel::appRefs() const
{
    QList<AppRef> refs;
    for (const RemoteInstalledApp &app : m_apps)
        refs.append({app.bundleId, app.name.value_or(app.bundleId), app.isVeskApp.value_or(false)});
    return refs;
}

QString MachineSoftwareModel::updatesText() const
{
    if (m_loading)
        return {};
    if (!m_releasesError.isEmpty())
        return m_releasesError;
    return m_updates.isEmpty() && !m_apps.isEmpty() ? ConsoleTexts::allAppsUpToDate : QString();
}

QString MachineSoftwareModel::displayName(const QString &bundleId) const
{
    for (const RemoteInstalledApp &app : m_apps) {
        if (app.bundleId == bundleId && app.name)
            return *app.name;
    }
    return bundleId;
}

QString MachineSoftwareModel::restartConfirmText(const QStringList &bundleIds) const
{
    QStringList names;
    for (const QString &bundleId : bundleIds)
        names.append(displayName(bundleId));
    return ConsoleTexts::quitAndRelaunch + names.join(QStringLiteral(", "));
}

QCoro::Task<> MachineSoftwareModel::appCommand(QString command, QStringList bundleIds, std::optional<QDateTime> at)
{
    m_commandLines.clear();
    QPointer<MachineSoftwareModel> self(this);
    for (const QString &bundleId : std::as_const(bundleIds)) {
        QMap<QString, AnyCodable> params;
        params.insert(QStringLiteral("bundle_id"), bundleId);
        if (at)
            params.insert(QStringLiteral("scheduled_at"), at->toUTC().toString(Qt::ISODate));
        const QString okText =
            displayName(bundleId) + QStringLiteral(": ") + commandLabel(command) + tr(" queued (ID: %1)");
        co_await send(command, params, okText);
        if (!self)
            co_return;
    }
}

QCoro::Task<> MachineSoftwareModel::scheduleUpdate(QString bundleId, QDateTime at)
{
    m_commandLines.clear();
    QMap<QString, AnyCodable> params;
    params.insert(QStringLiteral("bundle_id"), bundleId);
    params.insert(QStringLiteral("scheduled_at"), at.toUTC().toString(Qt::ISODate));
    const QString okText = ConsoleTexts::updateScheduled + tr(" (ID: %1)");
    co_await send(QStringLiteral("schedule_update"), params, okText);
}

QCoro::Task<> MachineSoftwareModel::pinCurrentVersion(QString bundleId)
{
    m_commandLines.clear();
    QString version;
    for (const RemoteInstalledApp &app : std::as_const(m_apps)) {
        if (app.bundleId == bundleId)
            version = app.version.value_or(QString());
    }
    if (version.isEmpty()) {
        m_commandLines.append(tr("%1 reported no version to pin.").arg(displayName(bundleId)));
        emit changed();
        co_return;
    }
    QMap<QString, AnyCodable> params;
    params.insert(QStringLiteral("bundle_id"), bundleId);
    params.insert(QStringLiteral("version"), version);
    const QString okText = tr("%1: pinned to v%2 (ID: %3)").arg(displayName(bundleId), version, QStringLiteral("%1"));
    co_await send(QStringLiteral("pin_version"), params, okText);
}

QCoro::Task<> MachineSoftwareModel::send(QString command, QMap<QString, AnyCodable> params, QString okText)
{
    QPointer<MachineSoftwareModel> self(this);
    const QString serial = m_serial;
    APIResult<FleetCommandResponse> answer = co_await m_fleet.queueCommand(serial, command, std::move(params));
    if (!self)
        co_return;
    if (!answer)
        m_commandLines.append(QStringLiteral("Error: ") + answer.errorMessage());
    else if (!answer->queued)
        m_commandLines.append(ConsoleTexts::notQueued);
    else
        m_commandLines.append(okText.arg(answer->commandId));
    emit changed();
}

} // namespace vesk
