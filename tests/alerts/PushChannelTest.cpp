#include "LogCapture.h"
#include "ManualClock.h"

#include "alerts/PushChannel.h"

#include <QSignalSpy>
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

    // An oversized frame does the same; the back-off starts over after a good connection.
    rig.peer.latest()->sendTextMessage(QString(PushChannel::maxMessageBytes + 1, QLatin1Char('x')));
    ASSERT_TRUE(rig.waitDropped());
    EXPECT_EQ(rig.clock.nextWakeIn(), 1000ms);
    rig.clock.advance(1000ms);
    ASSERT_TRUE(rig.waitConnected(3));
    EXPECT_EQ(rig.pushes.size(), 1);
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
