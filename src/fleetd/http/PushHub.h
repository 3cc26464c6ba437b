#pragma once

#include "wire/PushSession.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class QWebSocket;

namespace vesk::fleetd {

// The push channels of the fleet's machines, upgraded on the API's own port (/api/push). A
// machine that passed the fleet-key check and owns its serial gets a one-use ticket (valid for
// a minute) and its device token; it opens the WebSocket with the ticket, and from then on
// every push for its serial reaches it at once. Frames from agents are not expected: anything but a close or a pong, and anything
// over 4 KiB, ends the connection. Every minute each channel is pinged; one that has not
// answered the previous ping by then is closed, so a vanished agent costs a descriptor for
// two minutes at most.
class PushHub : public QObject {
    Q_OBJECT
public:
    using Now = std::function<QDateTime()>;

    static constexpr qint64 ticketSeconds = 60;
    static constexpr qint64 maxIncomingBytes = 4096;
    static constexpr qsizetype maxTickets = 100000;
    static constexpr std::chrono::seconds pingInterval{60};

    explicit PushHub(Now now, QObject *parent = nullptr);
    ~PushHub() override;

    PushSession openSession(qint64 tenantId, const QString &serial);
    // Takes an upgraded connection: kept when its ticket is good, else closed.
    void adopt(std::unique_ptr<QWebSocket> socket);

    // Sends `payload` to every open channel of the machine; how many got it.
    int push(const QString &serial, const QJsonObject &payload);
    int commandPending(const QString &serial);
    int connectionCount() const;

    // Closes the channels that left the last ping unanswered and pings the others; the hub's
    // timer runs it every pingInterval.
    void pingSweep();
    // Channels pinged and not yet answered.
    int unansweredPings() const { return static_cast<int>(m_awaitingPong.size()); }

private:
    struct Ticket {
        qint64 tenantId = 0;
        QString serial;
        QDateTime expires;
    };
    void forget(QWebSocket *socket);

    Now m_now;
    QHash<QString, Ticket> m_tickets;
    QHash<QString, QString> m_tokens;                 // serial -> device token
    QHash<QString, QSet<QWebSocket *>> m_channels;    // serial -> open channels
    QHash<QWebSocket *, QString> m_serialOf;
    QSet<QWebSocket *> m_awaitingPong;
    QTimer m_pingTimer;
};

} // namespace vesk::fleetd
