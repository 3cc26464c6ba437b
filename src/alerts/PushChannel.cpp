#include "alerts/PushChannel.h"

#include "fleet/FleetAPIClient.h"
#include "platform/Clock.h"
#include "platform/LogCategories.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QUrlQuery>
#include <QWebSocket>

namespace vesk {

QCoro::Task<APIResult<PushSession>> FleetClientPushSessions::openPushSession()
{
    const APIResult<PushSession> session = co_await m_api.openPushSession();
    co_return session;
}

PushChannel::PushChannel(Dependencies deps, QObject *parent)
    : QObject(parent), m_api(deps.api), m_clock(deps.clock), m_baseUrl(std::move(deps.baseUrl)),
      m_jitter(std::move(deps.jitter))
{
    if (!m_jitter)
        m_jitter = [] { return QRandomGenerator::global()->generateDouble(); };
}

PushChannel::~PushChannel()
{
    stop();
}

QUrl PushChannel::channelUrl(const QString &baseUrl, const PushSession &session)
{
    QUrl url(session.url.value_or(baseUrl + QStringLiteral("/push")));
    if (!session.url)
        url.setScheme(url.scheme() == QLatin1String("https") ? QStringLiteral("wss") : QStringLiteral("ws"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("ticket"), session.ticket);
    url.setQuery(query);
    return url;
}

void PushChannel::start()
{
    if (m_running)
        return;
    m_running = true;
    m_backoff = firstBackoff;
    attempt();
}

void PushChannel::stop()
{
    if (!m_running)
        return;
    m_running = false;
    ++m_attempt; // a session request still out is ignored when it answers
    cancelWakes();
    if (m_socket) {
        QObject::disconnect(m_socket.get(), nullptr, this, nullptr);
        m_socket->abort();
        m_socket.reset();
    }
    setConnected(false);
}

void PushChannel::cancelWakes()
{
    for (std::uint64_t *wake : {&m_reconnectWake, &m_pingWake, &m_openWake}) {
        if (*wake != 0)
            m_clock.cancelWake(*wake);
        *wake = 0;
    }
}

void PushChannel::attempt()
{
    openSession(QPointer<PushChannel>(this), m_api, ++m_attempt);
}

QCoro::Task<> PushChannel::openSession(QPointer<PushChannel> self, PushSessionApi &api, quint64 attempt)
{
    const APIResult<PushSession> session = co_await api.openPushSession();
    if (!self || !self->m_running || attempt != self->m_attempt)
        co_return;
    if (!session) {
        qCInfo(lcAlerts).noquote() << "Push channel: no session:" << session.error().message();
        self->scheduleReconnect();
        co_return;
    }
    if (session->token != self->m_token) {
        self->m_token = session->token;
        emit self->tokenReceived(session->token);
    }
    self->openSocket(*session);
}

void PushChannel::openSocket(const PushSession &session)
{
    m_socket = std::make_unique<QWebSocket>();
    QWebSocket *socket = m_socket.get();
    // Pushes are a few dozen bytes; anything large is a broken or hostile peer.
    socket->setMaxAllowedIncomingFrameSize(maxMessageBytes);
    socket->setMaxAllowedIncomingMessageSize(maxMessageBytes);
    if (!m_trusted.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(m_trusted);
        socket->setSslConfiguration(tls);
    }
    connect(socket, &QWebSocket::connected, this, &PushChannel::onOpened);
    connect(socket, &QWebSocket::disconnected, this, [this] { dropConnection(QStringLiteral("closed")); });
    connect(socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this, [this] {
        dropConnection(m_socket ? m_socket->errorString() : QString());
    });
    connect(socket, &QWebSocket::textMessageReceived, this, &PushChannel::onText);
    connect(socket, &QWebSocket::binaryMessageReceived, this,
            [this] { dropConnection(QStringLiteral("unexpected binary frame")); });
    connect(socket, &QWebSocket::pong, this, [this] { m_pongPending = false; });
    m_openWake = m_clock.scheduleWake(openTimeout, [this] {
        m_openWake = 0;
        dropConnection(QStringLiteral("no answer to the opening handshake"));
    });
    socket->open(channelUrl(m_baseUrl, session));
}

void PushChannel::onOpened()
{
    if (m_openWake != 0)
        m_clock.cancelWake(m_openWake);
    m_openWake = 0;
    m_pongPending = false;
    m_pingWake = m_clock.scheduleWake(pingInterval, [this] { onPingDue(); });
    qCInfo(lcAlerts) << "Push channel connected";
    setConnected(true);
}

void PushChannel::onPingDue()
{
    m_pingWake = 0;
    if (!m_socket)
        return;
    if (m_pongPending) {
        dropConnection(QStringLiteral("no answer to a ping"));
        return;
    }
    // Up for a whole interval and answering: the next drop starts the back-off over.
    m_backoff = firstBackoff;
    m_pongPending = true;
    m_socket->ping();
    m_pingWake = m_clock.scheduleWake(pingInterval, [this] { onPingDue(); });
}

void PushChannel::onText(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        dropConnection(QStringLiteral("garbage from the server"));
        return;
    }
    qCInfo(lcAlerts).noquote() << "Push received:" << document.object().value(QStringLiteral("type")).toString();
    emit notificationReceived(document.object());
}

void PushChannel::dropConnection(const QString &why)
{
    if (!m_socket)
        return;
    // Possibly inside one of the socket's own signals: detach now, delete later.
    QWebSocket *socket = m_socket.release();
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
    for (std::uint64_t *wake : {&m_pingWake, &m_openWake}) {
        if (*wake != 0)
            m_clock.cancelWake(*wake);
        *wake = 0;
    }
    qCInfo(lcAlerts).noquote() << "Push channel closed:" << why;
    setConnected(false);
    scheduleReconnect();
}

void PushChannel::scheduleReconnect()
{
    if (!m_running || m_reconnectWake != 0)
        return;
    // Somewhere in the upper half of the current step, so a fleet does not reconnect in step.
    const double fraction = 0.5 + 0.5 * std::clamp(m_jitter(), 0.0, 1.0);
    const auto delay = std::chrono::milliseconds(static_cast<qint64>(static_cast<double>(m_backoff.count()) * fraction));
    m_backoff = std::min<std::chrono::milliseconds>(m_backoff * 2, maxBackoff);
    m_reconnectWake = m_clock.scheduleWake(delay, [this] {
        m_reconnectWake = 0;
        if (m_running)
            attempt();
    });
}

void PushChannel::setConnected(bool connected)
{
    if (m_connected == connected)
        return;
    m_connected = connected;
    emit connectedChanged(connected);
}

} // namespace vesk
