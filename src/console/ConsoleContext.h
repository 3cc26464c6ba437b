#pragma once

#include <QString>

namespace vesk {

class AlertService;
class AppLock;
class Clock;
class ConsoleFleet;
class DefaultsStore;
class FleetAppDirectory;
class PolicyEngine;
class SystemMonitor;
class UpdateCommands;
class UpdateService;

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
};

} // namespace vesk
