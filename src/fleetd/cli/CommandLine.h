#pragma once

#include "fleetd/cli/ListenAddress.h"
#include "fleetd/cli/ServeOptions.h"

#include <QString>
#include <QStringList>

#include <chrono>

namespace vesk::fleetd {

// What the user asked vesk-fleetd to do. Parsing only; nothing is opened here.
struct CommandLine {
    enum class Command {
        Help,
        Serve,
        Machines,
        TenantAdd,
        EventAdd,
        SecretIssue,
        SecretRotate,
        SecretRevoke,
        SecretList,
        CommandQueue,
        CommandList,
        ReleasePublish,
        PolicyAssign,
        PolicySave,
        PolicyList,
        Telemetry,
        InstalledApps,
        MachineMove,
        PushTest,
        AlertsList,
    };

    Command command = Command::Help;
    ListenAddress listen = ListenAddress::defaultAddress();
    QString dbPath;
    // serve's HTTPS and timeout options.
    ServeOptions serve;
    // The command's own arguments after its name ("tenant add ABCD1234" → {"ABCD1234"}).
    QStringList operands;
    // --param key=value, in order.
    QStringList params;
    // release publish options.
    QString sha256;
    QString build;
    QString notes;
    QString name;
    bool critical = false;
    // Set when the arguments make no sense; `command` is then meaningless.
    QString error;

    // `arguments` includes the program name, as QCoreApplication::arguments() does.
    static CommandLine parse(const QStringList &arguments);
    static QString helpText();
};

} // namespace vesk::fleetd
