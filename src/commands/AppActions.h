#pragma once

#include "commands/CommandResult.h"
#include "platform/StopToken.h"

#include <QString>

#include <optional>

#include <qcoro/qcorotask.h>

namespace vesk {

class Clock;
class Workspace;

// Quitting, launching and restarting applications by bundle identifier. A copy works on
// the same workspace and clock, and the coroutines keep their own copy, so they may
// outlive the object that started them.
class AppActions {
public:
    AppActions(Workspace &workspace, Clock &clock) : m_workspace(&workspace), m_clock(&clock) {}

    // Asks the first running app with this identifier to quit (not forced). True when
    // one was asked, whatever it then does.
    bool quitApp(const QString &bundleId) const;
    // Opens the installed app with this identifier; false when none is installed or it
    // could not start.
    QCoro::Task<bool> launchApp(QString bundleId) const;
    // Quit, wait 2 s, launch; an app that is not running is launched at once. An app whose
    // process outlives the wait (it ignores the request) was not restarted: launching would
    // only find it still running.
    // "Restarted <id>" or "Failed to restart: <id>".
    QCoro::Task<CommandResult> restartApp(QString bundleId, StopToken token) const;

private:
    // The pid asked to quit, none when no app with this identifier runs.
    std::optional<qint32> askToQuit(const QString &bundleId) const;
    bool isStillRunning(qint32 pid, const QString &bundleId) const;

    Workspace *m_workspace;
    Clock *m_clock;
};

} // namespace vesk
