#pragma once

#include "fleet/APIResult.h"
#include "wire/PushSession.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class QWebSocket;

namespace vesk {

class Clock;
class FleetAPIClient;

// Where the push channel gets its ticket and device token.
class PushSessionApi {
public:
    virtual ~PushSessionApi() = default;
    virtual QCoro::Task<APIResult<PushSession>> openPushSession() = 0;
};

class FleetClientPushSessions final : public PushSessionApi {
public:
    explicit FleetClientPushSessions(FleetAPIClient &api) : m_api(api) {}
    QCoro::Task<APIResult<PushSession>> openPushSession() override;

private:
    FleetAPIClient &m_api;
};

// The agent's one long-lived WebSocket to the fleet server, over which the server pushes
// {"type": "command_pending"} the moment a command is queued for this machine. A dropped,
// refused or silent connection (no pong to a ping within a minute), garbage or an oversized
// frame ends the connection; it is opened again after a jittered back-off of 1 s doubling
// to 5 min, reset by a connection that stayed up for a ping interval (a server that accepts
// and at once misbehaves is not hammered every second). Polling stays the safety net underneath.
class PushChannel final : public QObject {
    Q_OBJECT
public:
    // A fraction in [0, 1) that spreads reconnects of many machines; defaults to a random one.
    using Jitter = std::function<double()>;

    struct Dependencies {
        PushSessionApi &api;
        Clock &clock;
        QString baseUrl; // the fleet API's, ending in "/api"
        Jitter jitter = {};
    };

    static constexpr std::chrono::seconds firstBackoff{1};
    static constexpr std::chrono::seconds maxBackoff{300};
    static constexpr std::chrono::seconds pingInterval{60};
    static constexpr std::chrono::seconds openTimeout{30};
    static constexpr qint64 maxMessageBytes = 16 * 1024;

    explicit PushChannel(Dependencies deps, QObject *parent = nullptr);
    ~PushChannel() override;

    // CA certificates trusted for a wss:// channel besides the system's (the fleet URL's own).
    void trustCertificates(const QList<QSslCertificate> &certificates) { m_trusted = certificates; }

    void start();
    void stop();
    bool isConnected() const { return m_connected; }

    // The session's channel URL with its ticket; without one, ws:// or wss:// under the API.
    static QUrl channelUrl(const QString &baseUrl, const PushSession &session);

signals:
    void connectedChanged(bool connected);
    // The device token the server handed out with the ticket (hexadecimal text), when it is new.
    void tokenReceived(const QString &hexToken);
    // Each well-formed JSON object the server pushes.
    void notificationReceived(const QJsonObject &payload);

private:
    static QCoro::Task<> openSession(QPointer<PushChannel> self, PushSessionApi &api, quint64 attempt);
    void attempt();
    void openSocket(const PushSession &session);
    void onOpened();
    void dropConnection(const QString &why);
    void scheduleReconnect();
    void onPingDue();
    void onText(const QString &text);
    void setConnected(bool connected);
    void cancelWakes();

    PushSessionApi &m_api;
    Clock &m_clock;
    QString m_baseUrl;
    Jitter m_jitter;
    QString m_token;
    QList<QSslCertificate> m_trusted;
    std::unique_ptr<QWebSocket> m_socket;
    bool m_running = false;
    bool m_connected = false;
    bool m_pongPending = false;
    quint64 m_attempt = 0;
    std::chrono::milliseconds m_backoff{firstBackoff};
    std::uint64_t m_reconnectWake = 0;
    std::uint64_t m_pingWake = 0;
    std::uint64_t m_openWake = 0;
};

} // namespace vesk
