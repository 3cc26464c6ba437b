#pragma once

#include "console/NetworkScoutLog.h"
#include "console/TelemetrySeries.h"
#include "wire/AnyCodable.h"
#include "wire/FleetAppStatus.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class ConsoleFleet;

// The machine detail's Overview: device status and telemetry of one machine over a chosen
// number of hours, and the single-machine commands with their confirmation and result texts.
class MachineDetailModel : public QObject {
    Q_OBJECT
public:
    explicit MachineDetailModel(ConsoleFleet &fleet, QObject *parent = nullptr);

    // Shows `serial` (named `name`) and loads its status and telemetry.
    QCoro::Task<> show(QString serial, QString name, int hours);
    // Loads the shown machine again over `hours`.
    QCoro::Task<> setHours(int hours);

    const QString &serial() const { return m_serial; }
    const QString &name() const { return m_name; }
    int hours() const { return m_hours; }
    bool isLoading() const { return m_loading; }
    // "Loading telemetry…", the failure with the server's message, or empty.
    QString telemetryText() const;
    // In place of the charts when there is no line to draw; empty otherwise.
    QString chartsText() const;
    const TelemetrySeries &series() const { return m_series; }
    const std::optional<FleetDeviceStatus> &status() const { return m_status; }
    // One line per app of the device status: name, version and state.
    QStringList statusLines() const;

    // The restart confirmation: title and the line beneath it.
    QString restartConfirmTitle() const;
    QString restartConfirmText() const;
    // Queues "restart" on the shown machine; the answer is in commandText().
    QCoro::Task<> restartComputer();
    // Queues any other command; the answer text names the queued id or the failure.
    QCoro::Task<> queue(QString command, QMap<QString, AnyCodable> params);
    const QString &commandText() const { return m_commandText; }
    // The network changes over the loaded range, newest first.
    const QList<NetworkEvent> &networkEvents() const { return m_networkEvents; }

signals:
    void changed();

private:
    QCoro::Task<> load();
    QCoro::Task<> send(QString command, QMap<QString, AnyCodable> params, QString okPrefix, QString notQueued);

    ConsoleFleet &m_fleet;
    QString m_serial;
    QString m_name;
    int m_hours = 24;
    bool m_loading = false;
    QString m_error;
    quint64 m_generation = 0; // answers of an earlier machine or range are dropped
    TelemetrySeries m_series;
    std::optional<FleetDeviceStatus> m_status;
    QString m_commandText;
    QList<NetworkEvent> m_networkEvents;
};

} // namespace vesk
