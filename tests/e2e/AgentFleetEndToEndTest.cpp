// The agent and the reference fleet server as real processes over loopback.
#include "AgentProcess.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using vesk::test::ChildProcess;
using vesk::test::FleetServer;

namespace {

// The heartbeat state the server stored for a serial.
QJsonObject storedState(const QString &dbPath, const QString &serial)
{
    const QVariant json =
        vesk::test::storedValue(dbPath, QStringLiteral("SELECT state_json FROM machines WHERE serial = ?"), serial);
    return QJsonDocument::fromJson(json.toString().toUtf8()).object();
}

std::unique_ptr<ChildProcess> startAgent(const QString &fleetUrl, const QString &serial, const QString &home)
{
    return std::make_unique<ChildProcess>(
        QStringLiteral(VESK_WARDEN_BINARY),
        QStringList{QStringLiteral("--headless"), QStringLiteral("--fleet-url"), fleetUrl, QStringLiteral("--serial"),
                    serial},
        home);
}

} // namespace

TEST(AgentFleetEndToEnd, HeartbeatReachesTheServerAndTheMachineIsListed)
{
    QTemporaryDir dir;
    FleetServer server(dir.path());
    ASSERT_FALSE(server.baseUrl().isEmpty()) << "vesk-fleetd did not print its URL";

    auto agent = startAgent(server.baseUrl(), QStringLiteral("E2E-SERIAL-1"), dir.path());
    ASSERT_TRUE(agent->waitForOutput(QStringLiteral("HEARTBEAT OK HTTP 200"), 15000)) << agent->output().toStdString();

    const QStringList rows = server.machines().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1) << server.machines().toStdString();
    const QStringList columns = rows.first().split(QLatin1Char('\t'));
    ASSERT_EQ(columns.size(), 5) << rows.first().toStdString();
    EXPECT_EQ(columns[0], QStringLiteral("E2E-SERIAL-1"));
    EXPECT_EQ(columns[1], QStringLiteral("warden"));
    EXPECT_EQ(columns[2], QStringLiteral(VESK_VERSION));
    EXPECT_EQ(columns[3], QString()); // no credential set on this machine, so no event code
    EXPECT_EQ(storedState(server.dbPath(), QStringLiteral("E2E-SERIAL-1")),
              (QJsonObject{{QStringLiteral("status"), QStringLiteral("active")}, {QStringLiteral("agentMode"), false}}));

    EXPECT_EQ(agent->terminate(), 0);
    EXPECT_TRUE(agent->output().contains(QStringLiteral("Stopped")));
    EXPECT_EQ(server.stop(), 0);
}

TEST(AgentFleetEndToEnd, StoppedServerIsLoggedAndTheAgentKeepsRunning)
{
    QTemporaryDir dir;
    // Claim a free port, then release it so nothing listens there.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();

    auto agent = startAgent(QStringLiteral("http://127.0.0.1:%1/api").arg(port), QStringLiteral("E2E-2"), dir.path());
    ASSERT_TRUE(agent->waitForOutput(QStringLiteral("HEARTBEAT failed: "), 15000)) << agent->output().toStdString();
    EXPECT_TRUE(agent->isRunning());
    EXPECT_EQ(agent->terminate(), 0);
}

TEST(AgentFleetEndToEnd, ServerThatNeverAnswersCostsOneTimeoutNotAHang)
{
    QTemporaryDir dir;
    // Accepts connections and reads, but never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket *> held;
    QElapsedTimer sinceConnected;
    QObject::connect(&silent, &QTcpServer::newConnection, [&]() {
        if (!sinceConnected.isValid())
            sinceConnected.start();
        while (QTcpSocket *s = silent.nextPendingConnection())
            held.push_back(s);
    });

    auto agent = startAgent(QStringLiteral("http://127.0.0.1:%1/api").arg(silent.serverPort()), QStringLiteral("E2E-3"),
                            dir.path());
    ASSERT_TRUE(agent->waitForOutput(QStringLiteral("HEARTBEAT failed: The request timed out."), 20000))
        << agent->output().toStdString();
    ASSERT_FALSE(held.empty());
    // The beat gave up on its own 3-second timeout: not at once, and not after a long stall.
    EXPECT_GE(sinceConnected.elapsed(), 2500);
    EXPECT_LT(sinceConnected.elapsed(), 10000);
    EXPECT_TRUE(agent->isRunning());
    EXPECT_EQ(agent->terminate(), 0) << agent->output().toStdString();
}
