// vesk-fleetd serving HTTPS with a certificate made for the test, and the agent's own transport
// talking to it: trusted through a CA file, refused without one.
#include "fleetd/storage/FleetStore.h"
#include "platform/linux/QtHttpTransport.h"
#include "wire/FleetKey.h"
#include "wire/PairingDetails.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

using namespace vesk::fleetd;
using namespace std::chrono_literals;

namespace {

// Runs openssl; returns its error output when it fails.
QString openssl(const QString &dir, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("openssl %1: %2").arg(arguments.join(' '), QString::fromUtf8(process.readAllStandardError()));
    return {};
}

// A CA, and a server certificate it signed for 127.0.0.1 and localhost.
QString makeCertificates(const QString &dir)
{
    QFile extensions(dir + "/server.ext");
    if (!extensions.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write server.ext");
    extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                     "extendedKeyUsage=serverAuth\n");
    extensions.close();
    const QList<QStringList> steps = {
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
         "-subj", "/CN=Vesk Test CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
         "keyUsage=critical,keyCertSign,cRLSign"},
        {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"},
        {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out",
         "server.pem", "-days", "2", "-extfile", "server.ext"},
    };
    for (const QStringList &step : steps) {
        const QString failure = openssl(dir, step);
        if (!failure.isEmpty())
            return failure;
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

    vesk::HttpResult send(vesk::QtHttpTransport &transport, const QString &path, const QByteArray &body,
                          bool withKey = false)
    {
        vesk::HttpRequest request;
        request.method = "POST";
        request.url = QUrl(m_api + '/' + path);
        request.body = body;
        request.timeout = 10s;
        request.headers = {{"Content-Type", "application/json"}};
        if (withKey)
            request.headers += {{"X-Fleet-Key", m_key}, {"X-Device-Serial", "C02TLS"}};
        return QCoro::waitFor(transport.send(std::move(request)));
    }

    QTemporaryDir m_dir;
    QProcess m_serve;
    QString m_api;
    QByteArray m_key;
};

QByteArray heartbeat(const char *serial)
{
    return QByteArray(R"({"eventcode": "EVT-TLS", "serial": ")") + serial +
           R"(", "app": "warden", "version": "1.0", "state": {"agentMode": false}})";
}

TEST_F(TlsServeTest, HeartbeatPairingAndPollsGoOverHttpsTrustedThroughTheCaFile)
{
    vesk::QtHttpTransport trusting(QStringLiteral("1.0.0"), {m_dir.filePath("ca.pem"), false});

    const vesk::HttpResult beat = send(trusting, "heartbeat", heartbeat("C02TLS"));
    ASSERT_TRUE(beat.ok()) << beat.error.toStdString();
    EXPECT_EQ(beat.response->status, 200) << beat.response->body.toStdString();

    const vesk::HttpResult pairing =
        send(trusting, "fetch_fleet_secret",
             R"({"serial": "C02TLS", "bundle_id": "com.lumora.VeskWarden", "app_version": "1.0",)"
             R"( "client_clock_iso": "2025-03-01T09:30:00Z"})");
    ASSERT_TRUE(pairing.ok()) << pairing.error.toStdString();
    ASSERT_EQ(pairing.response->status, 200) << pairing.response->body.toStdString();
    QString error;
    const auto details = vesk::PairingDetails::fromJson(QJsonDocument::fromJson(pairing.response->body).object(), &error);
    ASSERT_TRUE(details.has_value()) << error.toStdString();
    EXPECT_EQ(details->tenantCode, "ABCD1234");

    const vesk::HttpResult poll = send(trusting, "device_commands", R"({"serial": "C02TLS"})", true);
    ASSERT_TRUE(poll.ok()) << poll.error.toStdString();
    EXPECT_EQ(poll.response->status, 200) << poll.response->body.toStdString();

    // Without the CA the server's certificate is not trusted, and nothing is sent.
    vesk::QtHttpTransport untrusting(QStringLiteral("1.0.0"));
    const vesk::HttpResult refused = send(untrusting, "heartbeat", heartbeat("C02NOCA"));
    EXPECT_FALSE(refused.ok());
    EXPECT_FALSE(refused.error.isEmpty());

    // A CA file that holds no certificate is an error of its own, not a silent fallback.
    vesk::QtHttpTransport misconfigured(QStringLiteral("1.0.0"), {m_dir.filePath("server.ext"), false});
    const vesk::HttpResult unreadable = send(misconfigured, "heartbeat", heartbeat("C02BADCA"));
    EXPECT_TRUE(unreadable.error.contains("CA file")) << unreadable.error.toStdString();

    m_serve.terminate();
    ASSERT_TRUE(m_serve.waitForFinished(10000));
    FleetStore store;
    ASSERT_EQ(store.open(m_dir.filePath("fleet.sqlite"), FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
    const QList<MachineRecord> machines = store.machines().value;
    ASSERT_EQ(machines.size(), 1);
    EXPECT_EQ(machines[0].serial, "C02TLS");
}

} // namespace
