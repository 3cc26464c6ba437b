#pragma once

#include "alerts/AlertOutbox.h"
#include "alerts/AlertThresholds.h"
#include "alerts/WardenAlert.h"
#include "monitor/AppSnapshot.h"
#include "monitor/SystemSnapshot.h"
#include "platform/StopToken.h"
#include "wire/FleetMachine.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>
#include <optional>

namespace vesk {

class AlertReportingApi;
class Clock;
class FleetSettingsStore;
class Notifier;
class SystemMonitor;

// One health sample to judge: the machine and its running family apps.
struct HealthSample {
    SystemSnapshot snapshot;
    QList<AppSnapshot> apps;
};

// Turns the machine's health figures into alerts: every 30 seconds (300 in low-data mode) it
// judges the monitor's latest sample against the thresholds, keeps the alerts that hold now
// and a history of the last 50, and notifies the desktop at most once per 300 seconds per
// alert key. The fleet server hears of a health condition when it starts, at once when its
// severity changes, and while it holds unchanged again only every repostSeconds (every
// lowDataRepostSeconds in low-data mode): its clearing is reported, so the server knows it is
// still active without a report every window. A health condition becomes an alert only
// after the configured number of samples in a row, and when a reported one no longer holds
// its clearing is reported too. Reports that cannot reach the server wait in the outbox and
// go out in order, each once, when it answers again. Other services raise and clear alerts
// of their own through it; the console hands it the fleet's machine list for offline alerts.
class AlertService final : public QObject {
    Q_OBJECT
public:
    using HealthSource = std::function<HealthSample()>;

    struct Dependencies {
        FleetSettingsStore &settings;
        AlertReportingApi &api;
        Notifier &notifier;
        Clock &clock;
        QString serial; // this machine's
        // What the push registration names as the token's platform.
        QString pushPlatform = QStringLiteral("macos");
        // The outbox file (in the storage folder); empty keeps the outbox in memory.
        QString outboxFile = {};
    };

    static constexpr int historyLimit = 50;
    static constexpr qint64 repostSeconds = 3600;
    static constexpr qint64 lowDataRepostSeconds = 6 * 3600;

    explicit AlertService(Dependencies deps, QObject *parent = nullptr);
    ~AlertService() override;

    // Starts the evaluation loop unless one runs; the first evaluation comes one interval later.
    void start(SystemMonitor &monitor);
    void start(HealthSource source);
    void stop();
    bool isRunning() const { return m_loopStop.has_value(); }

    void evaluate(const HealthSample &sample);
    // Adds an alert made elsewhere, unless one with its category and title is active.
    void raise(const WardenAlert &alert);
    // Removes every active alert with this category and exactly this title.
    void clear(AlertCategory category, const QString &title);

    // Offline alerts for the console's machine list; a machine counts as silent once its last
    // contact lies more than `thresholdHours` back, critical beyond six times that.
    void checkOfflineMachines(const QList<FleetMachine> &machines, double thresholdHours);

    // A push from the fleet server about another machine's alert ({"type": "alert", "serial",
    // "severity", "category", "title", "message"}; the server sends them to Agent Mode
    // machines): a desktop notification, unless it is this machine's own or Agent Mode is off.
    // Other payloads are ignored.
    void presentFleetAlert(const QJsonObject &payload);

    // Set from outside when the push channel hands out its device token.
    void setCachedPushToken(const QString &hexToken);
    const std::optional<QString> &cachedPushToken() const { return m_cachedPushToken; }
    // Registers the cached token with the fleet server when the machine is paired.
    QCoro::Task<> registerPushToken();
    bool pushTokenRegistered() const { return m_pushTokenRegistered; }
    void setPushTokenRegistered(bool registered);

    const QList<WardenAlert> &activeAlerts() const { return m_activeAlerts; }
    const QList<WardenAlert> &alertHistory() const { return m_alertHistory; }
    const AlertThresholds &thresholds() const { return m_thresholds; }
    const QHash<QString, QString> &serialLocationCodes() const { return m_serialLocationCodes; }
    const AlertOutbox &outbox() const { return m_outbox; }

signals:
    // The active list or the history changed.
    void alertsChanged();
    void pushTokenRegisteredChanged(bool registered);

private:
    static QCoro::Task<> evaluationLoop(QPointer<AlertService> self, HealthSource source, StopToken token);
    void readThresholds();
    // The sampled alerts whose condition has held long enough; reports the clearing of
    // reported conditions that no longer hold.
    QList<WardenAlert> confirmedAlerts(const QList<WardenAlert> &sampled);
    void processNewAlerts(const QList<WardenAlert> &alerts);
    void record(const WardenAlert &alert);
    bool shouldNotify(const WardenAlert &alert) const;
    bool shouldNotifyOffline(const QString &serial);
    void postLocalNotification(const WardenAlert &alert);
    void postOfflineSummary(const QStringList &names, qsizetype critical);
    void pruneSuppressionsAndRules();
    void reportAlert(const WardenAlert &alert, const QString &failurePrefix);
    void reportResolved(const WardenAlert &alert);
    void send(AlertReport report, const QString &failurePrefix);
    static QCoro::Task<> deliverOutbox(QPointer<AlertService> self, QString failurePrefix);

    FleetSettingsStore &m_settings;
    AlertReportingApi &m_api;
    Notifier &m_notifier;
    Clock &m_clock;
    QString m_serial;
    QString m_pushPlatform;

    QList<WardenAlert> m_activeAlerts;
    QList<WardenAlert> m_alertHistory;
    std::optional<QString> m_cachedPushToken;
    bool m_pushTokenRegistered = false;
    std::optional<StopSource> m_loopStop;
    QHash<QString, QDateTime> m_lastReported;
    QHash<QString, QDateTime> m_lastOfflineNotified;
    QHash<QString, QString> m_serialLocationCodes;
    AlertThresholds m_thresholds;
    QStringList m_invalidThresholdKeys;
    // Condition (see conditionKey) to the samples in a row it has held, and to the alert
    // last reported for it while it holds.
    QHash<QString, int> m_streaks;
    QHash<QString, WardenAlert> m_holding;
    // Condition to the severity and time of its last report to the server.
    struct Posted {
        AlertSeverity severity;
        QDateTime at;
    };
    QHash<QString, Posted> m_lastPosted;
    AlertOutbox m_outbox;
    bool m_delivering = false;
};

} // namespace vesk
