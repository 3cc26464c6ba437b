#include "console/AlertsModel.h"

#include "console/ConsoleFleet.h"
#include "console/ConsoleTexts.h"
#include "platform/Clock.h"
#include "settings/FleetSettingsStore.h"

#include <QPointer>
#include <QRegularExpression>

namespace vesk {

namespace {
QString localRow(const WardenAlert &alert)
{
    return QStringLiteral("%1 · %2 — %3")
        .arg(alert.timestamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")), alert.title, alert.message);
}

QString fleetRow(const FleetAlert &alert)
{
    QString row = alert.serial.value_or(QStringLiteral("?")) + QStringLiteral(" · ") +
                  alert.severity.value_or(QString()) + QStringLiteral(" · ") +
                  alert.title.value_or(alert.category.value_or(QString()));
    if (alert.message && !alert.message->isEmpty())
        row += QStringLiteral(" — ") + *alert.message;
    if (alert.acknowledgedBy && !alert.acknowledgedBy->isEmpty())
        row += QStringLiteral(" · ") + ConsoleTexts::handledBy + *alert.acknowledgedBy;
    return row;
}
} // namespace

AlertsModel::AlertsModel(ConsoleFleet &fleet, QObject *parent) : QObject(parent), m_fleet(fleet) {}

void AlertsModel::setLocal(const QList<WardenAlert> &active, const QList<WardenAlert> &history)
{
    m_active = active;
    m_history = history;
    emit changed();
}

QCoro::Task<> AlertsModel::loadFleet()
{
    if (m_fleetLoading)
        co_return;
    m_fleetLoading = true;
    emit changed();
    QPointer<AlertsModel> self(this);
    APIResult<QList<FleetAlert>> answer = co_await m_fleet.fleetAlerts(fleetLimit);
    if (!self)
        co_return;
    m_fleetLoading = false;
    if (answer) {
        m_fleetAlerts = std::move(answer).value();
        m_fleetLoaded = true;
        m_fleetError.clear();
    } else {
        m_fleetError = ConsoleTexts::fleetAlertsFailed + answer.errorMessage();
    }
    emit changed();
}

AlertTab AlertsModel::active() const
{
    AlertTab tab;
    for (const WardenAlert &alert : m_active)
        tab.rows.append(localRow(alert));
    if (tab.rows.isEmpty()) {
        tab.emptyTitle = ConsoleTexts::noActiveAlerts;
        tab.emptyDetail = ConsoleTexts::noActiveAlertsDetail;
    }
    return tab;
}

AlertTab AlertsModel::history() const
{
    AlertTab tab;
    // The service keeps its history newest first.
    for (const WardenAlert &alert : m_history)
        tab.rows.append(localRow(alert));
    if (tab.rows.isEmpty()) {
        tab.emptyTitle = ConsoleTexts::noAlertHistory;
        tab.emptyDetail = ConsoleTexts::noAlertHistoryDetail;
    }
    return tab;
}

AlertTab AlertsModel::fleet() const
{
    AlertTab tab;
    for (const FleetAlert &alert : m_fleetAlerts)
        tab.rows.append(fleetRow(alert));
    // A failed reload keeps the rows it had and says why above them.
    if (!m_fleetError.isEmpty())
        tab.emptyTitle = m_fleetError;
    else if (m_fleetLoading && tab.rows.isEmpty())
        tab.emptyTitle = ConsoleTexts::loadingFleetAlerts;
    else if (m_fleetLoaded && tab.rows.isEmpty())
        tab.emptyTitle = ConsoleTexts::noFleetAlerts;
    return tab;
}

void AlertsModel::setSuppressionStore(FleetSettingsStore *settings, const Clock *clock)
{
    m_settings = settings;
    m_clock = clock;
}

std::optional<QString> AlertsModel::hungBundleId(const FleetAlert &alert)
{
    if (alert.category != QStringLiteral("app_hung") || !alert.message)
        return std::nullopt;
    static const QRegularExpression bundleId(QStringLiteral("(com\\.\\w+\\.\\S+)"));
    const QRegularExpressionMatch found = bundleId.match(*alert.message);
    if (!found.hasMatch())
        return std::nullopt;
    return found.captured(1);
}

AlertActions AlertsModel::actions(AlertList list, int row) const
{
    AlertActions out;
    if (list != AlertList::fleet) {
        const QList<WardenAlert> &alerts = list == AlertList::active ? m_active : m_history;
        if (row >= 0 && row < alerts.size() && !alerts.at(row).serial.isEmpty())
            out.machine = alerts.at(row).serial;
        return out;
    }
    if (row < 0 || row >= m_fleetAlerts.size())
        return out;
    const FleetAlert &alert = m_fleetAlerts.at(row);
    if (alert.serial && !alert.serial->isEmpty()) {
        out.machine = alert.serial;
        out.hungApp = hungBundleId(alert);
    }
    if (!alert.acknowledged.value_or(false))
        out.acknowledgeId = alert.identifier();
    return out;
}

void AlertsModel::mute(const QString &serial, SuppressionDuration duration)
{
    if (!m_settings || !m_clock || serial.isEmpty())
        return;
    const QDateTime now = m_clock->now();
    QList<AlertSuppression> suppressions = m_settings->suppressedSerials();
    suppressions.removeIf([&](const AlertSuppression &s) { return s.serial == serial; });
    const AlertSuppression muted{serial, duration, now};
    suppressions.append(muted);
    m_settings->setSuppressedSerials(suppressions);
    m_actionText = tr("Alerts muted for %1 (%2)").arg(serial, muted.statusText(now));
    emit changed();
}

QCoro::Task<> AlertsModel::acknowledge(int fleetRow)
{
    const std::optional<qint64> id = actions(AlertList::fleet, fleetRow).acknowledgeId;
    if (!id) {
        m_actionText = ConsoleTexts::acknowledgeFailedPlain;
        emit changed();
        co_return;
    }
    QPointer<AlertsModel> self(this);
    const APIStatus sent = co_await m_fleet.acknowledgeAlert(*id);
    if (!self)
        co_return;
    m_actionText = sent ? ConsoleTexts::alertAcknowledged : ConsoleTexts::acknowledgeFailed + sent.errorMessage();
    emit changed();
    // The server's list says who handled it.
    if (sent)
        co_await loadFleet();
}

QCoro::Task<> AlertsModel::restartHungApp(int fleetRow)
{
    if (fleetRow < 0 || fleetRow >= m_fleetAlerts.size())
        co_return;
    const FleetAlert alert = m_fleetAlerts.at(fleetRow);
    const std::optional<QString> app = hungBundleId(alert);
    if (!app || !alert.serial)
        co_return;
    QMap<QString, AnyCodable> params;
    params.insert(QStringLiteral("bundle_id"), *app);
    QPointer<AlertsModel> self(this);
    const APIResult<FleetCommandResponse> answer =
        co_await m_fleet.queueCommand(*alert.serial, QStringLiteral("restart_app"), std::move(params));
    if (!self)
        co_return;
    if (answer && answer->queued)
        m_actionText = ConsoleTexts::restartQueuedFor + *app;
    else if (answer)
        m_actionText = ConsoleTexts::restartNotQueuedFor + *app;
    else if (answer.error().code() == APIError::Code::serverError)
        m_actionText = ConsoleTexts::restartFailedFor + *app + QStringLiteral(": ") + answer.errorMessage();
    else
        m_actionText = ConsoleTexts::restartQueueFailedFor + *app + QStringLiteral(": ") + answer.errorMessage();
    emit changed();
}

} // namespace vesk
