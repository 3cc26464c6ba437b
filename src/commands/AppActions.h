#pragma once

#include "commands/CommandResult.h"
#include "platform/StopToken.h"
#include "platform/WorkspaceTypes.h"

#include <QList>
#include <QString>

#include <chrono>
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
    // How long an app asked to quit has to save and exit before it is ended.
    static constexpr std::chrono::seconds quitTimeout{10};
    // How long an ended app's process may take to go.
    static constexpr std::chrono::seconds endTimeout{5};
    // How long after the launch the new process has to show up among the running apps.
    static constexpr std::chrono::seconds appearTimeout{5};

    AppActions(Workspace &workspace, Clock &clock) : m_workspace(&workspace), m_clock(&clock) {}

    // Asks the first running app with this identifier to quit (not forced). True when
    // one was asked, whatever it then does.
    bool quitApp(const QString &bundleId) const;
    // Opens the installed app with this identifier; false when none is installed or it
    // could not start.
    QCoro::Task<bool> launchApp(QString bundleId) const;
    // Asks every process of the app to quit and watches them exit for up to quitTimeout,
    // ends those still there, then launches the app; an app that is not running is launched
    // at once. A stop (the poller stopping) cuts the waits short but not the restart: an app
    // left closed is worse than one ended early.
    // "Restarted <id>" only once a process of the bundle runs that is none of the old ones,
    // else "Failed to restart: <id> (<why>)".
    QCoro::Task<CommandResult> restartApp(QString bundleId, StopToken token) const;
    // The same restart, answering none once the app runs again, else why it does not
    // ("not installed", "launch failed: …", …).
    QCoro::Task<std::optional<QString>> relaunch(QString bundleId, StopToken token) const;

private:
    // Every process the workspace lists for this identifier, ended ones included.
    QList<qint32> processesOf(const QString &bundleId) const;
    // Those of `pids` still running as this app.
    QList<qint32> stillRunning(const QList<qint32> &pids, const QString &bundleId) const;
    // Waits until every one of `pids` has ended, `timeout` passed or `token` stopped; answers
    // those still running.
    QCoro::Task<QList<qint32>> awaitExit(QString bundleId, QList<qint32> pids, std::chrono::milliseconds timeout,
                                         StopToken token) const;
    // A running process of the app that is none of `old`, looked for until appearTimeout.
    QCoro::Task<std::optional<qint32>> awaitNewProcess(QString bundleId, QList<qint32> old, StopToken token) const;
    // Opens the installed app; none when it started, else why not.
    // Launches the bundle; the outcome's error reads as a restart's reason when it fails.
    QCoro::Task<LaunchOutcome> open(QString bundleId) const;
    // False once `pid` has ended.
    QCoro::Task<bool> stillAlive(qint32 pid) const;

    Workspace *m_workspace;
    Clock *m_clock;
};

} // namespace vesk
