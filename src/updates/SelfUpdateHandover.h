#pragma once

#include "platform/AgentRelaunch.h"

#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

namespace vesk {

class BundleSwap;
class Clock;
class Workspace;

// The second half of the agent's self-update, run by the hand-over watcher, a process apart
// from the agent. By the time it starts, the agent has swapped the new bundle in and keeps
// the replaced one next to it. The watcher waits for the old agent to go (or restarts its
// unit), starts the new one and waits for it to report started; a new agent that exits, or
// stays silent past the bound, is stopped and the kept bundle is swapped back and started.
class SelfUpdateHandover {
public:
    // Written by the old agent before the swap: the version that must report started.
    static inline const QString pendingFile = QStringLiteral("self-update-pending");
    // Written by the new agent once it runs: its version.
    static inline const QString startedFile = QStringLiteral("self-update-started");
    // Written by the watcher after a rollback: the version that did not start, which the agent
    // then leaves alone (retrying it would restart the agent over and over).
    static inline const QString failedFile = QStringLiteral("self-update-failed");

    struct Plan {
        qint32 oldPid = 0;
        QString bundle;     // the installed bundle's path, holding the new version now
        QString keptName;   // the replaced bundle, in the same folder
        QString version;    // the version being installed
        QString stateDir;   // where the pending and started markers live
        QString staging;    // the download's folder, removed at the end
        std::chrono::seconds bound{60};
        AgentStart start;

        QString keptPath() const;
        QStringList toArguments() const;
        // None when an argument is missing or malformed.
        static std::optional<Plan> fromArguments(const QStringList &arguments);
    };

    struct Outcome {
        bool started = false; // the new version runs; else the previous one is back (or could not be)
        QString text;
    };

    // How often the watcher looks at the new agent and the markers.
    static constexpr std::chrono::milliseconds pollInterval{100};

    SelfUpdateHandover(AgentRelaunch &relaunch, BundleSwap &swap, const Workspace &workspace, Clock &clock)
        : m_relaunch(relaunch), m_swap(swap), m_workspace(workspace), m_clock(clock) {}

    QCoro::Task<Outcome> run(Plan plan);

    // The markers, written atomically; a reader sees a whole version or nothing.
    static bool writeMarker(const QString &stateDir, const QString &name, const QString &version);
    static std::optional<QString> readMarker(const QString &stateDir, const QString &name);
    // Removes the pending and started markers; the failed one stays.
    static void clearMarkers(const QString &stateDir);

    // Puts the kept bundle back at the bundle's path and deletes the new one; none on success.
    static std::optional<QString> putKeptBack(BundleSwap &swap, const Workspace &workspace, const QString &bundle,
                                              const QString &keptName);

private:
    QCoro::Task<bool> waitUntilGone(qint32 pid, std::chrono::seconds bound);
    // None once the new agent reported started, else why it did not.
    QCoro::Task<std::optional<QString>> waitForStart(const Plan &plan, qint32 pid);

    AgentRelaunch &m_relaunch;
    BundleSwap &m_swap;
    const Workspace &m_workspace;
    Clock &m_clock;
};

} // namespace vesk
