#pragma once

#include "alerts/WardenAlert.h"
#include "wire/FleetAlert.h"

#include <QList>
#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class ConsoleFleet;

// What one alerts tab shows: its rows, or the title and line of its empty state (or of its
// loading or failure, for the fleet tab).
struct AlertTab {
    QStringList rows;
    QString emptyTitle;
    QString emptyDetail;

    bool operator==(const AlertTab &) const = default;
};

// The Alerts screen: this Mac's active alerts and history, fed by the alert service, and the
// tenant's alerts loaded from the fleet server.
class AlertsModel : public QObject {
    Q_OBJECT
public:
    static constexpr int fleetLimit = 200;

    explicit AlertsModel(ConsoleFleet &fleet, QObject *parent = nullptr);

    void setLocal(const QList<WardenAlert> &active, const QList<WardenAlert> &history);
    QCoro::Task<> loadFleet();

    AlertTab active() const;
    AlertTab history() const;
    AlertTab fleet() const;

signals:
    void changed();

private:
    ConsoleFleet &m_fleet;
    QList<WardenAlert> m_active;
    QList<WardenAlert> m_history;
    QList<FleetAlert> m_fleetAlerts;
    bool m_fleetLoading = false;
    bool m_fleetLoaded = false;
    QString m_fleetError;
};

} // namespace vesk
