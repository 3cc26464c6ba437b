// Pairing against the real fleet server: the one-shot `vesk-warden pair` before and
// after the machine's first heartbeat, then the server rotating and revoking the secret
// and the agent's fleet client reacting at its next request.
#include "AgentProcess.h"
#include "AgentSide.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace vesk;
using vesk::test::AgentSide;
using vesk::test::ChildProcess;
using vesk::test::FleetServer;
using vesk::test::fleetdAdmin;
using vesk::test::secretCodeOf;

namespace {

const QString kTenant = QStringLiteral("ABCD1234");
const QString kSerial = QStringLiteral("E2E-PAIR-1");

struct OneShot {
    int exitCode;
    QString output;
};

// `input`, when given, is what the command reads on its standard input.
OneShot warden(const QStringList &args, const QString &fleetUrl, const QString &home,
               const std::optional<QByteArray> &input = std::nullopt)
{
    ChildProcess child(QStringLiteral(VESK_WARDEN_BINARY),
                       QStringList{QStringLiteral("--fleet-url"), fleetUrl, QStringLiteral("--serial"), kSerial} + args,
                       home);
    if (input)
        child.sendInput(*input);
    const int exitCode = child.waitForExit();
    return {exitCode, child.output()};
}

} // namespace

TEST(PairingEndToEnd, PairAfterFirstHeartbeatThenRotateAndRevokeAreNoticed)
{
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("agent-home"));
    FleetServer server(dir.path());
    ASSERT_FALSE(server.baseUrl().isEmpty());
    fleetdAdmin({QStringLiteral("tenant"), QStringLiteral("add"), kTenant}, server.dbPath());
    fleetdAdmin({QStringLiteral("event"), QStringLiteral("add"), kTenant, QStringLiteral("EVT-1")}, server.dbPath());
    const QString code = secretCodeOf(fleetdAdmin({QStringLiteral("secret"), QStringLiteral("issue"), kTenant}, server.dbPath()));
    ASSERT_EQ(code.size(), 64);

    // The operator's credential file names the account and the event.
    const QString lumora = home + QStringLiteral("/Shared/Lumora");
    ASSERT_TRUE(QDir().mkpath(lumora));
    QFile file(lumora + QStringLiteral("/credentials_Spring.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<credentials><kr5_account>ABCD1234</kr5_account><kr5_location>EVT-1</kr5_location></credentials>");
    file.close();

    const OneShot early = warden({QStringLiteral("pair"), code}, server.baseUrl(), home);
    EXPECT_EQ(early.exitCode, 1);
    EXPECT_TRUE(early.output.contains(QStringLiteral("This Mac isn't registered yet."))) << early.output.toStdString();

    auto agent = std::make_unique<ChildProcess>(
        QStringLiteral(VESK_WARDEN_BINARY),
        QStringList{QStringLiteral("--headless"), QStringLiteral("--fleet-url"), server.baseUrl(),
                    QStringLiteral("--serial"), kSerial},
        home);
    ASSERT_TRUE(agent->waitForOutput(QStringLiteral("HEARTBEAT OK HTTP 200"), 15000)) << agent->output().toStdString();

    // The code from standard input, as a script pipes it in: out of `ps` and shell history.
    const OneShot nothingPiped = warden({QStringLiteral("pair"), QStringLiteral("-")}, server.baseUrl(), home, "\n");
    EXPECT_EQ(nothingPiped.exitCode, 2);
    EXPECT_TRUE(nothingPiped.output.contains(QStringLiteral("standard input held no fleet secret")))
        << nothingPiped.output.toStdString();
    const OneShot paired =
        warden({QStringLiteral("pair"), QStringLiteral("-")}, server.baseUrl(), home, code.toUpper().toUtf8() + "\n");
    EXPECT_EQ(paired.exitCode, 0) << paired.output.toStdString();
    EXPECT_TRUE(paired.output.contains(QStringLiteral("Paired. This Mac can now receive fleet commands and policies.")))
        << paired.output.toStdString();

    AgentSide side(home, server.baseUrl(), kSerial);
    const auto polled = QCoro::waitFor(side.api.fetchPendingCommands());
    ASSERT_TRUE(polled.ok()) << polled.errorMessage().toStdString();
    // The agent stops here: its own next request after the rotation would be the one that
    // hears of it and wipes the shared secret, and the poll below would then go out keyless.
    EXPECT_EQ(agent->terminate(), 0);

    const QString rotated =
        secretCodeOf(fleetdAdmin({QStringLiteral("secret"), QStringLiteral("rotate"), kTenant}, server.dbPath()));
    const auto afterRotate = QCoro::waitFor(side.api.fetchPendingCommands());
    EXPECT_EQ(afterRotate.errorMessage(),
              QStringLiteral("Your fleet secret changed. Open Settings and paste the new secret from your admin to "
                             "reconnect."));
    EXPECT_FALSE(QCoro::waitFor(side.secrets.storedSecret(kTenant)).has_value()) << "the stale secret is wiped";

    const OneShot repaired = warden({QStringLiteral("pair"), rotated}, server.baseUrl(), home);
    EXPECT_EQ(repaired.exitCode, 0) << repaired.output.toStdString();
    fleetdAdmin({QStringLiteral("secret"), QStringLiteral("revoke"), kTenant}, server.dbPath());
    const auto afterRevoke = QCoro::waitFor(side.api.fetchPendingCommands());
    EXPECT_EQ(afterRevoke.errorMessage(),
              QStringLiteral("This device has been revoked by your administrator. Contact your admin to restore "
                             "service."));
    EXPECT_FALSE(QCoro::waitFor(side.secrets.storedSecret(kTenant)).has_value());

    const OneShot status = warden({QStringLiteral("pairing-status")}, server.baseUrl(), home);
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_FALSE(status.output.contains(QStringLiteral("Paired"))) << status.output.toStdString();
}
