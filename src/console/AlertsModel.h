#pragma once

#include "alerts/WardenAlert.h"
#include "settings/SuppressionDuration.h"
#include "wire/FleetAlert.h"

#include <QList>
#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class Clock;
class ConsoleFleet;
class FleetSettingsStore;

// What one alerts tab shows: its rows, or the title and line of its empty state (or of its
// loading or failure, for the fleet tab).
struct AlertTab {
    QStringList rows;
    QString emptyTitle;
    QString emptyDetail;

    bool operator==(const AlertTab &) const = default;
};

enum class AlertList { active, history, fleet };

// What the Alerts screen can do with one row: mute or show the alert's machine, acknowledge
// a fleet alert nobody has handled yet, queue a restart of the app a hung-app alert names.
struct AlertActions {
    std::optional<QString> machine;
    std::optional<qint64> acknowledgeId;
    std::optional<QString> hungApp;

    bool operator==(const AlertActions &) const = default;
};

// The Alerts screen: this Mac's active alerts and history, fed by the alert service, and the
// tenant's alerts loaded from the fleet server, with the actions on one alert and the text
// of the last action's outcome.
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
    // A load of the fleet tab is on its way.
    bool fleetLoading() const { return m_fleetLoading; }

    // Muting writes the machine's suppression through these; without them nothing is muted.
    void setSuppressionStore(FleetSettingsStore *settings, const Clock *clock);
    AlertActions actions(AlertList list, int row) const;
    void mute(const QString &serial, SuppressionDuration duration);
    QCoro::Task<> acknowledge(int fleetRow);
    QCoro::Task<> restartHungApp(int fleetRow);
    QString actionText() const { return m_actionText; }

    // The bundle ID a hung-app fleet alert names in its message, if any.
    static std::optional<QString> hungBundleId(const FleetAlert &alert);

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
    FleetSettingsStore *m_settings = nullptr;
    const Clock *m_clock = nullptr;
    QString m_actionText;
};

} // namespace vesk
