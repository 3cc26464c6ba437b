#include "fleetd/http/FleetHttpServer.h"

#include "fleetd/http/BodyEncoding.h"
#include "fleetd/http/ConnectionShard.h"
#include "fleetd/http/JsonResponse.h"

#include <QHttpServerResponder>
#include <QMetaEnum>
#include <QSet>

#include <algorithm>
#include <QSslServer>
#include <QTcpServer>

#include <tuple>

namespace vesk::fleetd {

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    const char *key = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(static_cast<int>(method));
    return key ? QByteArray(key).toUpper() : QByteArrayLiteral("UNKNOWN");
}

} // namespace

FleetHttpServer::FleetHttpServer(QList<Route> routes, ConnectionLimits limits)
    : m_routes(std::move(routes)), m_front(limits)
{
    // One rule per path; the method is checked in dispatch so that a wrong method
    // is told apart from a wrong path.
    for (int i = 0; i < kShards; ++i) {
        auto server = std::make_unique<QHttpServer>();
        QSet<QString> registered;
        for (const Route &route : std::as_const(m_routes)) {
            if (registered.contains(route.path))
                continue;
            registered.insert(route.path);
            const QString path = route.path;
            const bool streams = std::any_of(m_routes.cbegin(), m_routes.cend(),
                                             [&](const Route &r) { return r.path == path && r.streamer; });
            if (streams) {
                server->route(path, [this, path](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
                    stream(path, request, std::move(responder));
                });
                continue;
            }
            server->route(path, [this, path](const QHttpServerRequest &request) { return dispatch(path, request); });
        }
        server->setMissingHandler([](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            const QString message = QStringLiteral("no route for %1 %2")
                                        .arg(QString::fromLatin1(methodName(request.method())), request.url().path());
            jsonError(QHttpServerResponse::StatusCode::NotFound, message).write(std::move(responder));
        });
        m_servers.push_back(std::move(server));
    }
    // The routes that answer some repeats themselves do so from the front, on the exact path.
    std::vector<std::tuple<QByteArray, QByteArray, Route::Shortcut>> shortcuts;
    for (const Route &route : std::as_const(m_routes)) {
        if (route.shortcut)
            shortcuts.emplace_back(methodName(route.method), route.path.toUtf8(), route.shortcut);
    }
    if (!shortcuts.empty()) {
        m_front.setShortcut([shortcuts = std::move(shortcuts)](const RequestFraming::Head &head,
                                                               QByteArrayView body) -> std::optional<QByteArray> {
            for (const auto &[method, target, shortcut] : shortcuts) {
                if (head.target == target && head.method == method)
                    return shortcut(head, body);
            }
            return std::nullopt;
        });
    }
}

FleetHttpServer::~FleetHttpServer()
{
    if (m_listener)
        m_listener->close();
}

void FleetHttpServer::useTls(const QSslConfiguration &configuration)
{
    m_tls = configuration;
}

void FleetHttpServer::acceptWebSockets(std::function<void(std::unique_ptr<QWebSocket>)> adopt)
{
    for (const auto &server : m_servers) {
        QHttpServer *shard = server.get();
        // QHttpServer 6.4 upgrades only a request that a route took; this one answers nothing
        // itself and leaves the connection to the WebSocket handshake.
        shard->route(QString::fromLatin1(kPushChannelPath), [](const QHttpServerRequest &, QHttpServerResponder &&) {});
        QObject::connect(shard, &QAbstractHttpServer::newWebSocketConnection, shard, [shard, adopt] {
            while (shard->hasPendingWebSocketConnections())
                adopt(shard->nextPendingWebSocketConnection());
        });
    }
}

quint16 FleetHttpServer::listen(const QHostAddress &address, quint16 port)
{
    // Our own socket so the backlog fits thousands of agents connecting at once;
    // Qt's default of 50 drops SYNs and costs the late ones a second or more.
    if (!m_listener) {
        if (m_tls) {
            auto tls = std::make_unique<QSslServer>();
            tls->setSslConfiguration(*m_tls);
            // A handshake is part of the first request's header time.
            tls->setHandshakeTimeout(static_cast<int>(m_front.limits().headerTimeout.count()));
            m_listener = std::move(tls);
        } else {
            m_listener = std::make_unique<QTcpServer>();
        }
        // pendingConnectionAvailable, not newConnection: a TLS socket is pending only once encrypted.
        QObject::connect(m_listener.get(), &QTcpServer::pendingConnectionAvailable, m_listener.get(), [this] {
            while (QTcpSocket *socket = m_listener->nextPendingConnection()) {
                ConnectionShard *shard = m_shards.at(m_nextShard);
                m_front.admit(socket, m_servers.at(m_nextShard).get(), [shard, socket] { shard->adopt(socket); });
                m_nextShard = (m_nextShard + 1) % kShards;
            }
        });
    }
    m_listener->setListenBacklogSize(kListenBacklog);
    m_listener->setMaxPendingConnections(kListenBacklog);
    if (!m_listener->listen(address, port))
        return 0;
    if (m_shards.isEmpty()) {
        for (const auto &server : m_servers) {
            auto *shard = new ConnectionShard(server.get());
            if (!shard->open())
                return 0;
            server->bind(shard);
            m_shards.append(shard);
        }
    }
    return m_listener->serverPort();
}

void FleetHttpServer::stream(const QString &path, const QHttpServerRequest &request,
                             QHttpServerResponder &&responder) const
{
    for (const Route &route : m_routes) {
        if (route.path == path && route.method == request.method() && route.streamer) {
            route.streamer(request, std::move(responder));
            return;
        }
    }
    dispatch(path, request).write(std::move(responder));
}

QHttpServerResponse FleetHttpServer::dispatch(const QString &path, const QHttpServerRequest &request) const
{
    QByteArrayList allowed;
    for (const Route &route : m_routes) {
        if (route.path != path)
            continue;
        if (route.method == request.method())
            return BodyEncoding::handle(request, route.handler);
        allowed.append(methodName(route.method));
    }
    QHttpServerResponse response = jsonError(QHttpServerResponse::StatusCode::MethodNotAllowed,
                                             QStringLiteral("%1 does not accept %2")
                                                 .arg(path, QString::fromLatin1(methodName(request.method()))));
    response.setHeader(QByteArrayLiteral("Allow"), allowed.join(", "));
    return response;
}

} // namespace vesk::fleetd
