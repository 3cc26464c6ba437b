#include "fleetd/cli/CommandLine.h"

#include "fleetd/cli/HelpText.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>

namespace vesk::fleetd {

namespace {

CommandLine failed(const QString &message)
{
    CommandLine result;
    result.error = message;
    return result;
}

struct Grammar {
    QStringList words;
    int operands;
    CommandLine::Command command;
    // Operands after `operands` that may be left out.
    int optionalOperands = 0;
};

const QList<Grammar> &grammar()
{
    using C = CommandLine::Command;
    static const QList<Grammar> table = {
        {{"serve"}, 0, C::Serve},
        {{"machines"}, 0, C::Machines},
        {{"tenant", "add"}, 1, C::TenantAdd},
        {{"event", "add"}, 2, C::EventAdd},
        {{"secret", "issue"}, 1, C::SecretIssue},
        {{"secret", "rotate"}, 1, C::SecretRotate},
        {{"secret", "revoke"}, 1, C::SecretRevoke},
        {{"secret", "list"}, 1, C::SecretList},
        {{"command", "queue"}, 2, C::CommandQueue},
        {{"command", "list"}, 1, C::CommandList},
        {{"release", "publish"}, 3, C::ReleasePublish},
        {{"policy", "assign"}, 3, C::PolicyAssign},
        {{"policy", "save"}, 2, C::PolicySave},
        {{"policy", "list"}, 1, C::PolicyList},
        {{"telemetry"}, 1, C::Telemetry},
        {{"apps"}, 1, C::InstalledApps},
        {{"machine", "move"}, 2, C::MachineMove},
        {{"push", "test"}, 1, C::PushTest},
        {{"alerts", "list"}, 0, C::AlertsList, 1},
    };
    return table;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption listen(QStringLiteral("listen"), QString(), QStringLiteral("HOST:PORT"));
    const QCommandLineOption db(QStringLiteral("db"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption param(QStringLiteral("param"), QString(), QStringLiteral("KEY=VALUE"));
    const QCommandLineOption sha256(QStringLiteral("sha256"), QString(), QStringLiteral("HEX"));
    const QCommandLineOption build(QStringLiteral("build"), QString(), QStringLiteral("N"));
    const QCommandLineOption notes(QStringLiteral("notes"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption name(QStringLiteral("name"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption critical(QStringLiteral("critical"));
    parser.addOptions({help, listen, db, param, sha256, build, notes, name, critical});
    ServeOptions::addTo(parser);
    if (!parser.parse(arguments))
        return failed(parser.errorText());

    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(help) || positional.isEmpty() || positional.constFirst() == QLatin1String("help"))
        return CommandLine{};

    const Grammar *match = nullptr;
    for (const Grammar &entry : grammar()) {
        if (positional.mid(0, entry.words.size()) == entry.words)
            match = &entry;
    }
    if (!match) {
        const bool knownGroup = std::any_of(grammar().begin(), grammar().end(), [&](const Grammar &entry) {
            return entry.words.constFirst() == positional.constFirst();
        });
        return failed(knownGroup ? QStringLiteral("unknown %1 command \"%2\"")
                                       .arg(positional.constFirst(), positional.value(1))
                                 : QStringLiteral("unknown command \"%1\"").arg(positional.constFirst()));
    }
    const QString commandName = match->words.join(QLatin1Char(' '));
    const QStringList operands = positional.mid(match->words.size());
    if (operands.size() > match->operands + match->optionalOperands)
        return failed(QStringLiteral("unexpected argument \"%1\"")
                          .arg(operands.at(match->operands + match->optionalOperands)));
    if (operands.size() < match->operands)
        return failed(QStringLiteral("%1 needs %2 argument(s); see --help").arg(commandName).arg(match->operands));

    CommandLine result;
    result.command = match->command;
    result.operands = operands;
    if (parser.isSet(listen)) {
        if (result.command != Command::Serve)
            return failed(QStringLiteral("--listen applies only to serve"));
        QString error;
        const std::optional<ListenAddress> address = ListenAddress::parse(parser.value(listen), &error);
        if (!address)
            return failed(QStringLiteral("--listen: ") + error);
        result.listen = *address;
    }
    const QStringList serveOnly = ServeOptions::optionNames();
    for (const QString &option : serveOnly) {
        if (parser.isSet(option) && result.command != Command::Serve)
            return failed(QStringLiteral("--%1 applies only to serve").arg(option));
    }
    QString serveError;
    if (!result.serve.read(parser, &serveError))
        return failed(serveError);
    if (parser.isSet(param) && result.command != Command::CommandQueue)
        return failed(QStringLiteral("--param applies only to command queue"));
    const bool releaseOptions =
        parser.isSet(sha256) || parser.isSet(build) || parser.isSet(notes) || parser.isSet(name) || parser.isSet(critical);
    if (releaseOptions && result.command != Command::ReleasePublish)
        return failed(QStringLiteral("--sha256, --build, --notes, --name and --critical apply only to release publish"));
    result.params = parser.values(param);
    result.sha256 = parser.value(sha256);
    result.build = parser.value(build);
    result.notes = parser.value(notes);
    result.name = parser.value(name);
    result.critical = parser.isSet(critical);

    result.dbPath = parser.value(db);
    if (result.dbPath.isEmpty())
        return failed(QStringLiteral("%1 needs --db PATH|URL").arg(commandName));
    return result;
}

QString CommandLine::helpText()
{
    return fleetdHelpText();
}

} // namespace vesk::fleetd
