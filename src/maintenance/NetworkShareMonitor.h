#pragma once

#include "local/JsonListFile.h"
#include "maintenance/ShareAddress.h"
#include "maintenance/ShareHealth.h"
#include "platform/LoopRun.h"
#include "policy/EnforcementLog.h"
#include "policy/PolicyConsumers.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <optional>

namespace vesk {

class Clock;
class KeychainStore;
class ShareMounter;

// Keeps network shares mounted: every minute (five in low-data mode) each enabled share,
// this machine's own and the policy's, is looked up in the mount table, its mount is read
// with a time limit and its server probed; a missing share is mounted again and a stale one
// released and remounted when the share allows it. Three failed checks in a row raise a
// network alert; one good check clears it. Passwords live only in the keychain, under
// "share-password-<id>". A dead server costs at most the time limits, never the main thread.
class NetworkShareMonitor final : public QObject, public PolicyShareTarget {
    Q_OBJECT
public:
    struct Dependencies {
        Clock &clock;
        ShareMounter &mounter;
        KeychainStore &keychain;
        QString storageDir; // holds monitored_shares.json
        QString serial;
        std::function<bool()> lowDataMode = [] { return false; };
    };

    static constexpr std::chrono::seconds period{60};
    static constexpr std::chrono::seconds lowDataPeriod{300};
    static constexpr std::chrono::milliseconds mountTestLimit{8000};
    static constexpr std::chrono::milliseconds probeLimit{5000};
    static constexpr std::chrono::milliseconds mountLimit{30000};
    static constexpr int alertAfterFailures = 3;
    static inline const QString fileName = QStringLiteral("monitored_shares.json");

    explicit NetworkShareMonitor(Dependencies deps, QObject *parent = nullptr);
    ~NetworkShareMonitor() override;

    void setAlertSink(ShareAlertSink *alerts) { m_alerts = alerts; }

    void start();
    void stop();
    bool isRunning() const { return m_loop.isRunning(); }

    // This machine's list; each change writes monitored_shares.json.
    void addShare(const MonitoredShare &share);
    void updateShare(const MonitoredShare &share);
    // Also deletes the share's keychain password and clears its alert.
    QCoro::Task<> removeShare(QUuid id);
    QCoro::Task<bool> setPassword(QUuid id, QByteArray password);
    // The console's "Mount now": the message for the console when the server is silent.
    QCoro::Task<std::optional<QString>> mountNow(QUuid id);

    void setPolicyShares(const QList<MonitoredShare> &shares) override;

    // One pass over every share of both lists.
    QCoro::Task<> checkAll();
    QCoro::Task<> checkShare(MonitoredShare share);

    const QList<MonitoredShare> &shares() const { return m_shares; }
    const QList<MonitoredShare> &policyShares() const { return m_policyShares; }
    std::optional<ShareHealth> health(const QUuid &id) const;
    const QList<PolicyLogEntry> &log() const { return m_log.entries(); }
    QStringList logMessages() const { return m_log.messages(); }
    std::optional<QDateTime> lastCheck() const { return m_lastCheck; }
    bool isChecking() const { return m_isChecking; }
    bool hasOpenAlert(const QUuid &id) const { return m_alerted.contains(id); }

    static QString passwordService(const QUuid &id);

signals:
    void changed();

private:
    QCoro::Task<> mount(MonitoredShare share, ShareAddress address);
    void setStatus(const MonitoredShare &share, ShareStatus status, const QString &detail,
                   std::optional<QString> mountPoint = std::nullopt);
    void recordFailure(const MonitoredShare &share, ShareStatus status, const QString &detail);
    void markMounted(const MonitoredShare &share, std::optional<QString> mountPoint);
    void clearAlert(const MonitoredShare &share);
    void appendLog(const QString &message);
    void save();
    std::optional<MonitoredShare> find(const QUuid &id) const;

    Clock &m_clock;
    ShareMounter &m_mounter;
    KeychainStore &m_keychain;
    JsonListFile<MonitoredShare> m_file;
    // The last save failed (a full disk, say); the loop saves again on its next turn.
    bool m_unsaved = false;
    QString m_serial;
    std::function<bool()> m_lowDataMode;
    ShareAlertSink *m_alerts = nullptr;

    QList<MonitoredShare> m_shares;
    QList<MonitoredShare> m_policyShares;
    QHash<QUuid, ShareHealth> m_health;
    EnforcementLog m_log;
    std::optional<QDateTime> m_lastCheck;
    bool m_isChecking = false;
    QSet<QUuid> m_alerted;
    LoopRun m_loop;
};

} // namespace vesk
