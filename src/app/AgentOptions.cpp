#include "app/AgentOptions.h"

#include <QProcess>
#include <QUrl>

#include <algorithm>

namespace vesk {

QString heartbeatEndpointFor(const QString &fleetBaseUrl)
{
    QUrl url(fleetBaseUrl);
    url.setPath(QStringLiteral("/api/heartbeat"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url.toString();
}

AgentOptions AgentOptions::parse(const QStringList &arguments, const QProcessEnvironment &env)
{
    AgentOptions options;
    options.fleetUrl = env.value(QStringLiteral("VESK_FLEET_URL"), QString::fromLatin1(kDefaultFleetUrl));
    options.serial = env.value(QStringLiteral("VESK_SERIAL"));
    options.fleetCaFile = env.value(QStringLiteral("VESK_FLEET_CA"));
    options.allowPlainHttp = env.value(QStringLiteral("VESK_ALLOW_PLAIN_HTTP")) == QLatin1String("1");
    options.restartCommand = QProcess::splitCommand(env.value(QStringLiteral("VESK_RESTART_COMMAND")));
    options.soakFactor = std::max(1.0, env.value(QStringLiteral("VESK_SOAK_FACTOR")).toDouble());

    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        // "--name value" or "--name=value"; "--name-other" is not "--name".
        auto isOption = [&arg](QLatin1String name) {
            return arg == name || (arg.startsWith(name) && arg.at(name.size()) == QLatin1Char('='));
        };
        auto takeValue = [&](const QString &name) -> std::optional<QString> {
            if (arg.startsWith(name + QLatin1Char('=')))
                return arg.mid(name.size() + 1);
            if (i + 1 < arguments.size())
                return arguments.at(++i);
            options.error = name + QStringLiteral(" needs a value");
            return std::nullopt;
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.showHelp = true;
        } else if (arg == QLatin1String("--headless")) {
            options.headless = true;
        } else if (isOption(QLatin1String("--fleet-url"))) {
            const auto value = takeValue(QStringLiteral("--fleet-url"));
            if (!value)
                return options;
            options.fleetUrl = *value;
        } else if (isOption(QLatin1String("--fleet-ca"))) {
            const auto value = takeValue(QStringLiteral("--fleet-ca"));
            if (!value)
                return options;
            options.fleetCaFile = *value;
        } else if (arg == QLatin1String("--allow-plain-http")) {
            options.allowPlainHttp = true;
        } else if (isOption(QLatin1String("--serial"))) {
            const auto value = takeValue(QStringLiteral("--serial"));
            if (!value)
                return options;
            options.serial = *value;
        } else if (isOption(QLatin1String("--restart-command"))) {
            const auto value = takeValue(QStringLiteral("--restart-command"));
            if (!value)
                return options;
            options.restartCommand = QProcess::splitCommand(*value);
        } else if (options.command.isEmpty()
                   && (arg == QLatin1String("pair") || arg == QLatin1String("unpair")
                       || arg == QLatin1String("pairing-status"))) {
            options.command = arg;
            if (arg == QLatin1String("pair")) {
                if (i + 1 >= arguments.size()) {
                    options.error = QStringLiteral("pair needs the fleet secret");
                    return options;
                }
                options.pairCode = arguments.at(++i);
                options.pairCodeFromStdin = options.pairCode == QLatin1String("-");
                if (options.pairCodeFromStdin)
                    options.pairCode.clear();
            }
        } else if (options.command.isEmpty() && arg == QLatin1String("settings")) {
            options.command = arg;
            options.settingsAction = arguments.value(i + 1);
            options.settingsFile = arguments.value(i + 2);
            if (options.settingsAction != QLatin1String("export") && options.settingsAction != QLatin1String("import")) {
                options.error = QStringLiteral("settings needs export or import");
                return options;
            }
            if (options.settingsFile.isEmpty()) {
                options.error = QStringLiteral("settings ") + options.settingsAction + QStringLiteral(" needs a file");
                return options;
            }
            i += 2;
        } else if (options.command.isEmpty() && arg == QLatin1String("console")) {
            options.command = arg;
        } else if (isOption(QLatin1String("--screenshot"))) {
            const auto value = takeValue(QStringLiteral("--screenshot"));
            if (!value)
                return options;
            options.screenshotDir = *value;
        } else {
            options.error = QStringLiteral("unknown argument: ") + arg;
            return options;
        }
    }

    if ((options.command == QLatin1String("console")) != !options.screenshotDir.isEmpty()) {
        options.error = QStringLiteral("console needs --screenshot DIR, and --screenshot needs console");
        return options;
    }

    const QUrl url(options.fleetUrl);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        options.error = QStringLiteral("--fleet-url must be an http(s) URL: ") + options.fleetUrl;
    return options;
}

QString AgentOptions::pairCodeFromInput(const QByteArray &firstLine)
{
    return QString::fromUtf8(firstLine).trimmed();
}

QString AgentOptions::helpText()
{
    return QStringLiteral(
        "Usage: vesk-warden [--fleet-url URL] [--fleet-ca FILE] [--allow-plain-http] [--serial SERIAL]\n"
        "                   [--headless] [--restart-command CMD]\n"
        "       vesk-warden [--fleet-url URL] [--serial SERIAL] pair CODE|- | unpair | pairing-status\n"
        "       vesk-warden settings export FILE | settings import FILE\n"
        "       vesk-warden [--fleet-url URL] console --screenshot DIR\n"
        "\n"
        "Runs the Vesk Warden agent in the foreground until SIGTERM or SIGINT.\n"
        "\n"
        "Pairing, one-shot, with the agent's own HOME (a running agent sees the new\n"
        "secret at its next request):\n"
        "  pair CODE        Checks the account's 64-character fleet secret with the\n"
        "                   server and stores it; exits 1 with the reason on failure.\n"
        "  pair -           The same, reading the code from the first line of standard\n"
        "                   input, so it appears in neither `ps` nor shell history.\n"
        "  unpair           Removes this account's stored fleet secret.\n"
        "  pairing-status   Re-checks with the server and prints the pairing status.\n"
        "\n"
        "Settings, one-shot, for machines set up without the console:\n"
        "  settings export FILE\n"
        "                   Writes this account's preferences, local policies, cleanup\n"
        "                   rules and network shares to FILE; never passwords or the\n"
        "                   fleet secret.\n"
        "  settings import FILE\n"
        "                   Replaces them with FILE's and prints what was imported.\n"
        "                   Share passwords must be entered again; a running agent\n"
        "                   takes the new set-up at its next start.\n"
        "\n"
        "Console pictures, one-shot, offscreen:\n"
        "  console --screenshot DIR\n"
        "                   Renders every console screen, the first machine's detail\n"
        "                   and the batch sheet into PNG files in DIR, against the\n"
        "                   fleet server this account is paired with.\n"
        "\n"
        "Options:\n"
        "  --fleet-url URL  Fleet server base URL, ending in /api (env VESK_FLEET_URL;\n"
        "                   default %1). The heartbeat goes to the same\n"
        "                   host's /api/heartbeat.\n"
        "  --fleet-ca FILE  PEM CA certificate(s) trusted for an https:// fleet URL,\n"
        "                   besides the system's trust store (env VESK_FLEET_CA).\n"
        "  --allow-plain-http\n"
        "                   Send the fleet key over plain http:// to a host other than\n"
        "                   loopback (env VESK_ALLOW_PLAIN_HTTP=1). Without it such\n"
        "                   requests are refused: the key would cross the network in clear.\n"
        "  --serial SERIAL  Machine serial to report (env VESK_SERIAL; default: the DMI\n"
        "                   product serial when readable, else /etc/machine-id).\n"
        "  --headless       No display: offscreen platform, no tray icon.\n"
        "  --restart-command CMD\n"
        "                   How a fleet \"restart\" command restarts the machine: a\n"
        "                   program and its arguments, run without a shell (env\n"
        "                   VESK_RESTART_COMMAND; default \"systemctl reboot\").\n"
        "  -h, --help       This text.\n"
        "\n"
        "Environment:\n"
        "  VESK_APPLICATIONS  Colon-separated application folders; the first stands for\n"
        "                     /Applications (default /opt/Applications:$HOME/Applications).\n"
        "  VESK_SHARED_DIR    The shared folder, standing for /Users/Shared\n"
        "                     (default /srv/vesk/Shared).\n"
        "  HOME, XDG_CONFIG_HOME, XDG_DATA_HOME\n"
        "                     Settings live in $XDG_CONFIG_HOME/VeskWarden/VeskWarden.conf,\n"
        "                     the storage folder and keychain file in\n"
        "                     $XDG_DATA_HOME/VeskWarden; a second agent with its own HOME is\n"
        "                     fully isolated.\n")
        .arg(QString::fromLatin1(kDefaultFleetUrl));
}

} // namespace vesk
