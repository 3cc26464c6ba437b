#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// The fleet server's heartbeat endpoint: the same host's /api/heartbeat.
QString heartbeatEndpointFor(const QString &fleetBaseUrl);

// What the agent executable was asked to do, from its arguments and environment.
struct AgentOptions {
    QString fleetUrl;      // base URL ending in "/api"
    // PEM CA certificates trusted for an https fleet URL besides the system's (env VESK_FLEET_CA).
    QString fleetCaFile;
    // Let the fleet key go over plain HTTP to a host other than loopback (env VESK_ALLOW_PLAIN_HTTP=1).
    bool allowPlainHttp = false;
    QString serial;        // empty: the machine's own
    bool headless = false; // offscreen platform, no tray
    // The program and arguments that restart the machine; empty: the platform's default.
    QStringList restartCommand;
    QString error;         // set when the arguments cannot be used
    bool showHelp = false;
    // One-shot commands instead of running the agent: "pair", "unpair", "pairing-status", "settings",
    // "console".
    QString command;
    QString pairCode;
    // "pair -": the code comes from standard input, so it stays out of `ps` and shell history.
    bool pairCodeFromStdin = false;
    // "settings export FILE" / "settings import FILE": command "settings", the action and the file.
    QString settingsAction;
    QString settingsFile;
    // "console --screenshot DIR": renders the console's screens into DIR and exits.
    QString screenshotDir;
    // Not shown to users: the accelerated soak divides the agent's periods by this (env
    // VESK_SOAK_FACTOR, e.g. 24 for a day an hour). Unset, not a number or below 1: as shipped.
    double soakFactor = 1;

    QString heartbeatEndpoint() const { return heartbeatEndpointFor(fleetUrl); }

    static AgentOptions parse(const QStringList &arguments, const QProcessEnvironment &env);
    static QString helpText();
    // The code in the first line "pair -" reads, without its line ending and surrounding blanks;
    // empty when the line holds none.
    static QString pairCodeFromInput(const QByteArray &firstLine);
};

// The reference fleet server on loopback: what the agent talks to when told nothing else.
inline constexpr char kDefaultFleetUrl[] = "http://127.0.0.1:8440/api";

} // namespace vesk
