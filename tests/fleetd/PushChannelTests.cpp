// The push channel end to end inside one process: tickets only for the key's own machines,
// one use and one minute per ticket, a queued command announced at once, and agents that
// send anything or stop answering pings are cut off; critical alerts reach the tenant's Agent
// Mode machines within their scope.
#include "FleetAPIFixture.h"

#include "fleetd/http/FleetRoutes.h"
#include "fleetd/http/PushHub.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

using namespace vesk::fleetd;

namespace {

class PushChannelTest : public FleetAPIFixture {
protected:
    void SetUp() override
    {
        FleetAPIFixture::SetUp();
        m_hub = std::make_unique<PushHub>([this] { return m_now; });
        m_server = std::make_unique<FleetHttpServer>(
            fleetRoutes(FleetContext{m_store, [this] { return m_now; }}, m_hub.get()));
        m_server->acceptWebSockets([this](std::unique_ptr<QWebSocket> socket) { m_hub->adopt(std::move(socket)); });
        m_port = m_server->listen(QHostAddress::LocalHost, 0);
        ASSERT_NE(m_port, 0);
        m_api = QStringLiteral("http://127.0.0.1:%1/api/").arg(m_port);
    }
    void TearDown() override
    {
        for (auto &socket : m_sockets)
            socket->abort();
        m_sockets.clear();
        m_raw.clear();
        m_server.reset();
        m_hub.reset();
    }

    HttpAnswer session(const Tenant &tenant, const QString &serial)
    {
        return call(tenant, "POST", "push_session", QStringLiteral(R"({"serial":"%1"})").arg(serial).toUtf8(),
                    "application/json", serial);
    }
    // Opens a channel with `ticket` and waits (a while) for the handshake.
    QWebSocket *open(const QString &ticket)
    {
        m_sockets.push_back(std::make_unique<QWebSocket>());
        QWebSocket *socket = m_sockets.back().get();
        socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/push?ticket=%2").arg(m_port).arg(ticket)));
        // Connected, or already closed again for a refused ticket; the caller checks which.
        const bool settled = QTest::qWaitFor(
            [socket] {
                return socket->state() == QAbstractSocket::ConnectedState ||
                       socket->state() == QAbstractSocket::UnconnectedState;
            },
            5000);
        Q_UNUSED(settled);
        return socket;
    }
    // Completes the handshake by hand and from then on neither reads nor answers anything.
    QTcpSocket *openSilent(const QString &ticket)
    {
        m_raw.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket *socket = m_raw.back().get();
        socket->connectToHost(QHostAddress::LocalHost, m_port);
        socket->write(QStringLiteral("GET /api/push?ticket=%1 HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                     "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                     "Sec-WebSocket-Version: 13\r\n\r\n")
                          .arg(ticket)
                          .toLatin1());
        const bool upgraded = QTest::qWaitFor([socket] { return socket->peek(4096).contains("\r\n\r\n"); }, 5000);
        EXPECT_TRUE(upgraded && socket->peek(4096).startsWith("HTTP/1.1 101"));
        return socket;
    }
    bool closedByServer(QWebSocket *socket)
    {
        return QTest::qWaitFor([socket] { return socket->state() == QAbstractSocket::UnconnectedState; }, 5000);
    }

    std::unique_ptr<PushHub> m_hub;
    quint16 m_port = 0;
    std::vector<std::unique_ptr<QWebSocket>> m_sockets;
    std::vector<std::unique_ptr<QTcpSocket>> m_raw;
};

TEST_F(PushChannelTest, TicketsOpenOneChannelOfTheKeysOwnMachineAndQueuedCommandsArriveAtOnce)
{
    // The key's check refuses a machine that is not the tenant's before the route runs.
    EXPECT_EQ(session(m_a, "B1").status, 403) << "another tenant's machine";
    EXPECT_EQ(session(m_a, "NOPE").status, 403);
    const HttpAnswer first = session(m_a, "A1");
    ASSERT_EQ(first.status, 200) << first.body.toStdString();
    const QString ticket = first.json.value("ticket").toString();
    const QString token = first.json.value("token").toString();
    EXPECT_EQ(token.size(), 64);
    EXPECT_EQ(session(m_a, "A1").json.value("token").toString(), token) << "the device token stays";

    QWebSocket *channel = open(ticket);
    ASSERT_EQ(channel->state(), QAbstractSocket::ConnectedState);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_hub->connectionCount() == 1; }, 5000));
    QSignalSpy pushes(channel, &QWebSocket::textMessageReceived);

    const HttpAnswer queued =
        call(m_a, "POST", "device_command", R"({"serial":"A1","command":"clear_message"})", "application/json", "A1");
    ASSERT_EQ(queued.status, 200) << queued.body.toStdString();
    // The push may arrive while the queueing request is still being answered.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pushes.size() == 1; }, 5000));
    EXPECT_EQ(pushes[0][0].toString(), R"({"type":"command_pending"})");
    EXPECT_EQ(m_hub->commandPending("A2"), 0) << "nothing reaches a machine without a channel";

    EXPECT_TRUE(closedByServer(open(ticket))) << "a ticket opens once";
    EXPECT_TRUE(closedByServer(open("0123abcd"))) << "an unknown ticket";
    const QString late = session(m_a, "A2").json.value("ticket").toString();
    m_now = m_now.addSecs(PushHub::ticketSeconds);
    EXPECT_TRUE(closedByServer(open(late))) << "an expired ticket";
    EXPECT_EQ(m_hub->connectionCount(), 1);
}

TEST_F(PushChannelTest, AnAgentThatSendsGarbageOrHugeFramesIsCutOff)
{
    QWebSocket *chatty = open(session(m_a, "A1").json.value("ticket").toString());
    QWebSocket *huge = open(session(m_a, "A2").json.value("ticket").toString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_hub->connectionCount() == 2; }, 5000));
    chatty->sendTextMessage("hello?");
    huge->sendBinaryMessage(QByteArray(PushHub::maxIncomingBytes * 4, 'x'));
    EXPECT_TRUE(closedByServer(chatty));
    EXPECT_TRUE(closedByServer(huge));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_hub->connectionCount() == 0; }, 5000));
}

TEST_F(PushChannelTest, CriticalAlertsReachTheTenantsAgentModeMachinesWithinTheirScope)
{
    beat("A3", "EVT-A");
    beat("A4", "evt-a");
    beat("A5", "EVT-A");
    struct Machine {
        const Tenant *tenant;
        QString serial;
        bool agent;
        QString scope;
        QString eventCode; // sent with the registration when set
        bool hears;
        QWebSocket *channel = nullptr;
        std::unique_ptr<QSignalSpy> pushes = {};
    };
    Machine machines[] = {
        {&m_a, "A1", true, "photographer", "", false},    // the reporter itself
        {&m_a, "A2", true, "photographer", "", true},     // the whole tenant
        {&m_a, "A3", false, "photographer", "", false},   // not in Agent Mode
        {&m_a, "A4", true, "location", "", true},         // its heartbeat's location, any case
        {&m_a, "A5", true, "location", "EVT-A5", false},  // registered for another location
        {&m_b, "B1", true, "photographer", "", false},    // another tenant
    };
    for (Machine &m : machines) {
        QJsonObject registration{{"serial", m.serial}, {"token", "t-" + m.serial}, {"is_agent", m.agent},
                                 {"platform", "linux"}, {"alert_scope", m.scope}};
        if (!m.eventCode.isEmpty())
            registration.insert("eventcode", m.eventCode);
        const HttpAnswer registered = call(*m.tenant, "POST", "push_token", QJsonDocument(registration).toJson(),
                                           "application/json", m.serial);
        ASSERT_EQ(registered.status, 200) << registered.body.toStdString();
        m.channel = open(session(*m.tenant, m.serial).json.value("ticket").toString());
        ASSERT_EQ(m.channel->state(), QAbstractSocket::ConnectedState) << m.serial.toStdString();
        m.pushes = std::make_unique<QSignalSpy>(m.channel, &QWebSocket::textMessageReceived);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_hub->connectionCount() == 6; }, 5000));

    const auto report = [&](const QString &severity, bool resolved) {
        const QJsonObject alert{{"serial", "A1"},      {"severity", severity}, {"category", "disk"},
                                {"title", "Disk Almost Full"}, {"message", "Storage is 93% full"},
                                {"timestamp", "2025-03-01T09:29:00Z"}, {"resolved", resolved}};
        return call(m_a, "POST", "device_alert", QJsonDocument(alert).toJson(), "application/json", "A1");
    };
    EXPECT_EQ(report("warning", false).status, 200);
    EXPECT_EQ(report("critical", true).status, 200) << "a clearing";
    const HttpAnswer critical = report("critical", false);
    ASSERT_EQ(critical.status, 200) << critical.body.toStdString();
    // A marker behind the alert on every channel: whatever came first was pushed before it.
    for (const Machine &m : machines)
        EXPECT_EQ(m_hub->commandPending(m.serial), 1);
    for (const Machine &m : machines) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return m.pushes->size() == (m.hears ? 2 : 1); }, 5000))
            << m.serial.toStdString() << " got " << m.pushes->size();
        EXPECT_EQ(m.pushes->last()[0].toString(), R"({"type":"command_pending"})") << m.serial.toStdString();
    }
    const QJsonObject pushed = QJsonDocument::fromJson(machines[1].pushes->first()[0].toString().toUtf8()).object();
    EXPECT_EQ(pushed, (QJsonObject{{"type", "alert"},
                                   {"alert_id", critical.json.value("alert_id")},
                                   {"serial", "A1"},
                                   {"severity", "critical"},
                                   {"category", "disk"},
                                   {"title", "Disk Almost Full"},
                                   {"message", "Storage is 93% full"},
                                   {"timestamp", "2025-03-01T09:29:00Z"}}));
    EXPECT_EQ(machines[3].pushes->first()[0], machines[1].pushes->first()[0]);
}

} // namespace

TEST_F(PushChannelTest, AnAgentThatLeavesAPingUnansweredIsClosedAtTheNextSweep)
{
    QWebSocket *answering = open(session(m_a, "A1").json.value("ticket").toString());
    QTcpSocket *silent = openSilent(session(m_a, "A2").json.value("ticket").toString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_hub->connectionCount() == 2; }, 5000));

    m_hub->pingSweep();
    EXPECT_EQ(m_hub->unansweredPings(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_hub->unansweredPings() == 1; }, 5000)) << "the client's pong";

    m_hub->pingSweep();
    EXPECT_EQ(m_hub->connectionCount(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent->state() == QAbstractSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(answering->state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(m_hub->commandPending("A1"), 1);
    EXPECT_EQ(m_hub->commandPending("A2"), 0);
}
