// The push channel over TLS: vesk-fleetd serving HTTPS with a certificate made for the test,
// a paired agent trusting its CA through --fleet-ca, and pushes reaching it over wss.
#include "AgentProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vesk::test;

namespace {

// A CA and a server certificate it signed for 127.0.0.1, made with the openssl command; what
// went wrong, if anything.
QString makeCertificates(const QString &dir)
{
    const QStringList ecKey{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    const QList<QStringList> steps = {
        QStringList{"req", "-x509"} + ecKey + QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Vesk Push Test CA"},
        QStringList{"req"} + ecKey + QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1",
                                                  "-addext", "subjectAltName=IP:127.0.0.1"},
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

TEST(PushOverTls, AgentTrustingTheFleetCaKeepsItsChannelOverWssAndGetsPushes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString failure = makeCertificates(dir.path());
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    FleetServer server(dir.path(), {QStringLiteral("--tls-cert"), dir.filePath("server.pem"), QStringLiteral("--tls-key"),
                                    dir.filePath("server.key")});
    ASSERT_TRUE(server.baseUrl().startsWith("https://127.0.0.1:")) << server.baseUrl().toStdString();
    const auto admin = [&](const QStringList &arguments) { return fleetdAdmin(arguments, server.dbPath()); };
    admin({"tenant", "add", "TLSP1234"});
    admin({"event", "add", "TLSP1234", "EVT-WSS"});
    const QString secret = secretCodeOf(admin({"secret", "issue", "TLSP1234"}));
    ASSERT_EQ(secret.size(), 64);

    const QString serial = QStringLiteral("E2E-WSS-1");
    const QString home = dir.filePath("home");
    ASSERT_TRUE(QDir().mkpath(home + "/Shared/Lumora"));
    QFile credentials(home + "/Shared/Lumora/credentials_Wss.xml");
    ASSERT_TRUE(credentials.open(QIODevice::WriteOnly));
    credentials.write("<credentials><kr5_account>TLSP1234</kr5_account><kr5_location>EVT-WSS</kr5_location></credentials>");
    credentials.close();

    const QStringList fleet{"--fleet-url", server.baseUrl(), "--fleet-ca", dir.filePath("ca.pem"), "--serial", serial};
    {
        ChildProcess first(VESK_WARDEN_BINARY, QStringList{"--headless"} + fleet, home);
        ASSERT_TRUE(first.waitForOutput("HEARTBEAT OK HTTP 200", 20000)) << first.output().toStdString();
        ChildProcess pair(VESK_WARDEN_BINARY, fleet + QStringList{"pair", secret}, home);
        ASSERT_EQ(pair.waitForExit(), 0) << pair.output().toStdString();
        ASSERT_EQ(first.terminate(), 0) << first.output().toStdString();
    }
    ChildProcess agent(VESK_WARDEN_BINARY, QStringList{"--headless"} + fleet, home);
    ASSERT_TRUE(agent.waitForOutput("Push channel connected", 20000)) << agent.output().toStdString();

    const QString test = admin({"push", "test", serial});
    EXPECT_TRUE(test.contains("Test push sent to 1 channel(s)")) << test.toStdString();
    EXPECT_TRUE(agent.waitForOutput("Push received: test", 5000)) << agent.output().toStdString();
    EXPECT_GT(admin({"command", "queue", serial, "clear_message"}).toLongLong(), 0);
    EXPECT_TRUE(agent.waitForOutput("Push received: command_pending", 5000)) << agent.output().toStdString();
    EXPECT_FALSE(agent.output().contains("Push channel closed")) << agent.output().toStdString();
}

} // namespace
