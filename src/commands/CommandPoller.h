#pragma once

#include "commands/CommandHandlers.h"
#include "commands/CommandResult.h"
#include "commands/RecentCommands.h"
#include "commands/ResultReporter.h"
#include "commands/ScheduledWork.h"
#include "wire/FleetCommand.h"
#include "platform/ProcessRunner.h"
#include "platform/StopToken.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>
#include <optional>

namespace vesk {

class Clock;
class FleetCommandChannel;
class FleetSettingsStore;
class MachineControl;
class MessageCommands;
class PayloadCommands;
class PostCommandReports;
class UpdateCommands;
class Workspace;

// Fetches the commands the fleet queued for this machine, checks each against the
// machine's switches, runs them one after another and reports a result for each. A
// second, slower loop runs the timed work: the weekly restart set on this machine,
// scheduled updates and deferred restarts.
//
// A command id that already ran (the server hands a command out again when its result
// was lost) is not run again: its stored result is sent once more instead.
//
// Both loops hold the poller weakly, sleep on the injected clock and end on stop().
// Nothing stops a loop: a failed poll, report or command is logged and the loop goes on.
class CommandPoller : public QObject {
    Q_OBJECT
public:
    // Every reference must outlive the poller.
    struct Dependencies {
        FleetCommandChannel &fleet;
        FleetSettingsStore &settings;
        Clock &clock;
        Workspace &workspace;
        MachineControl &machine;
        ProcessRunner &processes;
        RecentLogQuery recentLogs;
        AppLogUpload uploadLog;
        PostCommandReports &reports;
        PayloadCommands &payloads;
        MessageCommands &messages;
        // Called (queued on the event loop) once a restart the machine accepted was reported.
        std::function<void()> quitAgent = {};
        // How result texts write dates for people.
        QLocale locale = QLocale(QLocale::English, QLocale::UnitedStates); // result texts are English
        // Where the ids of recently run commands are kept (see RecentCommands).
        QString storageDir = {};
    };

    static constexpr std::chrono::seconds pollInterval{30};
    static constexpr std::chrono::seconds lowDataPollInterval{120};
    // While a push channel announces queued commands, polling is only the safety net.
    static constexpr std::chrono::seconds pushConnectedPollInterval{300};
    // In low-data mode the safety net is wider still: every poll is some 500 bytes of headers.
    static constexpr std::chrono::seconds lowDataPushConnectedPollInterval{900};
    static constexpr std::chrono::seconds scheduledWorkInterval{30};
    static constexpr std::chrono::seconds postCommandReportDelay{1};

    explicit CommandPoller(Dependencies deps, QObject *parent = nullptr);
    ~CommandPoller() override;

    // The update service, once it exists; null detaches it.
    void setUpdateCommands(UpdateCommands *updates);

    // Puts a persisted admin message back on screen and starts both loops; the first poll
    // is at once, the first timed pass after 30 s. Does nothing while running.
    void start();
    // Ends both loops. A command already running finishes and is reported.
    void stop();

    // One poll: fetch, then run and report each command in the order received. A call while
    // a poll is running (a push, the console) makes that poll fetch once more when it is done,
    // so commands never run side by side.
    QCoro::Task<> pollOnce();
    // One pass of the timed work.
    QCoro::Task<> runScheduledWork();

    std::optional<QDateTime> lastPoll() const { return m_lastPoll; }
    std::optional<QString> lastCommand() const { return m_lastCommand; }
    bool isPolling() const { return m_isPolling; }
    // The push channel opened or dropped; the loop relaxes or returns to its period.
    void setPushConnected(bool connected) { m_pushConnected = connected; }

signals:
    void stateChanged();

private:
    // Runs one command through the switches and its handler, reports it, and follows a
    // successful app command with fresh reports. An accepted restart quits the agent once
    // its result went out.
    QCoro::Task<CommandResult> execute(FleetCommand command, StopToken token);
    // For a command id that already ran: its stored result again, or a failure when the
    // agent stopped before it finished.
    QCoro::Task<> answerAgain(qint64 id);
    QCoro::Task<> pollRound();
    void markPolled();

    static QCoro::Task<> pollLoop(QPointer<CommandPoller> self, Clock &clock, StopToken token);
    static QCoro::Task<> scheduledLoop(QPointer<CommandPoller> self, Clock &clock, StopToken token);
    static QCoro::Task<> sendPostCommandReports(PostCommandReports &reports);

    FleetCommandChannel &m_fleet;
    FleetSettingsStore &m_settings;
    Clock &m_clock;
    PostCommandReports &m_reports;
    MessageCommands &m_messages;
    ComputerRestart m_restart;
    ResultReporter m_reporter;
    // Shared with running commands, which may outlive the poller.
    std::shared_ptr<RecentCommands> m_recent;
    CommandHandlers m_handlers;
    ScheduledWork m_scheduledWork;

    std::optional<QDateTime> m_lastPoll;
    std::optional<QString> m_lastCommand;
    bool m_isPolling = false;
    bool m_running = false;
    bool m_pollInFlight = false;
    bool m_pollRequested = false;
    bool m_pushConnected = false;
    StopSource m_stop;
};

} // namespace vesk
