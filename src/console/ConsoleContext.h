#pragma once

#include <QString>

namespace vesk {

class AlertService;
class AppLock;
class Clock;
class ConsoleFleet;
class DefaultsStore;
class FolderRetentionService;
class Notifier;
class NetworkShareMonitor;
class FleetAppDirectory;
class PolicyEngine;
class SystemMonitor;
class UpdateCommands;
class UpdateService;

class AlertReportingApi;
class CredentialManager;
class PushChannel;
class SettingsTransferService;
class SystemPermissions;

// What the console window reads and calls. The services outlive the window; any of them may
// be missing (a test, a screenshot run), and its part of the screens then shows nothing.
struct ConsoleContext {
    ConsoleFleet &fleet;
    DefaultsStore &defaults;
    AppLock &lock;
    Clock &clock;
    QString thisSerial;
    const SystemMonitor *monitor = nullptr;
    const PolicyEngine *policy = nullptr;
    const UpdateService *updates = nullptr;
    const AlertService *alerts = nullptr;
    UpdateCommands *updateCommands = nullptr; // the update service's install and refresh
    FleetAppDirectory *appDirectory = nullptr;
    // Settings: the push registration, its status check and test push, the permission check, settings export
    // and import, the upload credentials and their connection test.
    AlertService *pushAlerts = nullptr;
    PushChannel *pushChannel = nullptr;
    AlertReportingApi *alertReporting = nullptr;
    Notifier *notifier = nullptr;
    SystemPermissions *permissions = nullptr;
    SettingsTransferService *settingsTransfer = nullptr;
    CredentialManager *credentials = nullptr;
    FolderRetentionService *retention = nullptr;
    NetworkShareMonitor *shares = nullptr;
};

} // namespace vesk
