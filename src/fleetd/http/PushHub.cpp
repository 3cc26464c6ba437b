#include "fleetd/http/PushHub.h"

#include "fleetd/FleetdLog.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QUrlQuery>
#include <QWebSocket>

namespace vesk::fleetd {

namespace {

QString randomHex(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(raw.begin(), raw.end());
    return QString::fromLatin1(raw.toHex());
}

} // namespace

PushHub::PushHub(Now now, QObject *parent) : QObject(parent), m_now(std::move(now))
{
    m_pingTimer.setInterval(pingInterval);
    connect(&m_pingTimer, &QTimer::timeout, this, &PushHub::pingSweep);
    m_pingTimer.start();
}

PushHub::~PushHub()
{
    for (QWebSocket *socket : m_serialOf.keys()) {
        QObject::disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        delete socket;
    }
}

PushSession PushHub::openSession(qint64 tenantId, const QString &serial)
{
    const QDateTime now = m_now();
    m_tickets.removeIf([&now](const auto &entry) { return entry.value().expires <= now; });
    if (m_tickets.size() >= maxTickets)
        m_tickets.clear();
    QString &token = m_tokens[serial];
    if (token.isEmpty())
        token = randomHex(32);
    const QString ticket = randomHex(24);
    m_tickets.insert(ticket, Ticket{tenantId, serial, now.addSecs(ticketSeconds)});
    return PushSession{ticket, token, std::nullopt};
}

void PushHub::adopt(std::unique_ptr<QWebSocket> owned)
{
    QWebSocket *socket = owned.release();
    socket->setParent(this);
    const QUrl url = socket->requestUrl();
    const QString ticketText = QUrlQuery(url).queryItemValue(QStringLiteral("ticket"));
    const auto ticket = m_tickets.constFind(ticketText);
    if (url.path() != QLatin1String("/api/push") || ticket == m_tickets.cend() || ticket->expires <= m_now()) {
        qCInfo(lcFleetd) << "push channel refused: no valid ticket";
        socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("no valid ticket"));
        socket->deleteLater();
        return;
    }
    const QString serial = ticket->serial;
    m_tickets.erase(ticket);
    socket->setMaxAllowedIncomingFrameSize(maxIncomingBytes);
    socket->setMaxAllowedIncomingMessageSize(maxIncomingBytes);
    m_channels[serial].insert(socket);
    m_serialOf.insert(socket, serial);
    connect(socket, &QWebSocket::disconnected, this, [this, socket] { forget(socket); });
    connect(socket, &QWebSocket::pong, this, [this, socket] { m_awaitingPong.remove(socket); });
    const auto refuse = [this, socket] {
        socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("agents do not send"));
        forget(socket);
    };
    connect(socket, &QWebSocket::textMessageReceived, this, refuse);
    connect(socket, &QWebSocket::binaryMessageReceived, this, refuse);
    qCInfo(lcFleetd) << "push channel open for" << serial;
}

void PushHub::forget(QWebSocket *socket)
{
    const auto found = m_serialOf.constFind(socket);
    if (found == m_serialOf.cend())
        return;
    auto channels = m_channels.find(*found);
    if (channels != m_channels.end()) {
        channels->remove(socket);
        if (channels->isEmpty())
            m_channels.erase(channels);
    }
    m_serialOf.erase(found);
    m_awaitingPong.remove(socket);
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->deleteLater();
}

int PushHub::push(const QString &serial, const QJsonObject &payload)
{
    const auto channels = m_channels.constFind(serial);
    if (channels == m_channels.cend())
        return 0;
    const QString text = QString::fromUtf8(QJsonDocument(payload).toJson(QJsonDocument::Compact));
    for (QWebSocket *socket : *channels)
        socket->sendTextMessage(text);
    return static_cast<int>(channels->size());
}

int PushHub::commandPending(const QString &serial)
{
    return push(serial, QJsonObject{{QStringLiteral("type"), QStringLiteral("command_pending")}});
}

void PushHub::pingSweep()
{
    const QList<QWebSocket *> silent = m_awaitingPong.values();
    for (QWebSocket *socket : silent) {
        qCInfo(lcFleetd) << "push channel of" << m_serialOf.value(socket) << "closed: no answer to a ping";
        // A peer that stopped reading would hold a polite close open; abort frees the descriptor now.
        socket->abort();
        forget(socket);
    }
    // A copy: a socket that fails while pinged may leave the hub before the loop is done.
    const QList<QWebSocket *> open = m_serialOf.keys();
    for (QWebSocket *socket : open) {
        if (!m_serialOf.contains(socket))
            continue;
        m_awaitingPong.insert(socket);
        socket->ping();
    }
}

int PushHub::connectionCount() const
{
    return static_cast<int>(m_serialOf.size());
}

} // namespace vesk::fleetd
