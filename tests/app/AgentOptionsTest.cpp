#include "app/AgentOptions.h"

#include <gtest/gtest.h>

using vesk::AgentOptions;

TEST(AgentOptions, ArgumentsOverrideEnvironmentOverridesDefault)
{
    struct Case {
        const char *name;
        QStringList args;
        QStringList env; // NAME=value
        QString fleetUrl;
        QString serial;
        bool headless;
        bool error;
    };
    const Case cases[] = {
        {"embedded default", {}, {}, QString::fromLatin1(vesk::kDefaultFleetUrl), {}, false, false},
        {"environment", {}, {"VESK_FLEET_URL=https://fleet.example/api", "VESK_SERIAL=C02ENV"},
         "https://fleet.example/api", "C02ENV", false, false},
        {"flags win", {"--fleet-url", "http://10.0.0.5:9000/api", "--serial=C02FLAG", "--headless"},
         {"VESK_FLEET_URL=https://fleet.example/api", "VESK_SERIAL=C02ENV"}, "http://10.0.0.5:9000/api", "C02FLAG",
         true, false},
        {"missing value", {"--serial"}, {}, {}, {}, false, true},
        {"unknown flag", {"--fleet"}, {}, {}, {}, false, true},
        {"longer flag with a known prefix", {"--serial-number", "C02X"}, {}, {}, {}, false, true},
        {"not a URL", {"--fleet-url", "fleet.example"}, {}, {}, {}, false, true},
        {"ftp scheme", {"--fleet-url", "ftp://fleet.example/api"}, {}, {}, {}, false, true},
    };
    for (const Case &c : cases) {
        QProcessEnvironment env;
        for (const QString &pair : c.env)
            env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
        const auto options = AgentOptions::parse(QStringList{QStringLiteral("vesk-warden")} + c.args, env);
        EXPECT_EQ(!options.error.isEmpty(), c.error) << c.name << ": " << options.error.toStdString();
        if (c.error)
            continue;
        EXPECT_EQ(options.fleetUrl, c.fleetUrl) << c.name;
        EXPECT_EQ(options.serial, c.serial) << c.name;
        EXPECT_EQ(options.headless, c.headless) << c.name;
    }
}

TEST(AgentOptions, HeartbeatGoesToTheSameHostsAPIHeartbeat)
{
    AgentOptions options;
    options.fleetUrl = QStringLiteral("https://fleet.example:8443/tenant/api?x=1");
    EXPECT_EQ(options.heartbeatEndpoint(), QStringLiteral("https://fleet.example:8443/api/heartbeat"));
}

TEST(AgentOptions, RestartCommandIsAProgramAndArgumentsFromFlagOrEnvironment)
{
    QProcessEnvironment env;
    EXPECT_TRUE(AgentOptions::parse({QStringLiteral("vesk-warden")}, env).restartCommand.isEmpty());
    env.insert(QStringLiteral("VESK_RESTART_COMMAND"), QStringLiteral("/usr/sbin/shutdown -r \"+1\""));
    EXPECT_EQ(AgentOptions::parse({QStringLiteral("vesk-warden")}, env).restartCommand,
              (QStringList{"/usr/sbin/shutdown", "-r", "+1"}));
    EXPECT_EQ(AgentOptions::parse({"vesk-warden", "--restart-command", "loginctl reboot"}, env).restartCommand,
              (QStringList{"loginctl", "reboot"}));
}

TEST(AgentOptions, FleetCaAndPlainHttpComeFromFlagOrEnvironment)
{
    QProcessEnvironment env;
    EXPECT_FALSE(AgentOptions::parse({"vesk-warden"}, env).allowPlainHttp);
    env.insert(QStringLiteral("VESK_FLEET_CA"), QStringLiteral("/etc/vesk/ca.pem"));
    env.insert(QStringLiteral("VESK_ALLOW_PLAIN_HTTP"), QStringLiteral("1"));
    EXPECT_EQ(AgentOptions::parse({"vesk-warden"}, env).fleetCaFile, QStringLiteral("/etc/vesk/ca.pem"));
    EXPECT_TRUE(AgentOptions::parse({"vesk-warden"}, env).allowPlainHttp);
    const auto flags = AgentOptions::parse({"vesk-warden", "--fleet-ca=/tmp/o.pem", "--allow-plain-http"}, {});
    EXPECT_EQ(flags.fleetCaFile, QStringLiteral("/tmp/o.pem")) << flags.error.toStdString();
    EXPECT_TRUE(flags.allowPlainHttp);
}

TEST(AgentOptions, PairTakesTheCodeAsArgumentOrFromStandardInput)
{
    struct Case {
        const char *name;
        QStringList args;
        QString pairCode;
        bool fromStdin;
        bool error;
    };
    const Case cases[] = {
        {"code as argument", {"pair", "ab12"}, "ab12", false, false},
        {"dash reads standard input", {"--serial", "C02X", "pair", "-"}, {}, true, false},
        {"no code at all", {"pair"}, {}, false, true},
        {"a second code", {"pair", "-", "ab12"}, {}, false, true},
    };
    for (const Case &c : cases) {
        const auto options = AgentOptions::parse(QStringList{QStringLiteral("vesk-warden")} + c.args, {});
        EXPECT_EQ(!options.error.isEmpty(), c.error) << c.name << ": " << options.error.toStdString();
        if (c.error)
            continue;
        EXPECT_EQ(options.command, QStringLiteral("pair")) << c.name;
        EXPECT_EQ(options.pairCode, c.pairCode) << c.name;
        EXPECT_EQ(options.pairCodeFromStdin, c.fromStdin) << c.name;
    }

    struct Input {
        const char *name;
        QByteArray line;
        QString code;
    };
    const Input inputs[] = {
        {"piped with a newline", "0a1b\n", "0a1b"},
        {"typed on Windows", "0a1b\r\n", "0a1b"},
        {"pasted with blanks", "  0a1b \t\n", "0a1b"},
        {"no newline at the end", "0a1b", "0a1b"},
        {"an empty line", "\n", {}},
        {"nothing at all", {}, {}},
    };
    for (const Input &in : inputs)
        EXPECT_EQ(AgentOptions::pairCodeFromInput(in.line), in.code) << in.name;
}

TEST(AgentOptions, SettingsTakeAnActionAndAFile)
{
    struct Case {
        const char *name;
        QStringList args;
        QString action;
        QString file;
        bool error;
    };
    const Case cases[] = {
        {"export", {"settings", "export", "/tmp/Vesk Warden Settings.json"}, "export", "/tmp/Vesk Warden Settings.json",
         false},
        {"import after a flag", {"--serial", "C02X", "settings", "import", "a.json"}, "import", "a.json", false},
        {"no file", {"settings", "export"}, {}, {}, true},
        {"no action", {"settings"}, {}, {}, true},
        {"another action", {"settings", "reset", "a.json"}, {}, {}, true},
        {"a second file", {"settings", "import", "a.json", "b.json"}, {}, {}, true},
        {"after another command", {"unpair", "settings", "import", "a.json"}, {}, {}, true},
    };
    for (const Case &c : cases) {
        const auto options = AgentOptions::parse(QStringList{QStringLiteral("vesk-warden")} + c.args, {});
        EXPECT_EQ(!options.error.isEmpty(), c.error) << c.name << ": " << options.error.toStdString();
        if (c.error)
            continue;
        EXPECT_EQ(options.command, QStringLiteral("settings")) << c.name;
        EXPECT_EQ(options.settingsAction, c.action) << c.name;
        EXPECT_EQ(options.settingsFile, c.file) << c.name;
    }
}

TEST(AgentOptions, ConsolePicturesNeedTheirFolder)
{
    struct Case {
        const char *name;
        QStringList args;
        QString dir; // empty: refused
    };
    const Case cases[] = {
        {"folder after the command", {"console", "--screenshot", "/tmp/shots"}, "/tmp/shots"},
        {"folder first, with =", {"--screenshot=/tmp/shots", "console"}, "/tmp/shots"},
        {"no folder", {"console"}, {}},
        {"flag without its value", {"console", "--screenshot"}, {}},
        {"folder without the command", {"--screenshot", "/tmp/shots"}, {}},
        {"after another command", {"unpair", "console", "--screenshot", "/tmp/shots"}, {}},
    };
    for (const Case &c : cases) {
        const auto options = AgentOptions::parse(QStringList{QStringLiteral("vesk-warden")} + c.args, {});
        EXPECT_EQ(options.error.isEmpty(), !c.dir.isEmpty()) << c.name << ": " << options.error.toStdString();
        if (!c.dir.isEmpty()) {
            EXPECT_EQ(options.command, QStringLiteral("console")) << c.name;
            EXPECT_EQ(options.screenshotDir, c.dir) << c.name;
        }
    }
}

