#pragma once

#include "heartbeat/Heartbeat.h"
#include "platform/StopToken.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace vesk {

class Clock;
class CredentialManager;
class FleetSettingsStore;
class HttpTransport;
class MachineIdentity;
class PairingFlags;

// Owns the heartbeat and the upload-credential manager: keeps the tenant code in step
// with the current credential set and announces the machine with that set's event code.
class WardenHeartbeatManager : public QObject {
    Q_OBJECT
public:
    struct Dependencies {
        FleetSettingsStore &settings;
        CredentialManager &credentials;
        PairingFlags &pairingFlags;
        HttpTransport &http;
        Clock &clock;
        MachineIdentity &identity;
        QString heartbeatEndpoint;
        QString appVersion; // empty: "1.0"
    };

    explicit WardenHeartbeatManager(Dependencies deps, QObject *parent = nullptr);
    ~WardenHeartbeatManager() override;


    // One credential scan and one tenant sync (start of services, then hourly).
    void runCredentialPass();
    // Stores the current set's account code as the tenant; a changed tenant clears the pairing flags.
    void syncTenant();

    // Builds and starts the heartbeat and the hourly credential loop.
    void start();
    // Stops the heartbeat and the credential loop.
    void stop();

    Heartbeat *heartbeat() const { return m_heartbeat.get(); }
    CredentialManager &credentials() const { return m_deps.credentials; }
    QString appVersion() const;
    // The location code of the current set's selected pipeline, or "" without one.
    QString currentEventCode() const;
    HeartbeatPayload currentPayload(const QString &serial) const;
    // The last beat's outcome since this process started, kept across service restarts.
    std::optional<HeartbeatOutcome> lastHeartbeat() const { return m_lastHeartbeat; }

signals:
    void heartbeatFinished(const vesk::HeartbeatOutcome &outcome);

private:
    QCoro::Task<> scanLoop(StopToken token);

    Dependencies m_deps;
    std::unique_ptr<Heartbeat> m_heartbeat;
    std::optional<StopSource> m_scanStop;
    bool m_cachedAgentMode = false;
    std::optional<HeartbeatOutcome> m_lastHeartbeat;
};

} // namespace vesk
