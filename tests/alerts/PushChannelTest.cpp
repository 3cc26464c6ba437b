#include "LogCapture.h"
#include "ManualClock.h"

#include "alerts/PushChannel.h"

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>
#include <QUrlQuery>
#include <QWebSocketServer>

#include <gtest/gtest.h>

#include <deque>

using namespace std::chrono_literals;

namespace vesk::test {
namespace {

// Hands out tickets from a script; an empty script refuses.
struct ScriptedSessions final : PushSessionApi {
    std::deque<APIResult<PushSession>> answers;
    int calls = 0;
    QCoro::Task<APIResult<PushSession>> openPushSession() override
    {
        ++calls;
        if (answers.empty())
            co_return APIResult<PushSession>(APIError::networkError("Connection refused"));
        APIResult<PushSession> answer = answers.front();
        answers.pop_front();
        co_return answer;
    }
};

// A loopback WebSocket server standing in for the fleet server's push endpoint.
struct PushPeer {
    QWebSocketServer server{QStringLiteral("push"), QWebSocketServer::NonSecureMode};
    QList<QWebSocket *> sockets;
    QStringList tickets;
    PushPeer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QWebSocketServer::newConnection, &server, [this] {
            while (QWebSocket *socket = server.nextPendingConnection()) {
                socket->setParent(&server);
                sockets << socket;
                tickets << QUrlQuery(socket->requestUrl()).queryItemValue("ticket");
            }
        });
    }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/api").arg(server.serverPort()); }
    QWebSocket *latest() const { return sockets.isEmpty() ? nullptr : sockets.last(); }
};

APIResult<PushSession> session(const QString &ticket) { return PushSession{ticket, "00ff10", {}}; }

struct ChannelRig {
    ManualClock clock;
    ScriptedSessions sessions;
    PushPeer peer;
    PushChannel channel{{sessions, clock, peer.baseUrl(), [] { return 1.0; }}};
    QSignalSpy connected{&channel, &PushChannel::connectedChanged};
    QSignalSpy pushes{&channel, &PushChannel::notificationReceived};
    QSignalSpy tokens{&channel, &PushChannel::tokenReceived};

    ~ChannelRig() { channel.stop(); }
    bool waitConnected(int sockets) const
    {
        return QTest::qWaitFor([&] { return channel.isConnected() && peer.sockets.size() == sockets; }, 5000);
    }
    bool waitDropped() const
    {
        return QTest::qWaitFor([&] { return !channel.isConnected(); }, 5000);
    }
};

TEST(PushChannel, ChannelUrlFollowsTheApiScheme)
{
    EXPECT_EQ(PushChannel::channelUrl("https://fleet.example.com/api", {"t1", "ab", {}}).toString(),
              "wss://fleet.example.com/api/push?ticket=t1");
    EXPECT_EQ(PushChannel::channelUrl("http://127.0.0.1:8080/api", {"t2", "ab", {}}).toString(),
              "ws://127.0.0.1:8080/api/push?ticket=t2");
    EXPECT_EQ(PushChannel::channelUrl("http://127.0.0.1:8080/api", {"t3", "ab", "ws://127.0.0.1:8081/api/push"})
                  .toString(),
              "ws://127.0.0.1:8081/api/push?ticket=t3");
}

TEST(PushChannel, DeliversPushesAndReconnectsAfterGarbageOrHugeFrames)
{
    ChannelRig rig;
    rig.sessions.answers = {session("first"), session("second"), session("third")};
    rig.channel.start();
    ASSERT_TRUE(rig.waitConnected(1));
    EXPECT_EQ(rig.peer.tickets, QStringList{"first"});
    ASSERT_EQ(rig.tokens.size(), 1);
    EXPECT_EQ(rig.tokens[0][0].toString(), "00ff10");

    rig.peer.latest()->sendTextMessage(R"({"type":"command_pending"})");
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.pushes.size() == 1; }, 5000));
    EXPECT_EQ(rig.pushes[0][0].toJsonObject().value("type").toString(), "command_pending");

    // Garbage closes the connection; the next attempt waits the first back-off step.
    rig.peer.latest()->sendTextMessage("{not json");
    ASSERT_TRUE(rig.waitDropped());
    EXPECT_EQ(rig.clock.nextWakeIn(), 1000ms);
    rig.clock.advance(1000ms);
    ASSERT_TRUE(rig.waitConnected(2));
    EXPECT_EQ(rig.peer.tickets.last(), "second");
    EXPECT_EQ(rig.tokens.size(), 1) << "the same token is not handed on twice";

    // An oversized frame does the same; a connection that did not last a ping interval does
    // not start the back-off over, so a server that accepts and misbehaves is not hammered.
    rig.peer.latest()->sendTextMessage(QString(PushChannel::maxMessageBytes + 1, QLatin1Char('x')));
    ASSERT_TRUE(rig.waitDropped());
    EXPECT_EQ(rig.clock.nextWakeIn(), 2000ms);
    rig.clock.advance(2000ms);
    ASSERT_TRUE(rig.waitConnected(3));
    EXPECT_EQ(rig.pushes.size(), 1);

    // One that stayed up for an interval does.
    rig.clock.advance(PushChannel::pingInterval);
    ASSERT_TRUE(rig.channel.isConnected());
    rig.peer.latest()->sendTextMessage("[1]");
    ASSERT_TRUE(rig.waitDropped());
    EXPECT_EQ(rig.clock.nextWakeIn(), 1000ms);
}

// A loopback TCP peer that speaks just enough WebSocket to misbehave in one chosen way.
struct RawPeer {
    enum class Misbehaviour { SilentHandshake, GarbageHandshake, HugeFrameHeader, ReservedOpcode, OversizedFragments };
    QTcpServer server;
    QList<QTcpSocket *> sockets;
    Misbehaviour how;

    explicit RawPeer(Misbehaviour misbehaviour) : how(misbehaviour)
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                sockets << socket;
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            }
        });
    }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/api").arg(server.serverPort()); }

    void answer(QTcpSocket *socket)
    {
        if (socket->property("answered").toBool()) {
            socket->readAll(); // the client's pings and close frames, unanswered
            return;
        }
        const QByteArray head = socket->peek(65536);
        if (!head.contains("\r\n\r\n"))
            return;
        socket->readAll();
        socket->setProperty("answered", true);
        if (how == Misbehaviour::SilentHandshake)
            return;
        if (how == Misbehaviour::GarbageHandshake) {
            socket->write("\x16\x03\x01 not a handshake\r\n\r\n");
            return;
        }
        QByteArray key;
        for (const QByteArray &line : head.split('\n')) {
            if (line.toLower().startsWith("sec-websocket-key:"))
                key = line.mid(18).trimmed();
        }
        const QByteArray accept =
            QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1).toBase64();
        socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Accept: " + accept + "\r\n\r\n");
        socket->write(frames());
    }

    QByteArray frames() const
    {
        switch (how) {
        case Misbehaviour::HugeFrameHeader:
            return QByteArray::fromHex("817f0000010000000000"); // a text frame announcing 1 TiB
        case Misbehaviour::ReservedOpcode:
            return QByteArray::fromHex("8300");
        case Misbehaviour::OversizedFragments: {
            // A well-formed push padded over the cap, in frames of 1,000 bytes each (under it).
            QByteArray message = R"({"type":"command_pending","pad":")" + QByteArray(PushChannel::maxMessageBytes, 'x');
            message += QByteArray(1000 - message.size() % 1000 - 2, 'x') + "\"}";
            QByteArray out;
            for (qsizetype at = 0; at < message.size(); at += 1000) {
                const bool first = at == 0, last = at + 1000 >= message.size();
                out += char((last ? 0x80 : 0x00) | (first ? 0x01 : 0x00));
                out += QByteArray::fromHex("7e03e8") + message.mid(at, 1000);
            }
            return out;
        }
        default:
            return {};
        }
    }
};

TEST(PushChannel, MisbehavingPeersAreClosedAndRetriedAfterTheFirstStep)
{
    using M = RawPeer::Misbehaviour;
    const struct {
        M how;
        const char *name;
        bool opens;
    } cases[] = {
        {M::SilentHandshake, "never answers the handshake", false},
        {M::GarbageHandshake, "answers the handshake with garbage", false},
        {M::HugeFrameHeader, "announces a 1 TiB frame", true},
        {M::ReservedOpcode, "sends a frame of a reserved opcode", true},
        {M::OversizedFragments, "fragments a message over the cap", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ManualClock clock;
        ScriptedSessions sessions;
        sessions.answers = {session("one")};
        RawPeer peer(c.how);
        PushChannel channel{{sessions, clock, peer.baseUrl(), [] { return 1.0; }}};
        QSignalSpy connected(&channel, &PushChannel::connectedChanged);
        QSignalSpy pushes(&channel, &PushChannel::notificationReceived);
        channel.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return peer.sockets.size() == 1; }, 5000));
        if (c.how == M::SilentHandshake) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return peer.sockets[0]->property("answered").toBool(); }, 5000));
            clock.advance(PushChannel::openTimeout);
        }
        // Dropped: the peer sees its connection end and one reconnect waits the first step.
        ASSERT_TRUE(QTest::qWaitFor([&] { return peer.sockets[0]->state() == QAbstractSocket::UnconnectedState; }, 5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return clock.sleeperCount() == 1; }, 5000));
        EXPECT_FALSE(channel.isConnected());
        EXPECT_EQ(connected.size(), c.opens ? 2 : 0);
        EXPECT_EQ(clock.nextWakeIn(), 1000ms);
        EXPECT_EQ(pushes.size(), 0);
        channel.stop();
    }
}

TEST(PushChannel, RefusedSessionsBackOffDoublingToFiveMinutes)
{
    ChannelRig rig;
    LogCapture log;
    rig.channel.start();
    QList<qint64> waits;
    for (int i = 0; i < 11; ++i) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.clock.sleeperCount() == 1; }, 5000));
        waits << rig.clock.nextWakeIn().count() / 1000;
        rig.clock.advance(rig.clock.nextWakeIn());
    }
    EXPECT_EQ(waits, (QList<qint64>{1, 2, 4, 8, 16, 32, 64, 128, 256, 300, 300}));
    EXPECT_EQ(rig.sessions.calls, 12);
    EXPECT_FALSE(rig.channel.isConnected());
    EXPECT_GE(log.count("Push channel: no session"), 11);

    // A jitter of 0 waits half the step.
    ManualClock clock;
    ScriptedSessions sessions;
    PushChannel early{{sessions, clock, "http://127.0.0.1:9/api", [] { return 0.0; }}};
    early.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clock.sleeperCount() == 1; }, 5000));
    EXPECT_EQ(clock.nextWakeIn(), 500ms);
    early.stop();
}

TEST(PushChannel, SilentPeerIsDroppedAfterAnUnansweredPing)
{
    ChannelRig rig;
    rig.sessions.answers = {session("first")};
    rig.channel.start();
    ASSERT_TRUE(rig.waitConnected(1));
    // Without a turn of the event loop between the two pings, no pong can come back.
    rig.clock.advance(PushChannel::pingInterval);
    EXPECT_TRUE(rig.channel.isConnected());
    rig.clock.advance(PushChannel::pingInterval);
    EXPECT_FALSE(rig.channel.isConnected());
    EXPECT_EQ(rig.clock.nextWakeIn(), 1000ms) << "and reconnects after the first back-off step";
}

} // namespace
} // namespace vesk::test
