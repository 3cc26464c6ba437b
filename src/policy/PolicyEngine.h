#pragma once

#include "commands/ComputerRestart.h"
#include "monitor/AppSnapshot.h"
#include "platform/LoopRun.h"
#include "policy/EnforcementLog.h"
#include "policy/PolicyFiles.h"
#include "wire/policy/DevicePolicy.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QLocale>
#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <optional>

namespace vesk {

class AutomaticUpdateRunner;
class Clock;
class FleetAPIClient;
class FleetSettingsStore;
class PolicyRetentionTarget;
class PolicyShareTarget;
class Workspace;

// The single owner of this machine's device policy. It chooses the policy in force from
// the local library or the cache, keeps it current from the fleet server, hands its
// cleanup rules and shares to their services, and runs the enforcement pass every 10 s
// (120 s in low-data mode): keep-alive, the scheduled machine restart, automatic updates,
// app restarts; after a pass it asks for the policy when syncPeriod has passed since the last
// ask. Every action lands in the enforcement log; sync results go to the
// "policy" log category only. Lives on the main thread; its loop and timers hold it
// weakly and end on stop() or destruction.
class PolicyEngine final : public QObject {
    Q_OBJECT
public:
    struct Dependencies {
        FleetAPIClient &api;
        FleetSettingsStore &settings;
        Workspace &workspace;
        Clock &clock;
        ComputerRestart machineRestart;
        QString storageDir;
        QString serial;                  // this machine's, read once at start-up
        QLocale locale = QLocale::system(); // writes scheduled times in log lines
    };
    using AppSamples = std::function<QList<AppSnapshot>()>;

    static constexpr std::chrono::seconds period{10};
    static constexpr std::chrono::seconds lowDataPeriod{120};
    // The policy is asked for at most this often: an assignment reaches the machine within
    // minutes, and an unchanged answer (headers only) no longer costs over 100 MB a month.
    static constexpr std::chrono::seconds syncPeriod{300};
    static constexpr std::chrono::seconds lowDataSyncPeriod{1800};
    static constexpr int defaultRestartWarningSeconds = 120;

    explicit PolicyEngine(Dependencies deps, QObject *parent = nullptr);
    ~PolicyEngine() override;

    // Services that take parts of the policy; null detaches. Each gets the policy in force at once.
    void attachFolderRetention(PolicyRetentionTarget *target);
    void attachShareMonitor(PolicyShareTarget *target);
    void attachUpdateService(AutomaticUpdateRunner *updates);
    // The system monitor's current app samples, for hung, memory and uptime checks.
    void attachAppSamples(AppSamples samples);

    // Loads the policy from the local files and starts the loop; does nothing while it runs.
    void start();
    // Ends the loop. A pending machine restart and a timed pause keep their own timers.
    void stop();
    bool isRunning() const { return m_loop.isRunning(); }

    // The first policy of the library naming this serial, else the cache, else none.
    void loadInitialPolicy();
    // Writes the library; false when it could not be written.
    bool savePolicies(const QList<DevicePolicy> &policies);
    // One request for this machine's policy; puts a returned policy in force. Asks with the
    // last answer's ETag, so an unchanged policy costs headers only.
    QCoro::Task<> syncPolicy();
    // One enforcement pass with the policy in force; nothing while paused.
    QCoro::Task<> enforce();
    void applyPolicyToServices();
    void appendLog(const QString &message);

    // Pauses every enforcement step: for `minutes`, or until resumed when none.
    void pauseEnforcement(std::optional<int> minutes);
    void resumeEnforcement();
    // "14m", "1h 29m"; none while not paused or paused without an end.
    std::optional<QString> pauseRemainingText() const;
    // The durations the menu and console offer, from "pauseDurationsMinutes".
    QList<int> pauseDurations() const;

    const std::optional<DevicePolicy> &activePolicy() const { return m_activePolicy; }
    std::optional<QDateTime> lastCheck() const { return m_lastCheck; }
    std::optional<QDateTime> lastSync() const { return m_lastSync; }
    const QList<PolicyLogEntry> &log() const { return m_log.entries(); }
    QStringList logMessages() const { return m_log.messages(); }
    bool isPaused() const { return m_isPaused; }
    std::optional<QDateTime> pauseResumeAt() const { return m_pauseResumeAt; }
    std::optional<QDateTime> pendingRestartAt() const { return m_pendingRestartAt; }
    int restartWarningSeconds() const { return m_restartWarningSeconds; }
    void setRestartWarningSeconds(int seconds) { m_restartWarningSeconds = seconds; }
    const PolicyFiles &files() const { return m_files; }

signals:
    // Any of the state above changed.
    void changed();

private:
    // False when the policy is in force but its cache could not be written.
    bool putInForce(DevicePolicy policy);

    // Keep-alive and app restart rules.
    // Returns the running apps it looked at, when it launched nothing: the restart step can
    // use the same look unless something in between may have started or ended an app.
    QCoro::Task<std::optional<QSet<QString>>> enforceKeepAlive(QList<KeepAliveRule> rules, int hour, int minute,
                                                               int weekday);
    QCoro::Task<> launchForKeepAlive(QString bundleId, QString ruleName);
    QCoro::Task<> enforceAppRestartRules(QList<AppRestartRule> rules, std::optional<QSet<QString>> running);
    QCoro::Task<> restartApp(QString bundleId, QString reason);

    // Scheduled machine restart.
    void checkRestartSchedule(const RestartSchedule &schedule, int hour, int minute, int weekday);
    static QCoro::Task<> restartCountdown(QPointer<PolicyEngine> self, Clock &clock, int seconds, StopToken token);
    static QCoro::Task<> runMachineRestart(QPointer<PolicyEngine> self, ComputerRestart restart);
    static QCoro::Task<> resumeTimer(QPointer<PolicyEngine> self, Clock &clock, int minutes, StopToken token);
    // Enforces the policy in force, then asks the server for it when a sync is due.
    QCoro::Task<> loopPass();

    FleetAPIClient &m_api;
    FleetSettingsStore &m_settings;
    Workspace &m_workspace;
    Clock &m_clock;
    ComputerRestart m_machineRestart;
    PolicyFiles m_files;
    QString m_serial;
    QLocale m_locale;

    std::optional<DevicePolicy> m_activePolicy;
    // The ETag of the server's last policy answer that was acted on; a 304 to it means unchanged.
    QByteArray m_policyETag;
    std::optional<QDateTime> m_lastCheck;
    std::optional<QDateTime> m_lastSync;
    std::optional<QDateTime> m_lastSyncAttempt;
    EnforcementLog m_log;
    bool m_isPaused = false;
    std::optional<QDateTime> m_pauseResumeAt;
    std::optional<QDateTime> m_pendingRestartAt;
    int m_restartWarningSeconds = defaultRestartWarningSeconds;
    QHash<QString, QDateTime> m_lastAppRestarts;

    PolicyRetentionTarget *m_folderRetention = nullptr;
    PolicyShareTarget *m_shareMonitor = nullptr;
    AutomaticUpdateRunner *m_updateService = nullptr;
    AppSamples m_appSamples;

    LoopRun m_loop;
    std::optional<StopSource> m_restartWarningStop;
    std::optional<StopSource> m_resumeStop;
};

} // namespace vesk
