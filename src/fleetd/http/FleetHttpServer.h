#pragma once

#include "fleetd/http/ConnectionFront.h"
#include "fleetd/http/Route.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QTcpServer>
#include <QList>
#include <QSslConfiguration>

class QWebSocket;

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vesk::fleetd {

// QHttpServer dressed with a route table: exact paths, 405 with Allow for a known
// path under another method, and a JSON 404 for everything else. One listening
// socket feeds kShards QHttpServers (see ConnectionShard), all on this thread, and every
// connection passes ConnectionFront first. With a TLS configuration the socket speaks HTTPS.
class FleetHttpServer {
public:
    static constexpr int kListenBacklog = 4096;
    static constexpr int kShards = 16;

    explicit FleetHttpServer(QList<Route> routes, ConnectionLimits limits = {});
    ~FleetHttpServer();
    FleetHttpServer(const FleetHttpServer &) = delete;
    FleetHttpServer &operator=(const FleetHttpServer &) = delete;

    // WebSocket upgrades to /api/push on the same port go to `adopt`; without it none is taken.
    void acceptWebSockets(std::function<void(std::unique_ptr<QWebSocket>)> adopt);

    // Port 0 lets the OS choose. Returns the bound port, or 0 when binding failed.
    quint16 listen(const QHostAddress &address, quint16 port);
    // Before listen(): serve HTTPS with this certificate and key instead of plain HTTP.
    void useTls(const QSslConfiguration &configuration);

private:
    QHttpServerResponse dispatch(const QString &path, const QHttpServerRequest &request) const;
    void stream(const QString &path, const QHttpServerRequest &request, QHttpServerResponder &&responder) const;

    QList<Route> m_routes;
    std::vector<std::unique_ptr<QHttpServer>> m_servers;
    QList<class ConnectionShard *> m_shards;
    ConnectionFront m_front;
    std::optional<QSslConfiguration> m_tls;
    std::unique_ptr<QTcpServer> m_listener;
    int m_nextShard = 0;
};

} // namespace vesk::fleetd
