// The connection front, tried as an outsider would: oversized and malformed requests, slow and
// idle connections, connection close, encoded paths and the unauthenticated routes' limits.
#include "FleetAPIFixture.h"

#include "fleetd/LogRedaction.h"
#include "fleetd/http/FleetRoutes.h"
#include "fleetd/http/RouteRateLimits.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTest>

using namespace vesk::fleetd;
using namespace std::chrono_literals;

namespace {

// A hand-written HTTP client on a real socket: it sends exactly the bytes it is given.
class RawClient {
public:
    explicit RawClient(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        (void)QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 3000);
    }
    void send(const QByteArray &bytes) { m_socket.write(bytes); }

    // The status of the next whole response; 0 if none came in time. Its body goes to lastBody.
    int status(int timeoutMs = 3000)
    {
        qsizetype length = -1;
        (void)QTest::qWaitFor([&] { return (length = responseLength()) >= 0; }, timeoutMs);
        if (length < 0)
            return 0;
        const int code = m_received.mid(9, 3).toInt();
        lastResponse = m_received.first(length);
        lastBody = lastResponse.mid(m_received.indexOf("\r\n\r\n") + 4);
        m_received.remove(0, length);
        return code;
    }
    bool closedByServer()
    {
        return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, 3000);
    }

    QByteArray lastBody;
    QByteArray lastResponse;

private:
    // The length of the first whole response received, or -1.
    qsizetype responseLength()
    {
        m_received += m_socket.readAll();
        const qsizetype end = m_received.indexOf("\r\n\r\n");
        if (end < 0)
            return -1;
        const QByteArray head = m_received.first(end).toLower() + "\r";
        const qsizetype at = head.indexOf("content-length:");
        const qsizetype body = at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        return m_received.size() >= end + 4 + body ? end + 4 + body : -1;
    }

    QTcpSocket m_socket;
    QByteArray m_received;
};

QByteArray request(const QByteArray &method, const QByteArray &target, const QByteArray &headers = {},
                   const QByteArray &body = {})
{
    return method + ' ' + target + " HTTP/1.1\r\nHost: fleet\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray heartbeat(const QByteArray &serial)
{
    return R"({"eventcode": "EVT-A", "serial": ")" + serial +
           R"(", "app": "warden", "version": "1.0", "state": {"agentMode": false}})";
}

// The fixture's tenants and machines behind the serve configuration: rate limits on, and
// timeouts short enough to watch.
class ConnectionLimitTest : public FleetAPIFixture {
protected:
    void SetUp() override
    {
        FleetAPIFixture::SetUp();
        ConnectionLimits limits;
        limits.headerTimeout = 300ms;
        limits.bodyTimeout = 300ms;
        limits.idleTimeout = 600ms;
        limits.lingerTime = 200ms;
        limits.maxInFlightBodyBytes = 3 * 1024 * 1024;
        const FleetContext context{m_store, [this] { return m_now; }};
        m_server = std::make_unique<FleetHttpServer>(RouteRateLimits::apply(fleetRoutes(context), context), limits);
        m_port = m_server->listen(QHostAddress::LocalHost, 0);
        ASSERT_NE(m_port, 0);
    }

    bool registered(const QString &serial) { return m_store.ownership().owner(serial).status.isOk(); }

    quint16 m_port = 0;
};

TEST_F(ConnectionLimitTest, BodiesOverTheRouteLimitGet413BeforeTheyAreSent)
{
    for (const auto &[path, length] : {std::pair{"heartbeat", "104857600"}, std::pair{"heartbeat", "1099511627776"},
                                       std::pair{"device_telemetry", "1048577"}, std::pair{"payload", "33554433"},
                                       std::pair{"nowhere", "2097152"}}) {
        RawClient client(m_port);
        // Headers only: the body never comes.
        client.send(QByteArray("POST /api/") + path + " HTTP/1.1\r\nHost: f\r\nContent-Length: " + length + "\r\n\r\n");
        EXPECT_EQ(client.status(), 413) << path << ' ' << length;
        EXPECT_TRUE(client.lastBody.contains("exceeds")) << path << ": " << client.lastBody.toStdString();
        EXPECT_TRUE(client.closedByServer()) << path << ' ' << length;
    }

    // A streamed body is cut off as soon as it crosses the limit, long before it ends.
    RawClient streaming(m_port);
    streaming.send("POST /api/heartbeat HTTP/1.1\r\nHost: f\r\nTransfer-Encoding: chunked\r\n\r\n");
    for (int i = 0; i < 17; ++i) // 17 × 64 KiB, just over 1 MiB
        streaming.send("10000\r\n" + QByteArray(0x10000, ' ') + "\r\n");
    EXPECT_EQ(streaming.status(), 413);
    EXPECT_TRUE(streaming.closedByServer());

    // Within the limits the same route serves, chunked, plain, or after 100 Continue.
    RawClient fine(m_port);
    const QByteArray json = "Content-Type: application/json\r\n";
    const QByteArray chunked = heartbeat("C-OK1");
    fine.send("POST /api/heartbeat HTTP/1.1\r\nHost: f\r\n" + json + "Transfer-Encoding: chunked\r\n\r\n" +
              QByteArray::number(chunked.size(), 16) + "\r\n" + chunked + "\r\n0\r\n\r\n");
    EXPECT_EQ(fine.status(), 200) << fine.lastBody.toStdString();
    const QByteArray waiting = request("POST", "/api/heartbeat", json + "Expect: 100-continue\r\n", heartbeat("C-OK2"));
    const qsizetype bodyStart = waiting.indexOf("\r\n\r\n") + 4;
    fine.send(waiting.first(bodyStart));
    EXPECT_EQ(fine.status(), 100);
    fine.send(waiting.mid(bodyStart));
    EXPECT_EQ(fine.status(), 200) << fine.lastBody.toStdString();

    // Unfinished uploads within their limit share one budget; small requests never wait on it.
    const QByteArray upload = "POST /api/payload HTTP/1.1\r\nHost: f\r\nContent-Length: 2097152\r\n\r\n";
    RawClient first(m_port);
    first.send(upload);
    fine.send(request("POST", "/api/heartbeat", json, heartbeat("C-OK3")));
    EXPECT_EQ(fine.status(), 200);
    RawClient second(m_port);
    second.send(upload);
    EXPECT_EQ(second.status(), 503);
    fine.send(request("POST", "/api/heartbeat", json, heartbeat("C-OK4")));
    EXPECT_EQ(fine.status(), 200);
    for (const char *serial : {"C-OK1", "C-OK2", "C-OK3", "C-OK4"})
        EXPECT_TRUE(registered(serial)) << serial;
}

TEST_F(ConnectionLimitTest, MalformedAndDisguisedRequestsGetA4xxAndNeverRoute)
{
    const QByteArray json = "Content-Type: application/json\r\n";
    const struct {
        const char *name;
        QByteArray bytes;
        int status;
    } cases[] = {
        {"encoded slash", request("POST", "/api%2Fheartbeat", json, heartbeat("C-ENC")), 404},
        {"request line of two words", "POST /api/heartbeat\r\n\r\n", 400},
        {"unknown version", "GET /api/devices HTTP/2.0\r\nHost: f\r\n\r\n", 400},
        {"Content-Length not a number", "POST /api/heartbeat HTTP/1.1\r\nContent-Length: 1e3\r\n\r\n", 400},
        {"length and chunked", "POST /api/heartbeat HTTP/1.1\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n",
         400},
        {"gzip transfer coding", "POST /api/heartbeat HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", 400},
        {"bad chunk size", "POST /api/heartbeat HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 400},
        {"upgrade", "GET /api/devices HTTP/1.1\r\nHost: f\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n", 400},
        {"20 KiB of headers", "GET /api/devices HTTP/1.1\r\nX-Pad: " + QByteArray(20 * 1024, 'a') + "\r\n\r\n", 431},
        {"200-byte serial header",
         request("POST", "/api/device_commands", "X-Device-Serial: " + QByteArray(200, 'S') + "\r\n" + json, "{}"), 400},
        {"1 MB serial in a heartbeat", request("POST", "/api/heartbeat", json, heartbeat(QByteArray(1000000, 'S'))), 400},
        {"200-char serial to fetch_fleet_secret",
         request("POST", "/api/fetch_fleet_secret", json, R"({"serial": ")" + QByteArray(200, 'S') + "\"}"), 400},
    };
    for (const auto &tc : cases) {
        RawClient client(m_port);
        client.send(tc.bytes);
        EXPECT_EQ(client.status(), tc.status) << tc.name << ": " << client.lastBody.left(200).toStdString();
    }
    EXPECT_FALSE(registered("C-ENC"));
    EXPECT_EQ(m_store.machines().value.size(), 3); // the fixture's own machines only
}

TEST_F(ConnectionLimitTest, SlowAndIdleConnectionsAreClosedWithoutDelayingOthers)
{
    const struct {
        const char *name;
        QByteArray bytes;
        int status; // 0: closed without an answer
        qint64 atLeastMs;
    } cases[] = {
        {"headers never finish", "POST /api/heartbeat HTTP/1.1\r\nHost: f\r\n", 408, 250},
        {"body stalls", "POST /api/heartbeat HTTP/1.1\r\nHost: f\r\nContent-Length: 100\r\n\r\n{\"ser", 408, 250},
        {"kept alive, then idle", request("GET", "/api/nowhere"), 404, 0},
        {"never says a word", {}, 0, 550},
    };
    std::vector<std::unique_ptr<RawClient>> held;
    for (const auto &tc : cases) {
        held.push_back(std::make_unique<RawClient>(m_port));
        held.back()->send(tc.bytes);
    }
    QElapsedTimer clock;
    clock.start();
    // The held connections cost others nothing.
    RawClient poll(m_port);
    poll.send(request("POST", "/api/device_commands",
                      "Content-Type: application/json\r\nX-Device-Serial: A1\r\nX-Fleet-Key: " + m_a.key + "\r\n",
                      R"({"serial": "A1"})"));
    EXPECT_EQ(poll.status(1000), 200) << poll.lastBody.toStdString();

    for (size_t i = 0; i < held.size(); ++i) {
        const auto &tc = cases[i];
        if (tc.status != 0) {
            EXPECT_EQ(held[i]->status(), tc.status) << tc.name;
        }
        EXPECT_TRUE(held[i]->closedByServer()) << tc.name;
        EXPECT_GE(clock.elapsed(), tc.atLeastMs) << tc.name;
    }
}

TEST_F(ConnectionLimitTest, ConnectionCloseAndHttp10AreAnsweredThenClosed)
{
    const struct {
        const char *name;
        QByteArray bytes;
        bool closes;
    } cases[] = {
        {"HTTP/1.1 Connection: close", "GET /api/nowhere HTTP/1.1\r\nHost: f\r\nConnection: close\r\n\r\n", true},
        {"HTTP/1.0", "GET /api/nowhere HTTP/1.0\r\n\r\n", true},
        {"HTTP/1.0 keep-alive", "GET /api/nowhere HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", false},
        {"HTTP/1.1", "GET /api/nowhere HTTP/1.1\r\nHost: f\r\n\r\n", false},
    };
    for (const auto &tc : cases) {
        RawClient client(m_port);
        client.send(tc.bytes);
        EXPECT_EQ(client.status(), 404) << tc.name;
        if (tc.closes) {
            EXPECT_TRUE(client.closedByServer()) << tc.name;
        } else {
            // Still open for a second request (well before the idle timeout).
            client.send(tc.bytes);
            EXPECT_EQ(client.status(), 404) << tc.name;
        }
    }
}

// A poll repeated byte for byte on a kept-alive connection is answered by the front from what
// the handler answered before; every change that decides the answer must show at once.
TEST_F(ConnectionLimitTest, RepeatedIdlePollsAnswerLikeTheHandlerAndSeeEveryChangeAtOnce)
{
    const QByteArray poll = request("POST", "/api/device_commands",
                                    "Content-Type: application/json\r\nX-Device-Serial: A1\r\nX-Fleet-Key: " + m_a.key +
                                        "\r\n",
                                    R"({"serial": "A1"})");
    RawClient client(m_port);
    // The same answer, to the byte, from the handler and then from the front; pipelined too.
    client.send(poll);
    ASSERT_EQ(client.status(), 200) << client.lastBody.toStdString();
    const QByteArray first = client.lastResponse;
    client.send(poll + poll);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(client.status(), 200);
        EXPECT_EQ(client.lastResponse, first);
    }

    // A command queued on another connection (the admin command line's), then one queued by
    // this server; a command handed out and never answered comes back after its timeout.
    FleetStore admin;
    ASSERT_EQ(admin.open(m_dbPath, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
    ASSERT_TRUE(admin.commands().queue(m_a.tenantId, "A1", "restart", {}, "admin", m_now).status.isOk());
    client.send(poll);
    ASSERT_EQ(client.status(), 200);
    EXPECT_EQ(QJsonDocument::fromJson(client.lastBody).object().value("commands").toArray().size(), 1);
    RawClient console(m_port);
    console.send(request("POST", "/api/device_command",
                         "Content-Type: application/json\r\nX-Device-Serial: A1\r\nX-Fleet-Key: " + m_a.key + "\r\n",
                         R"({"serial": "A1", "command": "restart"})"));
    ASSERT_EQ(console.status(), 200) << console.lastBody.toStdString();
    client.send(poll);
    ASSERT_EQ(client.status(), 200);
    EXPECT_EQ(QJsonDocument::fromJson(client.lastBody).object().value("commands").toArray().size(), 1);
    client.send(poll);
    ASSERT_EQ(client.status(), 200);
    EXPECT_EQ(client.lastResponse, first);
    m_now = m_now.addSecs(CommandStore::kDefaultRedeliverAfter.count());
    client.send(poll);
    ASSERT_EQ(client.status(), 200);
    EXPECT_EQ(QJsonDocument::fromJson(client.lastBody).object().value("commands").toArray().size(), 2);

    // Revoked on the other connection: the very next poll is refused.
    client.send(poll);
    ASSERT_EQ(client.status(), 200);
    ASSERT_EQ(admin.secrets().revoke(m_a.tenantId, m_now), StoreStatus::ok());
    client.send(poll);
    EXPECT_EQ(client.status(), 403);
}

TEST_F(ConnectionLimitTest, UnauthenticatedRoutesAreRateLimitedPerSerialAndPerAddress)
{
    TestHttpClient http;
    const auto post = [&](const char *path, const QByteArray &body) {
        return http.send("POST", QUrl(QStringLiteral("http://127.0.0.1:%1/api/%2").arg(m_port).arg(path)), body).status;
    };
    for (int i = 0; i < RouteRateLimits::kHeartbeatsPerSerial; ++i)
        ASSERT_EQ(post("heartbeat", heartbeat("C-RATE")), 200) << i;
    EXPECT_EQ(post("heartbeat", heartbeat("c-rate")), 429);
    EXPECT_EQ(post("heartbeat", heartbeat("C-OTHER")), 200);

    // Each serial stays under its own limit; the address crosses its limit all the same.
    const auto fetch = [&](const QByteArray &serial) {
        return post("fetch_fleet_secret", R"({"serial": ")" + serial + R"(", "bundle_id": "com.lumora.VeskWarden",)"
                                          R"( "app_version": "1.0", "client_clock_iso": "2025-03-01T09:30:00Z"})");
    };
    for (int i = 0; i < RouteRateLimits::kSecretFetchesPerAddress; ++i)
        ASSERT_EQ(fetch("PROBE-" + QByteArray::number(i)), 404) << i;
    EXPECT_EQ(fetch("A1"), 429);
    m_now = m_now.addSecs(61);
    EXPECT_EQ(fetch("A1"), 200);
}

TEST(LogRedactionTest, FleetKeysKeepOnlyTheirIdAndPreview)
{
    const QString code = QString(56, QLatin1Char('f')).prepend(QStringLiteral("0123abcd"));
    const QString key = QString(64, QLatin1Char('e')) + QStringLiteral(".42.") + code;
    const QString line = QStringLiteral(R"(Request: QHttpServerRequest((Headers: (("X-Fleet-Key", "%1"))))").arg(key);
    const QString redacted = redactFleetKeys(line);
    EXPECT_FALSE(redacted.contains(code)) << redacted.toStdString();
    EXPECT_FALSE(redacted.contains(QString(64, QLatin1Char('e')))) << redacted.toStdString();
    EXPECT_TRUE(redacted.contains(QStringLiteral("id 42"))) << redacted.toStdString();
    EXPECT_TRUE(redacted.contains(QStringLiteral("0123abcd"))) << redacted.toStdString();
    EXPECT_EQ(redactFleetKeys(QStringLiteral("heartbeat from C02X.1")), QStringLiteral("heartbeat from C02X.1"));
}

} // namespace
