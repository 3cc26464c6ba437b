#include "fleetd/http/ConnectionFront.h"

#include "fleetd/FleetdLog.h"
#include "wire/FleetErrorAnswer.h"

#include <QAbstractHttpServer>
#include <QJsonDocument>
#include <QTcpSocket>

#include <algorithm>
#include <vector>

namespace vesk::fleetd {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

// The same {"error": ...} body every other answer of the server carries.
QByteArray errorAnswer(int status, const QString &message)
{
    FleetErrorAnswer answer;
    answer.error = message;
    const QByteArray body = QJsonDocument(answer.toJson()).toJson(QJsonDocument::Compact);
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                          "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
                          "\r\nConnection: close\r\n";
    if (status == 503)
        response += "Retry-After: 5\r\n";
    return response + "\r\n" + body;
}

thread_local QPointer<QTcpSocket> t_socketInService;

} // namespace

QTcpSocket *ConnectionFront::socketInService()
{
    return t_socketInService.data();
}

ConnectionFront::ConnectionFront(ConnectionLimits limits, QObject *parent) : QObject(parent), m_limits(limits)
{
    m_clock.start();
    // A few sweeps per shortest timeout: a deadline is enforced within a quarter of it.
    const qint64 shortest = std::min({m_limits.headerTimeout.count(), m_limits.bodyTimeout.count(),
                                      m_limits.idleTimeout.count(), m_limits.lingerTime.count()});
    m_sweep.setInterval(static_cast<int>(std::clamp<qint64>(shortest / 4, 10, 1000)));
    connect(&m_sweep, &QTimer::timeout, this, &ConnectionFront::sweep);
    m_sweep.start();
}

ConnectionFront::~ConnectionFront() = default;

void ConnectionFront::admit(QTcpSocket *socket, QAbstractHttpServer *server, const std::function<void()> &handOver)
{
    const quint64 id = m_nextId++;
    Connection connection{socket, server, RequestFraming(m_limits.maxHeaderBytes)};
    connection.deadlineMs = m_clock.elapsed() + m_limits.idleTimeout.count();
    m_connections.emplace(id, std::move(connection));
    // Connected before the server's own slot, so every read is judged before it is parsed.
    connect(socket, &QIODevice::readyRead, this, [this, id] { beforeServer(id); });
    handOver();
    // Connected after it: the server has answered by then (every handler answers at once).
    connect(socket, &QIODevice::readyRead, this, [this, id] { afterServer(id); });
    connect(socket, &QAbstractSocket::disconnected, this, [this, id] { forget(id); });
    // A long download is a connection at work, not an idle one.
    connect(socket, &QIODevice::bytesWritten, this, [this, id] { bodySent(id); });
    connect(socket, &QObject::destroyed, this, [this, id] { forget(id); });
    // Bytes that came with the TLS handshake were read before anyone listened.
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(socket, &QIODevice::readyRead, Qt::QueuedConnection);
}

void ConnectionFront::forget(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    release(found->second);
    m_connections.erase(found);
}

void ConnectionFront::release(Connection &connection)
{
    m_inFlightBodyBytes -= connection.reserved;
    connection.reserved = 0;
}

void ConnectionFront::beforeServer(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end() || !found->second.socket)
        return;
    Connection &connection = found->second;
    QTcpSocket *socket = connection.socket;
    t_socketInService = socket;
    if (connection.state == State::Lingering || connection.state == State::Closed) {
        socket->readAll();
        return;
    }
    if (connection.state == State::CloseAfterAnswer)
        return;

    const qint64 now = m_clock.elapsed();
    RequestFraming &framing = connection.framing;
    const qint64 available = socket->bytesAvailable();
    if (available <= 0)
        return;
    // Most of a large body passes by count alone, never copied.
    if (framing.phase() == RequestFraming::Phase::Body && available <= framing.contentRemaining()) {
        connection.deadlineMs = now + m_limits.bodyTimeout.count();
        if (framing.skipBody(available) == RequestFraming::Event::RequestDone)
            requestDone(connection);
        return;
    }

    const QByteArray data = socket->peek(available);
    qsizetype offset = 0;
    // The bytes at the start of `data` this front answered and took off the socket itself.
    qsizetype consumed = 0;
    for (;;) {
        // A request that starts here has nothing before it that the server still has to read.
        const bool first = framing.phase() == RequestFraming::Phase::Idle && offset == consumed;
        const RequestFraming::Event event = framing.advance(data.constData(), data.size(), &offset);
        if (event == RequestFraming::Event::Error) {
            reject(connection, framing.errorStatus(), framing.errorMessage());
            return;
        }
        if (framing.head().chunked && framing.bodyBytes() > connection.bodyLimit) {
            reject(connection, 413,
                   QStringLiteral("request body exceeds the %1 bytes %2 accepts")
                       .arg(connection.bodyLimit)
                       .arg(QString::fromLatin1(framing.head().path)));
            return;
        }
        if (event == RequestFraming::Event::NeedMore)
            break;
        if (event == RequestFraming::Event::HeadReady && !admitHead(connection))
            return;
        if (event == RequestFraming::Event::HeadReady && framing.head().webSocketUpgrade) {
            // The push channel's handshake: the server takes it from here, and the frames that
            // follow are the WebSocket's to judge, so the front lets go of this connection.
            release(connection);
            QObject::disconnect(socket, nullptr, this, nullptr);
            m_connections.erase(found);
            return;
        }
        if (event == RequestFraming::Event::HeadReady && first && answerItself(connection, data, offset, consumed))
            consumed = offset + *framing.head().contentLength;
        if (event == RequestFraming::Event::RequestDone) {
            requestDone(connection);
            // What follows a last request is the server's to ignore; the connection closes.
            if (connection.state == State::CloseAfterAnswer)
                return;
        }
    }
    switch (framing.phase()) {
    case RequestFraming::Phase::Idle:
        // Set when the last request ended: blank lines between requests do not extend it.
        break;
    case RequestFraming::Phase::Header:
        // Fixed from the request's first byte: trickling headers does not extend it.
        if (!connection.headerTimed) {
            connection.headerTimed = true;
            connection.deadlineMs = now + m_limits.headerTimeout.count();
        }
        break;
    case RequestFraming::Phase::Body:
        connection.deadlineMs = now + m_limits.bodyTimeout.count();
        break;
    }
}

bool ConnectionFront::admitHead(Connection &connection)
{
    const RequestFraming::Head &head = connection.framing.head();
    connection.headerTimed = false;
    connection.bodyLimit = bodyLimitForPath(head.path);
    // Routes are plain paths: an encoded byte ("/api%2Fheartbeat") never names one.
    if (head.path.contains('%')) {
        reject(connection, 404,
               QStringLiteral("no route for %1 %2").arg(QString::fromLatin1(head.method), QString::fromLatin1(head.path)));
        return false;
    }
    if (head.webSocketUpgrade && (head.method != "GET" || head.path != kPushChannelPath || head.contentLength)) {
        reject(connection, 400, QStringLiteral("protocol upgrades are not served"));
        return false;
    }
    if (head.serialBytes > m_limits.maxSerialBytes) {
        reject(connection, 400, QStringLiteral("X-Device-Serial exceeds %1 bytes").arg(m_limits.maxSerialBytes));
        return false;
    }
    const qint64 declared = head.contentLength.value_or(0);
    if (declared > connection.bodyLimit) {
        reject(connection, 413,
               QStringLiteral("request body of %1 bytes exceeds the %2 bytes %3 accepts")
                   .arg(declared)
                   .arg(connection.bodyLimit)
                   .arg(QString::fromLatin1(head.path)));
        return false;
    }
    if (declared > m_limits.smallBodyBytes) {
        if (m_inFlightBodyBytes + declared > m_limits.maxInFlightBodyBytes) {
            reject(connection, 503, QStringLiteral("too many uploads in progress; retry shortly"));
            return false;
        }
        m_inFlightBodyBytes += declared;
        connection.reserved = declared;
    }
    // The client holds the body back until told to go on; a refusal above spared it the upload.
    if (head.expectsContinue && declared > 0)
        connection.socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    return true;
}

bool ConnectionFront::answerItself(Connection &connection, const QByteArray &data, qsizetype headEnd,
                                   qsizetype consumed)
{
    const RequestFraming::Head &head = connection.framing.head();
    if (!m_shortcut || head.closeAfter || head.expectsContinue || head.chunked || !head.contentLength ||
        headEnd + *head.contentLength > data.size())
        return false;
    const std::optional<QByteArray> answer =
        m_shortcut(head, QByteArrayView(data).sliced(headEnd, static_cast<qsizetype>(*head.contentLength)));
    if (!answer)
        return false;
    QTcpSocket *socket = connection.socket;
    // The server stands between two requests (it read every earlier one whole), so whatever its
    // transaction kept is done with; the request is taken off the socket before it can see it.
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->skip(headEnd + *head.contentLength - consumed);
    socket->write(*answer);
    return true;
}

void ConnectionFront::requestDone(Connection &connection)
{
    release(connection);
    connection.headerTimed = false;
    connection.deadlineMs = m_clock.elapsed() + m_limits.idleTimeout.count();
    if (connection.framing.head().closeAfter)
        connection.state = State::CloseAfterAnswer;
}

void ConnectionFront::afterServer(quint64 id)
{
    t_socketInService = nullptr;
    const auto found = m_connections.find(id);
    if (found == m_connections.end() || !found->second.socket)
        return;
    Connection &connection = found->second;
    if (connection.state == State::CloseAfterAnswer) {
        // Sends what the server wrote, then closes; a streaming body closes it once it is through.
        connection.state = State::Closed;
        connection.deadlineMs = m_clock.elapsed() + m_limits.lingerTime.count();
        if (connection.socket->property(kStreamingBodyProperty).toBool())
            connection.socket->setProperty(kCloseAfterBodyProperty, true);
        else
            connection.socket->disconnectFromHost();
    }
}

void ConnectionFront::bodySent(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end() || !found->second.socket)
        return;
    Connection &connection = found->second;
    // Only an answer on its way out: a request being read keeps its own deadline.
    const qint64 now = m_clock.elapsed();
    if (connection.state == State::Serving && connection.framing.phase() == RequestFraming::Phase::Idle)
        connection.deadlineMs = std::max(connection.deadlineMs, now + m_limits.idleTimeout.count());
    else if (connection.state == State::Closed)
        connection.deadlineMs = std::max(connection.deadlineMs, now + m_limits.lingerTime.count());
}

void ConnectionFront::reject(Connection &connection, int status, const QString &message)
{
    QTcpSocket *socket = connection.socket;
    // A flood of bad requests must not become a flood of log lines: a few a second, then a count.
    if (m_refusalsLogged < kRefusalLinesPerSecond) {
        ++m_refusalsLogged;
        qCDebug(lcFleetd).noquote() << "refused a request from" << socket->peerAddress().toString() << "with"
                                    << status << message;
    } else {
        ++m_refusalsUnlogged;
    }
    // The server never sees this request, nor anything after it on this connection.
    QObject::disconnect(socket, &QIODevice::readyRead, connection.server, nullptr);
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->readAll();
    socket->write(errorAnswer(status, message));
    release(connection);
    // Unread bytes at close would reset the connection before the client reads the answer:
    // drain them for a moment first.
    connection.state = State::Lingering;
    connection.deadlineMs = m_clock.elapsed() + m_limits.lingerTime.count();
}

void ConnectionFront::sweep()
{
    const qint64 now = m_clock.elapsed();
    if (now - m_logWindowStartMs >= 1000) {
        if (m_refusalsUnlogged > 0)
            qCDebug(lcFleetd) << "refused" << m_refusalsUnlogged << "more requests";
        m_logWindowStartMs = now;
        m_refusalsLogged = 0;
        m_refusalsUnlogged = 0;
    }
    std::vector<quint64> due;
    for (auto &[id, connection] : m_connections) {
        if (!connection.socket || connection.deadlineMs <= now)
            due.push_back(id);
    }
    for (const quint64 id : due) {
        const auto found = m_connections.find(id);
        if (found == m_connections.end())
            continue;
        Connection &connection = found->second;
        QPointer<QTcpSocket> socket = connection.socket;
        if (!socket) {
            forget(id);
            continue;
        }
        const RequestFraming::Phase phase = connection.framing.phase();
        if (connection.state == State::Serving && phase != RequestFraming::Phase::Idle) {
            reject(connection,
                   408,
                   phase == RequestFraming::Phase::Header ? QStringLiteral("request headers took too long")
                                                          : QStringLiteral("request body stalled"));
            continue;
        }
        if (connection.state == State::Lingering) {
            // The answer goes out, then the connection closes.
            connection.state = State::Closed;
            connection.deadlineMs = now + m_limits.lingerTime.count();
            socket->disconnectFromHost();
            continue;
        }
        // Idle, or a close that did not finish in time.
        forget(id);
        socket->abort();
        socket->deleteLater();
    }
}

} // namespace vesk::fleetd
