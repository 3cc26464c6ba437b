#include "platform/linux/QtHttpTransport.h"

#include <QEventLoop>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using vesk::HttpRequest;
using vesk::HttpResult;

namespace {

// A real HTTP server on a loopback port the OS picks, with an echoing, a redirecting
// and a never-answering route.
class LoopbackServer {
public:
    LoopbackServer()
    {
        m_server.route("/echo", [this](const QHttpServerRequest &request) {
            m_seenHeaders = request.headers();
            QHttpServerResponse response("text/plain", request.method() == QHttpServerRequest::Method::Put
                                                           ? QByteArray("put:") + request.body()
                                                           : request.body(),
                                         QHttpServerResponder::StatusCode::Created);
            response.addHeader("X-Fleet-Secret-Rotated", "1");
            return response;
        });
        m_server.route("/moved", [this]() {
            QHttpServerResponse response(QHttpServerResponder::StatusCode::MovedPermanently);
            response.addHeader("Location", url("/target").toEncoded());
            return response;
        });
        m_server.route("/target", [this]() {
            ++m_targetHits;
            return QHttpServerResponse("text/plain", "here");
        });
        m_server.route("/missing", []() {
            return QHttpServerResponse("text/plain", "no such payload", QHttpServerResponder::StatusCode::NotFound);
        });
        m_server.route("/silent", [this](const QHttpServerRequest &, QHttpServerResponder &&responder) {
            m_unanswered.push_back(std::move(responder));
        });
        m_port = m_server.listen(QHostAddress::LocalHost, 0);
    }

    QUrl url(const QString &path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)); }
    quint16 port() const { return m_port; }
    int targetHits() const { return m_targetHits; }
    QByteArray seenHeader(const QByteArray &name) const
    {
        for (const auto &[key, value] : m_seenHeaders) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }

private:
    QHttpServer m_server;
    quint16 m_port = 0;
    int m_targetHits = 0;
    QList<QPair<QByteArray, QByteArray>> m_seenHeaders;
    std::vector<QHttpServerResponder> m_unanswered;
};

// A raw HTTP/1.1 server that misbehaves on purpose: it declares a body it never sends
// ("/declared-huge"), streams one that never ends ("/endless", "/endless-500"), or trickles a
// byte every 20 ms so that only a whole-exchange deadline can end the wait ("/trickle").
class HostileServer {
public:
    HostileServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this]() {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket]() { answer(socket); });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    quint16 port() const { return m_server.serverPort(); }
    // Body bytes handed to the sockets so far, over every connection.
    qint64 bodyBytesSent() const { return m_bodyBytesSent; }

private:
    void answer(QTcpSocket *socket)
    {
        if (!socket->peek(64 * 1024).contains("\r\n\r\n"))
            return; // the request head is not all here yet
        const QByteArray path = socket->readAll().split(' ').value(1);
        QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        if (path == "/declared-huge") {
            socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1073741824\r\n\r\n");
        } else if (path.startsWith("/endless")) {
            socket->write(path.endsWith("-500") ? "HTTP/1.1 500 Internal Server Error\r\n" : "HTTP/1.1 200 OK\r\n");
            socket->write("Connection: close\r\nContent-Type: application/json\r\n\r\n");
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket]() { feed(socket); });
            feed(socket);
        } else if (path == "/trickle") {
            socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 100000\r\n\r\n");
            auto *timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket, [this, socket]() {
                socket->write("x");
                ++m_bodyBytesSent;
            });
            timer->start(20);
        }
    }

    // Keeps a bounded amount queued, so the server itself holds little while the body never ends.
    void feed(QTcpSocket *socket)
    {
        static const QByteArray chunk(64 * 1024, '[');
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 256 * 1024) {
            socket->write(chunk);
            m_bodyBytesSent += chunk.size();
        }
    }

    QTcpServer m_server;
    qint64 m_bodyBytesSent = 0;
};

QCoro::Task<> sendInto(vesk::HttpTransport &transport, HttpRequest request,
                       std::shared_ptr<std::optional<HttpResult>> out, QPointer<QEventLoop> loop)
{
    const HttpResult result = co_await transport.send(std::move(request));
    *out = result;
    if (loop)
        loop->quit();
}

// Runs one request on the event loop, giving up after a hard bound so a hang fails instead of stalling.
// A raw HTTP/1.1 server that keeps every request head exactly as it came, and counts the
// connections they came on. Every request gets a two-byte answer and the connection stays open.
class RecordingServer {
public:
    RecordingServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this]() {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++m_connections;
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket]() { answer(socket); });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    int connections() const { return m_connections; }
    const QList<QByteArray> &heads() const { return m_heads; }

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        for (;;) {
            const qsizetype end = pending.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = pending.left(end + 4);
            const qsizetype lengthAt = head.toLower().indexOf("\r\ncontent-length:");
            const qsizetype length =
                lengthAt < 0 ? 0 : head.mid(lengthAt + 17, head.indexOf("\r\n", lengthAt + 2) - lengthAt - 17).trimmed().toLongLong();
            if (pending.size() < end + 4 + length)
                return;
            m_heads.append(head);
            pending.remove(0, end + 4 + length);
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        }
    }

    QTcpServer m_server;
    int m_connections = 0;
    QList<QByteArray> m_heads;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

std::optional<HttpResult> sendWithin(vesk::HttpTransport &transport, HttpRequest request)
{
    auto out = std::make_shared<std::optional<HttpResult>>();
    QEventLoop loop;
    sendInto(transport, std::move(request), out, &loop);
    if (!out->has_value()) {
        QTimer::singleShot(10s, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return *out;
}

HttpRequest request(QByteArray method, QUrl url, QByteArray body = {})
{
    HttpRequest r;
    r.method = std::move(method);
    r.url = std::move(url);
    r.body = std::move(body);
    r.timeout = 5s;
    return r;
}

} // namespace

TEST(QtHttpTransport, CarriesMethodHeadersAndBodyBothWays)
{
    LoopbackServer server;
    ASSERT_NE(server.port(), 0);
    vesk::QtHttpTransport transport(QStringLiteral("1.2.3"));
    HttpRequest put = request("PUT", server.url("/echo"), "{\"a\":1}");
    put.headers = {{"X-Device-Serial", "C02X1234"}, {"Content-Type", "application/json"}};

    const auto result = sendWithin(transport, put);
    ASSERT_TRUE(result && result->ok()) << (result ? result->error.toStdString() : "no answer");
    EXPECT_EQ(result->response->status, 201);
    EXPECT_EQ(result->response->body, QByteArray("put:{\"a\":1}"));
    EXPECT_EQ(result->response->header("x-fleet-secret-rotated"), QByteArray("1"));
    EXPECT_EQ(server.seenHeader("X-Device-Serial"), QByteArray("C02X1234"));
    EXPECT_EQ(server.seenHeader("Content-Type"), QByteArray("application/json"));
    // The agent names itself, not the HTTP library.
    EXPECT_EQ(server.seenHeader("User-Agent"),
              QByteArray("VeskWarden/1.2.3 (Linux; ") + QSysInfo::currentCpuArchitecture().toUtf8() + ")");
}

TEST(QtHttpTransport, ReturnsARedirectInsteadOfFollowingIt)
{
    LoopbackServer server;
    vesk::QtHttpTransport transport(QStringLiteral("1.2.3"));

    const auto result = sendWithin(transport, request("GET", server.url("/moved")));
    ASSERT_TRUE(result && result->ok()) << (result ? result->error.toStdString() : "no answer");
    EXPECT_EQ(result->response->status, 301);
    EXPECT_EQ(result->response->header("Location"), server.url("/target").toEncoded());
    EXPECT_EQ(server.targetHits(), 0);
}

TEST(QtHttpTransport, ReportsTransportFailuresAsErrors)
{
    LoopbackServer server;
    QTcpServer closed; // a port that was just free: nothing listens there any more
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 refusedPort = closed.serverPort();
    closed.close();

    struct Case {
        const char *name;
        HttpRequest request;
        QString wantError;
    };
    HttpRequest silent = request("POST", server.url("/silent"), "{}");
    silent.timeout = 300ms;
    const Case cases[] = {
        {"server never answers", silent, QStringLiteral("The request timed out.")},
        {"connection refused", request("GET", QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(refusedPort))),
         QStringLiteral("Connection refused")},
    };
    vesk::QtHttpTransport transport(QStringLiteral("1.2.3"));
    for (const Case &tc : cases) {
        const auto result = sendWithin(transport, tc.request);
        ASSERT_TRUE(result.has_value()) << tc.name;
        EXPECT_FALSE(result->ok()) << tc.name;
        EXPECT_EQ(result->error.toStdString(), tc.wantError.toStdString()) << tc.name;
    }
}

TEST(QtHttpTransport, TransfersLargeBodiesThroughFiles)
{
    LoopbackServer server;
    QTemporaryDir dir;
    vesk::QtHttpTransport transport(QStringLiteral("1.2.3"));
    QByteArray archive(3 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < archive.size(); ++i)
        archive[i] = char(i * 7 % 251);
    QFile source(dir.filePath("upload.bin"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly) && source.write(archive) == archive.size());
    source.close();

    // Sent from one file, the echo lands in another; nothing of it is held in the response.
    HttpRequest upload = request("POST", server.url("/echo"));
    upload.bodyFile = source.fileName();
    upload.responseFile = dir.filePath("download.bin");
    const auto sent = sendWithin(transport, upload);
    ASSERT_TRUE(sent && sent->ok()) << (sent ? sent->error.toStdString() : "no answer");
    EXPECT_EQ(sent->response->status, 201);
    EXPECT_TRUE(sent->response->body.isEmpty());
    QFile received(upload.responseFile);
    ASSERT_TRUE(received.open(QIODevice::ReadOnly));
    EXPECT_TRUE(received.readAll() == archive);

    // A failure's body stays readable for the error message and the file is not written.
    HttpRequest missing = request("GET", server.url("/missing"));
    missing.responseFile = dir.filePath("never.bin");
    const auto notFound = sendWithin(transport, missing);
    ASSERT_TRUE(notFound && notFound->ok());
    EXPECT_EQ(notFound->response->status, 404);
    EXPECT_EQ(notFound->response->body, QByteArray("no such payload"));
    EXPECT_FALSE(QFile::exists(missing.responseFile));

    HttpRequest unreadable = request("POST", server.url("/echo"));
    unreadable.bodyFile = dir.filePath("absent.bin");
    const auto noBody = sendWithin(transport, unreadable);
    ASSERT_TRUE(noBody.has_value());
    EXPECT_TRUE(noBody->error.startsWith("Couldn't read the request body: ")) << noBody->error.toStdString();

    HttpRequest unwritable = request("POST", server.url("/echo"), "x");
    unwritable.responseFile = dir.filePath("no/such/folder/out.bin");
    const auto noFile = sendWithin(transport, unwritable);
    ASSERT_TRUE(noFile.has_value());
    EXPECT_TRUE(noFile->error.startsWith("Couldn't save the response: ")) << noFile->error.toStdString();
}

TEST(QtHttpTransport, TotalTimeoutEndsAnExchangeThatStillWaits)
{
    LoopbackServer server;
    vesk::QtHttpTransport transport(QStringLiteral("1.2.3"));
    // The wait without progress alone would outlast sendWithin's bound; only the total limit answers.
    HttpRequest slow = request("POST", server.url("/silent"), "{}");
    slow.timeout = 60s;
    slow.totalTimeout = 300ms;
    const auto result = sendWithin(transport, slow);
    ASSERT_TRUE(result.has_value()) << "the total time-out did not end the exchange";
    EXPECT_EQ(result->error, QStringLiteral("The request timed out: it did not finish within 300 ms."));
}

TEST(QtHttpTransport, HostileServersEndInBoundedFailures)
{
    QTemporaryDir dir;
    constexpr qint64 kFileCap = 1024 * 1024;
    struct Case {
        const char *name;
        QByteArray method;
        QString path;
        bool toFile;
        QString wantError; // empty: a response is expected
    };
    const QString bodyTooLarge = QStringLiteral("The response was larger than the 4 MiB limit.");
    const QString fileTooLarge = QStringLiteral("The response was larger than the 1 MiB limit.");
    const Case cases[] = {
        {"declared length over the default cap", "GET", "/declared-huge", false, bodyTooLarge},
        {"body that never ends, over the default cap", "GET", "/endless", false, bodyTooLarge},
        {"declared length over the file cap", "GET", "/declared-huge", true, fileTooLarge},
        {"download that never ends, over the file cap", "GET", "/endless", true, fileTooLarge},
        // A failed download's body is held in memory for its message, so the memory cap holds.
        {"error body that never ends", "GET", "/endless-500", true, bodyTooLarge},
        {"a byte every 20 ms", "GET", "/trickle", false,
         QStringLiteral("The request timed out: it did not finish within 300 ms.")},
        // A HEAD answer's length describes a body that is not sent.
        {"HEAD declaring a huge length", "HEAD", "/declared-huge", false, {}},
    };
    for (const Case &tc : cases) {
        HostileServer server;
        ASSERT_NE(server.port(), 0);
        vesk::QtHttpTransport transport(QStringLiteral("1.0.0"));
        HttpRequest r = request(tc.method, server.url(tc.path));
        r.totalTimeout = 300ms; // only the trickle should need it; a generous inactivity bound stays
        r.maxFileBytes = kFileCap;
        if (tc.toFile) {
            r.responseFile = dir.filePath(QStringLiteral("download.bin"));
            QFile::remove(r.responseFile);
        }

        const auto result = sendWithin(transport, r);
        ASSERT_TRUE(result.has_value()) << tc.name << ": no answer at all";
        if (tc.wantError.isEmpty()) {
            ASSERT_TRUE(result->ok()) << tc.name << ": " << result->error.toStdString();
            EXPECT_EQ(result->response->status, 200) << tc.name;
            continue;
        }
        EXPECT_FALSE(result->ok()) << tc.name;
        EXPECT_EQ(result->error.toStdString(), tc.wantError.toStdString()) << tc.name;
        // Aborted near the cap: far less than the body on offer (a GiB, or no end) was taken in.
        EXPECT_LT(server.bodyBytesSent(), 64 * 1024 * 1024) << tc.name;
        if (tc.toFile) {
            EXPECT_LE(QFileInfo(r.responseFile).size(), kFileCap) << tc.name;
        }
    }
}

// The fleet key crosses the network only inside TLS, unless plain HTTP was explicitly allowed.
TEST(QtHttpTransport, RefusesTheFleetKeyOverPlainHttpBeyondLoopback)
{
    LoopbackServer server;
    ASSERT_NE(server.port(), 0);
    const QByteArray key = "X-Fleet-Key";
    struct Case {
        const char *name;
        QUrl url;
        QByteArray header;
        bool allowPlainHttp;
        bool refused;
    };
    const QUrl loopbackByName(QStringLiteral("http://localhost:%1/echo").arg(server.port()));
    const Case cases[] = {
        {"key to a remote host", QUrl("http://192.0.2.10:9/api/device_commands"), key, false, true},
        {"key, header in lower case", QUrl("http://10.20.30.40/api/device_commands"), "x-fleet-key", false, true},
        {"key to 127.0.0.1", server.url("/echo"), key, false, false},
        {"key to localhost", loopbackByName, key, false, false},
        {"no key to a remote host", QUrl("http://192.0.2.10:9/api/heartbeat"), "X-Other", false, false},
        {"key to a remote host, allowed", QUrl("http://192.0.2.10:9/api/device_commands"), key, true, false},
    };
    for (const Case &tc : cases) {
        vesk::QtHttpTransport transport(QStringLiteral("1.0.0"), {QString(), tc.allowPlainHttp});
        HttpRequest r = request("POST", tc.url, "{}");
        r.headers.append({tc.header, "hash.1.code"});
        r.timeout = 300ms; // the remote addresses lead nowhere; only the refusal must be quick
        const auto result = sendWithin(transport, r);
        ASSERT_TRUE(result.has_value()) << tc.name;
        const bool refused = result->error.contains(QStringLiteral("Refusing to send the fleet key over plain HTTP"));
        EXPECT_EQ(refused, tc.refused) << tc.name << ": " << result->error.toStdString();
        if (tc.url.port() == server.port()) {
            EXPECT_TRUE(result->ok()) << tc.name << ": " << result->error.toStdString();
        }
    }
}

// At shutdown nothing answers any more: a request left in flight must still end, or the task
// awaiting it stays suspended past the event loop and its frame leaks.
TEST(QtHttpTransport, CancelPendingEndsEveryRequestStillInFlight)
{
    LoopbackServer server;
    vesk::QtHttpTransport transport(QStringLiteral("1.2.3"));
    std::vector<std::shared_ptr<std::optional<HttpResult>>> results;
    for (int i = 0; i < 2; ++i) {
        HttpRequest waiting = request("POST", server.url("/silent"), "{}");
        waiting.timeout = 60s;
        results.push_back(std::make_shared<std::optional<HttpResult>>());
        sendInto(transport, waiting, results.back(), nullptr);
    }
    QEventLoop loop;
    QTimer::singleShot(200ms, &loop, &QEventLoop::quit); // let both reach the server
    loop.exec();
    ASSERT_FALSE(results[0]->has_value());

    transport.cancelPending();
    for (const auto &result : results) {
        ASSERT_TRUE(result->has_value());
        EXPECT_EQ((*result)->error, QStringLiteral("The request was cancelled."));
    }
}

TEST(QtHttpTransport, SendsOnlyTheHeadersARequestNeedsOnOneKeptConnection)
{
    RecordingServer server;
    vesk::QtHttpTransport transport(QStringLiteral("1.2.3"));
    HttpRequest get = request("GET", server.url("/api/device_policy?serial=S1"));
    get.headers = {{"Accept-Encoding", "gzip"}, {"If-None-Match", "\"v1\""}};
    HttpRequest post = request("POST", server.url("/api/device_telemetry"), "{\"serial\":\"S1\"}");
    post.headers = {{"Content-Type", "application/json"}, {"Accept-Encoding", "gzip"}};

    for (const HttpRequest &sent : {get, post, get}) {
        const auto result = sendWithin(transport, sent);
        ASSERT_TRUE(result && result->ok()) << (result ? result->error.toStdString() : "no answer");
        EXPECT_EQ(result->response->body, "ok");
    }
    ASSERT_EQ(server.heads().size(), 3);
    EXPECT_EQ(server.connections(), 1) << "the three requests share one kept connection";
    const QByteArray getHead = server.heads().at(0).toLower();
    EXPECT_FALSE(getHead.contains("content-length")) << "a GET without a body declares none:\n" << getHead.toStdString();
    EXPECT_TRUE(getHead.contains("\r\naccept-encoding: gzip\r\n"))
        << "only the coding the caller decodes is offered:\n" << getHead.toStdString();
    EXPECT_TRUE(server.heads().at(1).toLower().contains("\r\ncontent-length: 15\r\n"));
}
