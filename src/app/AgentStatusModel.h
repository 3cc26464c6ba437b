#pragma once

#include "app/AgentStatus.h"

#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

namespace vesk {

class AlertService;
class Clock;
class FleetSecretManager;
class VeskWardenApp;
class WardenHeartbeatManager;

// Keeps the agent's status current for the menu and the window: the services and the heartbeat
// announce their changes; the pairing lives in the keychain, which announces nothing, so it is
// read again whenever the services or the heartbeat move and whenever the operator looks.
class AgentStatusModel : public QObject {
    Q_OBJECT
public:
    AgentStatusModel(VeskWardenApp &app, WardenHeartbeatManager &heartbeat, FleetSecretManager &secrets,
                     Clock &clock, QObject *parent = nullptr);

    const AgentStatus &status() const { return m_status; }
    QTimeZone timeZone() const;
    // The active alerts join the status from now on.
    void attachAlertService(AlertService &alerts);
    // Reads the pairing state again; changed() follows once it is known.
    void refreshPairing();

signals:
    void changed();

private:
    // Static so the read reaches the model only through `self`, which clears when it is destroyed.
    static QCoro::Task<> readPairing(QPointer<AgentStatusModel> self, FleetSecretManager &secrets, quint64 read);

    FleetSecretManager &m_secrets;
    Clock &m_clock;
    AgentStatus m_status;
    quint64 m_pairingReads = 0;
};

} // namespace vesk
