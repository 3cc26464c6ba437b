// vesk-warden: builds the real platform objects and the services over them, and runs the
// agent in the foreground until SIGTERM or SIGINT.
#include "app/AgentFoundation.h"
#include "app/AgentMenu.h"
#include "app/AgentOptions.h"
#include "app/AgentServiceSet.h"
#include "app/SettingsCommand.h"
#include "app/AgentStatusModel.h"
#include "app/PolicyLibraryList.h"
#include "app/RunningLocalLists.h"
#include "console/ConsoleFleet.h"
#include "console/ConsoleLauncher.h"
#include "console/ConsoleScreenshots.h"
#include "console/ConsoleWindow.h"
#include "local/SettingsTransferService.h"
#include "settings/FleetSettingsStore.h"
#include "app/TrayMenu.h"
#include "app/VeskWardenApp.h"
#include "app/WardenHeartbeatManager.h"
#include "pairing/FleetSecretManager.h"
#include "pairing/PairingCommands.h"
#include "fleet/FleetAPIClient.h"
#include "commands/messages/RemoteMessagePanels.h"
#include "platform/LogCategories.h"
#include "platform/linux/CommandMachineControl.h"
#include "platform/linux/DBusNotifier.h"
#include "platform/linux/JournalLogQuery.h"
#include "platform/linux/LinuxSystemInfoSource.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/KeychainStoreFactory.h"
#include "platform/linux/LinuxMachineIdentity.h"
#include "platform/linux/LinuxPaths.h"
#include "platform/linux/LinuxProtectedFolders.h"
#include "platform/linux/LinuxShareMounter.h"
#include "platform/linux/QtHttpTransport.h"
#include "platform/linux/QtProcessRunner.h"
#include "platform/linux/PosixAccessProbe.h"
#include "platform/linux/RenameExchange.h"
#include "platform/linux/SettingsDefaultsStore.h"
#include "platform/linux/SignalWatcher.h"
#include "platform/linux/SystemClock.h"
#include "platform/ScaledClock.h"
#include "platform/linux/SystemdAgentRelaunch.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

using namespace vesk;

namespace {

// The one-shot pairing commands: run, print the operator's message, exit.
int runPairingCommand(const AgentOptions &options, AgentFoundation &foundation)
{
    FleetSecretManager &secrets = foundation.secrets;
    CommandOutcome outcome;
    if (options.command == QLatin1String("pair"))
        outcome = QCoro::waitFor(PairingCommands::pair(secrets, options.pairCode));
    else if (options.command == QLatin1String("unpair"))
        outcome = QCoro::waitFor(PairingCommands::unpair(secrets, foundation.settings));
    else
        outcome = QCoro::waitFor(PairingCommands::status(secrets));
    std::fprintf(outcome.exitCode == 0 ? stdout : stderr, "%s\n", qPrintable(outcome.message));
    return outcome.exitCode;
}

// `console --screenshot DIR`: one sampling pass for the dashboard, then every screen into DIR.
int runConsoleScreenshots(const QString &dir, const ConsoleContext &context, SystemMonitor &monitor)
{
    monitor.refresh();
    ConsoleWindow window(context);
    window.resize(1200, 780);
    const ConsoleScreenshots shots = QCoro::waitFor(ConsoleScreenshots::capture(window, dir));
    for (const QString &path : shots.written)
        std::fprintf(stdout, "%s\n", qPrintable(path));
    if (!shots.error.isEmpty()) {
        std::fprintf(stderr, "vesk-warden: %s\n", qPrintable(shots.error));
        return 1;
    }
    return 0;
}

// One line of `stream`, its line ending included; a secret is never longer than this cap.
QByteArray readFirstLine(std::FILE *stream)
{
    QFile input;
    if (!input.open(stream, QIODevice::ReadOnly))
        return {};
    return input.readLine(4096);
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const auto env = QProcessEnvironment::systemEnvironment();
    AgentOptions options = AgentOptions::parse(arguments, env);
    if (options.showHelp) {
        std::fputs(qPrintable(AgentOptions::helpText()), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "vesk-warden: %s\n%s", qPrintable(options.error), qPrintable(AgentOptions::helpText()));
        return 2;
    }
    if (options.pairCodeFromStdin) {
        options.pairCode = AgentOptions::pairCodeFromInput(readFirstLine(stdin));
        if (options.pairCode.isEmpty()) {
            std::fputs("vesk-warden: pair -: standard input held no fleet secret; pipe the 64-character code in\n",
                       stderr);
            return 2;
        }
    }
    // Without a display (or for a one-shot command) the agent runs offscreen rather than failing to start.
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const bool headless = options.headless || !options.command.isEmpty() || noDisplay;
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qSetMessagePattern(QStringLiteral("[%{time hh:mm:ss}] %{category}: %{message}"));

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vesk Warden"));
    QApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
    // A menu-bar agent: closing a window never quits it.
    QApplication::setQuitOnLastWindowClosed(false);

    const PlatformPaths paths = linuxPaths(env);
    QDir().mkpath(QFileInfo(paths.settingsFile).absolutePath());
    QDir().mkpath(paths.storageDir);

    SystemClock systemClock;
    ScaledClock clock(systemClock, options.soakFactor); // factor 1: every wait as asked
    if (clock.factor() > 1.0)
        qCInfo(lcApp) << "Soak mode: the agent's periods are divided by" << clock.factor();
    SettingsDefaultsStore defaults(paths.settingsFile);
    QtHttpTransport http{QStringLiteral(VESK_VERSION), {options.fleetCaFile, options.allowPlainHttp}};
    LinuxMachineIdentity identity(options.serial);
    const std::unique_ptr<KeychainStore> keychain = makeKeychainStore(paths);
    AgentFoundation foundation(AgentPlatformObjects{clock, defaults, http, identity, *keychain, paths, options.fleetUrl,
                                                    QStringLiteral(VESK_VERSION)});

    if (options.command == QLatin1String("settings")) {
        const CommandOutcome outcome = QCoro::waitFor(runSettingsCommand(
            options.settingsAction, options.settingsFile,
            {defaults, *keychain, clock, paths, AgentBundle{}.keychainService(), QStringLiteral(VESK_VERSION)}));
        std::fprintf(outcome.exitCode == 0 ? stdout : stderr, "%s\n", qPrintable(outcome.message));
        return outcome.exitCode;
    }
    if (!options.command.isEmpty() && options.command != QLatin1String("console"))
        return runPairingCommand(options, foundation);
    // Hashes earlier versions left in the settings move into the keychain before anything asks.
    QCoro::waitFor(foundation.locks.start());

    auto &settings = foundation.settings;
    auto &heartbeatManager = foundation.heartbeat;
    LinuxWorkspace workspace(paths.applicationDirs);
    LinuxSystemInfoSource systemInfo;
    QtProcessRunner processes;
    CommandMachineControl machine(processes, options.restartCommand.isEmpty() ? CommandMachineControl::defaultCommand()
                                                                              : options.restartCommand);
    RenameExchange bundleSwap;
    LinuxShareMounter shareMounter;
    DBusNotifier notifier(QDBusConnection::sessionBus());
    PosixAccessProbe accessProbe;
    SystemdAgentRelaunch relaunch(env);
    AgentServiceSet services(
        AgentServiceSet::Platform{clock, workspace, systemInfo, processes, machine, &journalRecentLogInvocation,
                                  identity, paths, headless ? nullptr : RemoteMessagePanels::forThisDisplay(),
                                  [] { QApplication::quit(); }, http, bundleSwap, *keychain, shareMounter,
                                  linuxProtectedFolders(), notifier, accessProbe, relaunch,
                                  OwnAgent::locate(workspace, QCoreApplication::applicationFilePath(),
                                                   arguments.mid(1), QStringLiteral(VESK_VERSION))},
        settings, foundation.api);
    FleetClientConsoleFleet consoleFleet(foundation.api);
    ConsoleContext consoleContext{consoleFleet,
                                  defaults,
                                  foundation.locks,
                                  clock,
                                  identity.serialOrUnknown(),
                                  &services.systemMonitor,
                                  &services.policyEngine,
                                  &services.updates,
                                  &services.alerts,
                                  &services.updates,
                                  &services.appDirectory};
    // Settings acts on the running services: an import lands in them, not only in their files.
    PolicyLibraryList policyLibrary(paths.storageDir, &services.policyEngine);
    RunningRetentionRules retentionRules(services.folderRetention);
    RunningShares shares(services.shareMonitor);
    SettingsTransferService settingsTransfer({defaults, *keychain, AgentBundle{}.keychainService(), policyLibrary,
                                              retentionRules, shares, clock, QStringLiteral(VESK_VERSION)});
    consoleContext.pushAlerts = &services.alerts;
    consoleContext.pushChannel = &services.pushChannel;
    consoleContext.alertReporting = &services.alertApi;
    consoleContext.notifier = &notifier;
    consoleContext.permissions = &services.permissions;
    consoleContext.settingsTransfer = &settingsTransfer;
    consoleContext.credentials = &foundation.credentials;
    consoleContext.retention = &services.folderRetention;
    consoleContext.shares = &services.shareMonitor;
    if (options.command == QLatin1String("console"))
        return runConsoleScreenshots(options.screenshotDir, consoleContext, services.systemMonitor);
    // The push channel trusts what the fleet URL's requests trust. VESK_PUSH_CHANNEL=off leaves
    // it closed, polling alone: for networks that cut long-lived connections, and to measure it.
    services.pushChannel.trustCertificates(http.caCertificates());
    VeskWardenServices running = services.services();
    if (env.value(QStringLiteral("VESK_PUSH_CHANNEL")) == QLatin1String("off")) {
        running.pushChannel = nullptr;
        consoleContext.pushChannel = nullptr;
        qCInfo(lcApp) << "Push channel off (VESK_PUSH_CHANNEL=off): commands arrive by polling alone";
    }
    VeskWardenApp app(settings, heartbeatManager, clock, running);

    // Declared after the app so they go first: the menu outlives its tray icon, the model its menu.
    std::unique_ptr<AgentStatusModel> agentStatus;
    std::unique_ptr<AgentMenu> menu;
    std::unique_ptr<TrayMenu> tray;
    std::unique_ptr<ConsoleLauncher> console;
    if (!headless) {
        agentStatus = std::make_unique<AgentStatusModel>(app, heartbeatManager, foundation.secrets, clock);
        menu = std::make_unique<AgentMenu>(app, *agentStatus);
        menu->attachPolicyEngine(services.policyEngine, &foundation.locks);
        menu->attachPermissions(services.permissions);
        console = std::make_unique<ConsoleLauncher>(consoleContext);
        menu->setWindowOpener([&console]() { console->open(); });
        agentStatus->attachAlertService(services.alerts);
        QObject::connect(menu.get(), &AgentMenu::quitRequested, &application, &QApplication::quit);
        if (TrayMenu::isAvailable())
            tray = std::make_unique<TrayMenu>(*menu);
        else
            qCInfo(lcApp) << "No system tray here; running without a menu-bar icon";
        if (!settings.hideWindowAtLaunch())
            menu->openWindow();
    }

    SignalWatcher termination({SIGTERM, SIGINT});
    if (!termination.isActive())
        qCWarning(lcApp) << "Cannot handle SIGTERM/SIGINT; a stop signal ends the agent without a clean shutdown";
    QObject::connect(&termination, &SignalWatcher::received, &application, [&](int signalNumber) {
        qCInfo(lcApp) << "Signal" << signalNumber << "received; stopping services";
        QApplication::quit();
    });

    qCInfo(lcApp).noquote() << "Vesk Warden" << VESK_VERSION << "serial" << identity.serialOrUnknown() << "fleet"
                            << options.fleetUrl;
    services.selfUpdater.removeLeftoverKeptCopy();
    app.launch();
    // A self-update's watcher waits for this version to report started.
    services.selfUpdater.reportStarted();
    const int status = QApplication::exec();
    app.shutdown();
    http.cancelPending();
    qCInfo(lcApp) << "Stopped";
    return status;
}
