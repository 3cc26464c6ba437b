// vesk-fleetd serving HTTPS with a certificate made for the test, and the agent's own transport
// talking to it: trusted through a CA file, refused without one.
#include "fleetd/storage/FleetStore.h"
#include "platform/linux/QtHttpTransport.h"
#include "wire/FleetKey.h"

#include <QProcess>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

using namespace vesk::fleetd;
using namespace std::chrono_literals;

namespace {

// A CA, and a server certificate it signed for 127.0.0.1 and localhost, made with the openssl
// command; returns what went wrong, if anything.
QString makeCertificates(const QString &dir)
{
    const QList<QStringList> steps = {
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
         "-subj", "/CN=Vesk Test CA"},
        {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr", "-subj",
         "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"},
        {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out",
         "server.pem", "-days", "2", "-copy_extensions", "copyall"},
    };
    for (const QStringList &step : steps) {
        QProcess openssl;
        openssl.setWorkingDirectory(dir);
        openssl.start(QStringLiteral("openssl"), step);
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            return step.join(' ') + ": " + QString::fromUtf8(openssl.readAllStandardError());
    }
    return {};
}

class TlsServeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        const QString failure = makeCertificates(m_dir.path());
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();

        const QString db = m_dir.filePath("fleet.sqlite");
        {
            FleetStore store;
            ASSERT_EQ(store.open(db, FleetStore::OpenMode::CreateIfMissing), StoreStatus::ok());
            const QDateTime now = QDateTime::currentDateTimeUtc();
            const StoreResult<TenantRecord> tenant = store.tenants().add("ABCD1234", now);
            ASSERT_EQ(tenant.status, StoreStatus::ok());
            ASSERT_EQ(store.tenants().bindEventCode(tenant.value.id, "EVT-TLS", now), StoreStatus::ok());
            const StoreResult<SecretStore::Issued> secret = store.secrets().issue(tenant.value.id, now);
            ASSERT_EQ(secret.status, StoreStatus::ok());
            m_key = vesk::fleetKeyHeaderValue("ABCD1234", secret.value.id, secret.value.code);
        }

        m_serve.start(VESK_FLEETD_BINARY, {"serve", "--listen", "127.0.0.1:0", "--db", db, "--tls-cert",
                                           m_dir.filePath("server.pem"), "--tls-key", m_dir.filePath("server.key")});
        ASSERT_TRUE(m_serve.waitForStarted(10000));
        while (!m_serve.canReadLine())
            ASSERT_TRUE(m_serve.waitForReadyRead(10000)) << m_serve.readAllStandardError().toStdString();
        m_api = QString::fromUtf8(m_serve.readLine()).trimmed();
        ASSERT_TRUE(m_api.startsWith("https://127.0.0.1:")) << m_api.toStdString();
    }

    void TearDown() override
    {
        m_serve.terminate();
        m_serve.waitForFinished(10000);
    }

    // "200" and the like for an answer, the transport's failure otherwise.
    std::string send(vesk::QtHttpTransport &transport, const QString &path, const QByteArray &body, bool withKey = false)
    {
        vesk::HttpRequest request;
        request.method = "POST";
        request.url = QUrl(m_api + '/' + path);
        request.body = body;
        request.timeout = 10s;
        request.headers = {{"Content-Type", "application/json"}};
        if (withKey)
            request.headers += {{"X-Fleet-Key", m_key}, {"X-Device-Serial", "C02TLS"}};
        const vesk::HttpResult result = QCoro::waitFor(transport.send(std::move(request)));
        m_lastBody = result.ok() ? result.response->body : QByteArray();
        return result.ok() ? std::to_string(result.response->status) : result.error.toStdString();
    }

    QTemporaryDir m_dir;
    QProcess m_serve;
    QString m_api;
    QByteArray m_key;
    QByteArray m_lastBody;
};

QByteArray heartbeat(const char *serial)
{
    return QByteArray(R"({"eventcode": "EVT-TLS", "serial": ")") + serial +
           R"(", "app": "warden", "version": "1.0", "state": {"agentMode": false}})";
}

TEST_F(TlsServeTest, HeartbeatPairingAndPollsGoOverHttpsTrustedThroughTheCaFile)
{
    vesk::QtHttpTransport trusting(QStringLiteral("1.0.0"), {m_dir.filePath("ca.pem"), false});
    EXPECT_EQ(send(trusting, "heartbeat", heartbeat("C02TLS")), "200");
    EXPECT_EQ(send(trusting, "fetch_fleet_secret",
                   R"({"serial": "C02TLS", "bundle_id": "com.lumora.VeskWarden", "app_version": "1.0",)"
                   R"( "client_clock_iso": "2025-03-01T09:30:00Z"})"),
              "200");
    EXPECT_TRUE(m_lastBody.contains(R"("photographer":"ABCD1234")")) << m_lastBody.toStdString();
    EXPECT_EQ(send(trusting, "device_commands", R"({"serial": "C02TLS"})", true), "200");

    // Without the CA the server's certificate is not trusted.
    vesk::QtHttpTransport untrusting(QStringLiteral("1.0.0"));
    const std::string refused = send(untrusting, "heartbeat", heartbeat("C02NOCA"));
    EXPECT_NE(refused, "200");
    EXPECT_TRUE(QString::fromStdString(refused).contains("certificate", Qt::CaseInsensitive)) << refused;

    // A CA file that holds no certificate is an error of its own, not a silent fallback.
    vesk::QtHttpTransport misconfigured(QStringLiteral("1.0.0"), {m_dir.filePath("server.key"), false});
    const std::string unreadable = send(misconfigured, "heartbeat", heartbeat("C02BADCA"));
    EXPECT_NE(unreadable.find("CA file"), std::string::npos) << unreadable;
}

} // namespace
