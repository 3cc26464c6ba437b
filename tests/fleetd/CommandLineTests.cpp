#include "fleetd/cli/CommandLine.h"

#include <gtest/gtest.h>

using vesk::fleetd::CommandLine;

namespace {

struct ParseCase {
    const char *name;
    QStringList arguments;
    CommandLine::Command command;
    QString host;
    quint16 port;
    QString dbPath;
    // Empty when the arguments are valid; else a fragment of the error.
    QString error;
};

TEST(CommandLineTest, ParsesCommandsAndRefusesNonsense)
{
    using C = CommandLine::Command;
    const ParseCase cases[] = {
        {"no command is help", {}, C::Help, {}, 0, {}, {}},
        {"--help wins over a command", {"serve", "--help"}, C::Help, {}, 0, {}, {}},
        {"serve defaults to loopback 8440", {"serve", "--db", "/tmp/f.db"}, C::Serve, "127.0.0.1", 8440, "/tmp/f.db", {}},
        {"serve on port 0", {"serve", "--listen", "127.0.0.1:0", "--db", "f.db"}, C::Serve, "127.0.0.1", 0, "f.db", {}},
        {"serve on IPv6 loopback", {"serve", "--listen", "[::1]:8441", "--db", "f.db"}, C::Serve, "::1", 8441, "f.db", {}},
        {"serve on localhost", {"serve", "--listen", "localhost:1", "--db", "f.db"}, C::Serve, "localhost", 1, "f.db", {}},
        {"machines", {"machines", "--db", "f.db"}, C::Machines, "127.0.0.1", 8440, "f.db", {}},
        {"serve without --db", {"serve"}, C::Help, {}, 0, {}, "needs --db"},
        {"unknown command", {"start", "--db", "f.db"}, C::Help, {}, 0, {}, "unknown command"},
        {"unknown option", {"serve", "--port", "1", "--db", "f.db"}, C::Help, {}, 0, {}, "port"},
        {"extra argument", {"machines", "extra", "--db", "f.db"}, C::Help, {}, 0, {}, "extra"},
        {"--listen for machines", {"machines", "--listen", "127.0.0.1:1", "--db", "f.db"}, C::Help, {}, 0, {}, "only to serve"},
        {"port too large", {"serve", "--listen", "127.0.0.1:65536", "--db", "f.db"}, C::Help, {}, 0, {}, "65536"},
        {"no port", {"serve", "--listen", "127.0.0.1", "--db", "f.db"}, C::Help, {}, 0, {}, "HOST:PORT"},
        {"bare IPv6", {"serve", "--listen", "::1:80", "--db", "f.db"}, C::Help, {}, 0, {}, "brackets"},
        {"serve on PostgreSQL", {"serve", "--db", "postgresql://fleet@db:5432/fleet"}, C::Serve, "127.0.0.1", 8440,
         "postgresql://fleet@db:5432/fleet", {}},
        {"retention of no days", {"serve", "--retention-days", "0", "--db", "f.db"}, C::Help, {}, 0, {}, "1 to 36500"},
        {"retention for machines", {"machines", "--retention-days", "9", "--db", "f.db"}, C::Help, {}, 0, {}, "only to serve"},
        {"certificate without key", {"serve", "--tls-cert", "c.pem", "--db", "f.db"}, C::Help, {}, 0, {}, "go together"},
        {"timeout for machines", {"machines", "--idle-timeout", "5", "--db", "f.db"}, C::Help, {}, 0, {}, "only to serve"},
        {"timeout not a number", {"serve", "--header-timeout", "soon", "--db", "f.db"}, C::Help, {}, 0, {}, "seconds"},
        {"timeout of zero", {"serve", "--body-timeout", "0", "--db", "f.db"}, C::Help, {}, 0, {}, "seconds"},
        {"redelivery for machines", {"machines", "--redeliver-after", "60", "--db", "f.db"}, C::Help, {}, 0, {},
         "only to serve"},
        {"redelivery of zero", {"serve", "--redeliver-after", "0", "--db", "f.db"}, C::Help, {}, 0, {}, "1 to"},
        {"redelivery not a number", {"serve", "--redeliver-after", "10m", "--db", "f.db"}, C::Help, {}, 0, {}, "1 to"},
    };
    for (const ParseCase &tc : cases) {
        const CommandLine got = CommandLine::parse(QStringList{"vesk-fleetd"} + tc.arguments);
        if (!tc.error.isEmpty()) {
            EXPECT_TRUE(got.error.contains(tc.error)) << tc.name << ": " << got.error.toStdString();
            continue;
        }
        ASSERT_EQ(got.error, QString()) << tc.name;
        EXPECT_EQ(got.command, tc.command) << tc.name;
        if (tc.command == C::Help)
            continue;
        EXPECT_EQ(got.dbPath, tc.dbPath) << tc.name;
        EXPECT_EQ(got.listen.host, tc.host) << tc.name;
        EXPECT_EQ(got.listen.port, tc.port) << tc.name;
        EXPECT_FALSE(got.listen.address.isNull()) << tc.name;
        EXPECT_EQ(got.serve.redeliverAfter, std::chrono::seconds(600)) << tc.name;
    }
    EXPECT_EQ(CommandLine::parse({"vesk-fleetd", "serve", "--redeliver-after", "90", "--db", "f.db"}).serve.redeliverAfter,
              std::chrono::seconds(90));
}

TEST(CommandLineTest, ServeTakesTlsFilesAndFractionalTimeouts)
{
    const CommandLine got = CommandLine::parse({"vesk-fleetd", "serve", "--tls-cert", "c.pem", "--tls-key", "k.pem",
                                                "--header-timeout", "0.25", "--db", "f.db"});
    ASSERT_EQ(got.error, QString());
    EXPECT_EQ(got.serve.tlsKey, "k.pem");
    EXPECT_EQ(got.serve.limits.headerTimeout.count(), 250);
}

TEST(CommandLineTest, AdminCommandsTakeTheirOperandsAndOnlyTheirOptions)
{
    using C = CommandLine::Command;
    const struct {
        const char *name;
        QStringList arguments;
        C command;
        QStringList operands;
        // Empty when valid; else a fragment of the error.
        QString error;
    } cases[] = {
        {"secret issue", {"secret", "issue", "ABCD1234", "--db", "f"}, C::SecretIssue, {"ABCD1234"}, {}},
        {"command queue with params", {"command", "queue", "S1", "restart_app", "--param", "bundle_id=x", "--db", "f"},
         C::CommandQueue, {"S1", "restart_app"}, {}},
        {"release publish", {"release", "publish", "b", "1.0", "https://h/a.zip", "--sha256", "ab", "--db", "f"},
         C::ReleasePublish, {"b", "1.0", "https://h/a.zip"}, {}},
        {"release of a local archive", {"release", "publish", "b", "1.0", "a.zip", "--db", "f"}, C::ReleasePublish,
         {"b", "1.0", "a.zip"}, {}},
        {"unknown secret verb", {"secret", "show", "T", "--db", "f"}, C::Help, {}, "unknown secret command"},
        {"missing operand", {"event", "add", "T", "--db", "f"}, C::Help, {}, "needs 2 argument"},
        {"param elsewhere", {"tenant", "add", "T", "--param", "a=1", "--db", "f"}, C::Help, {}, "--param"},
        {"sha elsewhere", {"secret", "list", "T", "--sha256", "ab", "--db", "f"}, C::Help, {}, "release publish"},
    };
    for (const auto &tc : cases) {
        const CommandLine got = CommandLine::parse(QStringList{"vesk-fleetd"} + tc.arguments);
        if (!tc.error.isEmpty()) {
            EXPECT_TRUE(got.error.contains(tc.error)) << tc.name << ": " << got.error.toStdString();
            continue;
        }
        ASSERT_EQ(got.error, QString()) << tc.name;
        EXPECT_EQ(got.command, tc.command) << tc.name;
        EXPECT_EQ(got.operands, tc.operands) << tc.name;
    }
}

} // namespace
