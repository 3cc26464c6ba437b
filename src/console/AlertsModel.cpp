#include "console/AlertsModel.h"

#include "console/ConsoleFleet.h"
#include "console/ConsoleTexts.h"

#include <QPointer>

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

} // namespace vesk
