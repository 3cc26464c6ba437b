#include "platform/linux/QtHttpTransport.h"

#include <QEventLoop>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QFile>
#include <QPointer>
#include <QTcpServer>
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

QCoro::Task<> sendInto(vesk::HttpTransport &transport, HttpRequest request,
                       std::shared_ptr<std::optional<HttpResult>> out, QPointer<QEventLoop> loop)
{
    const HttpResult result = co_await transport.send(std::move(request));
    *out = result;
    if (loop)
        loop->quit();
}

// Runs one request on the event loop, giving up after a hard bound so a hang fails instead of stalling.
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
    vesk::QtHttpTransport transport;
    HttpRequest put = request("PUT", server.url("/echo"), "{\"a\":1}");
    put.headers = {{"X-Device-Serial", "C02X1234"}, {"Content-Type", "application/json"}};

    const auto result = sendWithin(transport, put);
    ASSERT_TRUE(result && result->ok()) << (result ? result->error.toStdString() : "no answer");
    EXPECT_EQ(result->response->status, 201);
    EXPECT_EQ(result->response->body, QByteArray("put:{\"a\":1}"));
    EXPECT_EQ(result->response->header("x-fleet-secret-rotated"), QByteArray("1"));
    EXPECT_EQ(server.seenHeader("X-Device-Serial"), QByteArray("C02X1234"));
    EXPECT_EQ(server.seenHeader("Content-Type"), QByteArray("application/json"));
}

TEST(QtHttpTransport, ReturnsARedirectInsteadOfFollowingIt)
{
    LoopbackServer server;
    vesk::QtHttpTransport transport;

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
    vesk::QtHttpTransport transport;
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
    vesk::QtHttpTransport transport;
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
    vesk::QtHttpTransport transport;
    // The wait without progress alone would outlast sendWithin's bound; only the total limit answers.
    HttpRequest slow = request("POST", server.url("/silent"), "{}");
    slow.timeout = 60s;
    slow.totalTimeout = 300ms;
    const auto result = sendWithin(transport, slow);
    ASSERT_TRUE(result.has_value()) << "the total time-out did not end the exchange";
    EXPECT_EQ(result->error, QStringLiteral("The request timed out."));
}

// At shutdown nothing answers any more: a request left in flight must still end, or the task
// awaiting it stays suspended past the event loop and its frame leaks.
TEST(QtHttpTransport, CancelPendingEndsEveryRequestStillInFlight)
{
    LoopbackServer server;
    vesk::QtHttpTransport transport;
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
