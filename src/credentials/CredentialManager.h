#pragma once

#include "credentials/CredentialScanLocation.h"
#include "credentials/CredentialSchedule.h"
#include "credentials/CredentialSet.h"
#include "credentials/CredentialStore.h"
#include "credentials/TestResult.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/HttpTransport.h"
#include "platform/PlatformPaths.h"

#include <QObject>
#include <QTimeZone>
#include <QUrl>

#include <functional>
#include <optional>

namespace vesk {

// The upload-credential sets of this Mac: imported from credential files the operator
// drops on it, kept with their seasons in the user defaults, and the one set current
// on a given day, whose account is the tenant code and whose location is the event code.
class CredentialManager : public QObject {
    Q_OBJECT
public:
    using Logger = std::function<void(const QString &line)>;
    using AuditLogger = std::function<void(const QString &event, const QString &text)>;
    // The Desktop folder, or nullopt when the agent has no access to it.
    using DesktopProvider = std::function<std::optional<QString>()>;

    static inline const QString defaultKeyPrefix = QStringLiteral("lumora_credentials_");

    // Loads the stored lists at once. Seasons are evaluated in the clock's time zone until
    // setLocationTimezone says otherwise; the Desktop comes from `paths` until a provider is set.
    CredentialManager(DefaultsStore &defaults, Clock &clock, HttpTransport &transport, PlatformPaths paths,
                      QUrl uploadTestUrl, QObject *parent = nullptr);

    const QList<CredentialSet> &currentSets() const { return m_sets; }
    const QList<CredentialSchedule> &schedules() const { return m_schedules; }
    const QString &selectedPipeline() const { return m_selectedPipeline; }
    const QMap<QString, QString> &pipelineSelections() const { return m_pipelineSelections; }
    const QMap<QString, QDateTime> &importTimestamps() const { return m_importTimestamps; }
    QString keyPrefix() const { return m_store.keyPrefix(); }

    QTimeZone locationTimezone() const { return m_locationTimezone; }
    void setLocationTimezone(const QTimeZone &zone) { m_locationTimezone = zone; }
    // Without a logger, lines go to the "credentials" log category; likewise audit events.
    void setLogger(Logger logger) { m_logger = std::move(logger); }
    void setAuditLogger(AuditLogger auditLogger) { m_auditLogger = std::move(auditLogger); }
    void setDesktopURLProvider(DesktopProvider provider) { m_desktopURLProvider = std::move(provider); }
    // Runs after every scan that was given a Desktop folder, to release access to it.
    void setDesktopURLCleanup(std::function<void()> cleanup) { m_desktopURLCleanup = std::move(cleanup); }
    const QList<CredentialScanLocation> &additionalScanLocations() const { return m_additionalScanLocations; }
    void setAdditionalScanLocations(QList<CredentialScanLocation> locations)
    {
        m_additionalScanLocations = std::move(locations);
    }

    // One pass over the Desktop, Documents, Documents/Credentials, the shared vendor folder
    // (recursively) and the additional locations; merges what it reads and saves. Never fails.
    void scanForCredentials();

    // The set current at `at`, or nullopt when there are no sets.
    std::optional<CredentialSet> currentCredentialSet(const QDateTime &at) const;
    std::optional<CredentialSet> currentCredentialSet() const { return currentCredentialSet(m_clock.now()); }

    // Edits from the sets tab. A set needs a name not yet taken (add) or already present
    // (update), and accounts that pass the account rule; false when refused.
    bool addSet(const CredentialSet &set);
    bool updateSet(const CredentialSet &set);
    // Removes the set with its seasons; false when there is no such set.
    bool deleteSet(const QString &name);

    // Gives the season a fresh id when it has none.
    void addSchedule(CredentialSchedule schedule);
    bool deleteSchedule(const QUuid &id);

    // Chooses the pipeline whose pair the set stands for; false for an unknown set or pipeline.
    bool setPipeline(const QString &setName, const QString &pipeline);

    // Sends the account/location pair to the upload service's test URL. `setName` only
    // labels the audit event.
    QCoro::Task<TestResult> testConnection(QString account, QString location, QString setName = {});

signals:
    void currentSetsChanged();
    void schedulesChanged();
    void selectedPipelineChanged();

private:
    struct ReadSet {
        QString path;
        CredentialSet set;
    };
    QList<ReadSet> readLocations(const QDateTime &now);
    void merge(const QList<ReadSet> &read, const QDateTime &now);
    int indexOfSet(const QString &name) const;
    bool hasValidAccounts(const CredentialSet &set) const;
    void log(const QString &line) const;
    void audit(const QString &event, const QString &text) const;

    CredentialStore m_store;
    Clock &m_clock;
    HttpTransport &m_transport;
    PlatformPaths m_paths;
    QUrl m_uploadTestUrl;

    QList<CredentialSet> m_sets;
    QList<CredentialSchedule> m_schedules;
    QString m_selectedPipeline;
    QMap<QString, QString> m_pipelineSelections;
    QMap<QString, QDateTime> m_importTimestamps;

    QTimeZone m_locationTimezone;
    Logger m_logger;
    AuditLogger m_auditLogger;
    DesktopProvider m_desktopURLProvider;
    std::function<void()> m_desktopURLCleanup;
    QList<CredentialScanLocation> m_additionalScanLocations;
    bool m_scannerStarted = false;
};

} // namespace vesk
