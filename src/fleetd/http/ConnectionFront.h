#pragma once

#include "fleetd/http/ConnectionLimits.h"
#include "fleetd/http/RequestFraming.h"
#include "fleetd/http/Route.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <unordered_map>

class QAbstractHttpServer;
class QTcpSocket;

namespace vesk::fleetd {

// The one path on which a WebSocket upgrade is taken: the machines' push channel.
inline constexpr char kPushChannelPath[] = "/api/push";

// Set on a socket while a response body streams into it (FileRangeBody), and by the front when
// the connection is to close once that body is through.
inline constexpr char kStreamingBodyProperty[] = "veskStreamingBody";
inline constexpr char kCloseAfterBodyProperty[] = "veskCloseAfterBody";

// Sees every byte of a connection before QHttpServer does (its readyRead slot is connected
// first), follows the requests with RequestFraming, and answers itself when a request must not
// reach the server: 413 for a body over its route's limit, declared or streamed, before the
// body arrives; 431 for oversized headers; 400 for malformed framing; 404 for a percent-encoded
// path; 408 when the header or body timeout passes; 503 when the in-flight body budget is
// spent. Each of those answers closes the connection. It also closes a connection after the
// answer to a "Connection: close" or HTTP/1.0 request, and a kept-alive one left idle.
//
// QHttpServer 6.4 buffers whole bodies itself, so this is the only place where size can be
// refused before memory is spent on it.
class ConnectionFront final : public QObject {
public:
    explicit ConnectionFront(ConnectionLimits limits, QObject *parent = nullptr);
    ~ConnectionFront() override;

    // Watches `socket`, then calls `handOver` (which gives the socket to `server`).
    void admit(QTcpSocket *socket, QAbstractHttpServer *server, const std::function<void()> &handOver);

    const ConnectionLimits &limits() const { return m_limits; }

    // The socket whose request the server is answering right now (a handler runs inside the
    // socket's readyRead, between the front's two slots); none outside that.
    static QTcpSocket *socketInService();
    // Asked for each request that arrives whole, with nothing before it left for the server to
    // read, and kept alive: the answer it returns is sent and the server never sees the request.
    void setShortcut(Route::Shortcut shortcut) { m_shortcut = std::move(shortcut); }

private:
    enum class State { Serving, CloseAfterAnswer, Lingering, Closed };
    struct Connection {
        QPointer<QTcpSocket> socket;
        QPointer<QAbstractHttpServer> server;
        RequestFraming framing;
        State state = State::Serving;
        qint64 deadlineMs = 0;
        bool headerTimed = false;
        qint64 bodyLimit = 0;
        qint64 reserved = 0;
    };

    void beforeServer(quint64 id);
    void afterServer(quint64 id);
    void bodySent(quint64 id);
    bool admitHead(Connection &connection);
    bool answerItself(Connection &connection, const QByteArray &data, qsizetype headEnd, qsizetype consumed);
    void requestDone(Connection &connection);
    void reject(Connection &connection, int status, const QString &message);
    void release(Connection &connection);
    void forget(quint64 id);
    void sweep();

    ConnectionLimits m_limits;
    Route::Shortcut m_shortcut;
    std::unordered_map<quint64, Connection> m_connections;
    quint64 m_nextId = 1;
    qint64 m_inFlightBodyBytes = 0;
    static constexpr int kRefusalLinesPerSecond = 5;
    int m_refusalsLogged = 0;
    int m_refusalsUnlogged = 0;
    qint64 m_logWindowStartMs = 0;
    QElapsedTimer m_clock;
    QTimer m_sweep;
};

} // namespace vesk::fleetd
