#pragma once

#include "settings/AlertSuppression.h"
#include "settings/LocationNotificationRule.h"
#include "wire/RemoteMessage.h"
#include "settings/ScheduledDeviceAction.h"

#include <QLatin1String>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace vesk {

class Clock;
class DefaultsStore;

// Where installed applications are looked for.
enum class UpdateSearchScope {
    applicationsFolder,
    entireMachine,
};

namespace UpdateSearchScopes {
QString rawValue(UpdateSearchScope scope);
std::optional<UpdateSearchScope> fromRawValue(const QString &raw);
} // namespace UpdateSearchScopes

// The user-defaults keys of the fleet settings. The console binds its toggles to the
// same keys, so both sides see each other's writes at once.
namespace FleetSettingsKeys {
inline constexpr QLatin1String fleetReportingEnabled("fleetReportingEnabled");
inline constexpr QLatin1String systemHealthReporting("systemHealthReporting");
inline constexpr QLatin1String appStateReporting("appStateReporting");
inline constexpr QLatin1String appManagementEnabled("appManagementEnabled");
inline constexpr QLatin1String foregroundAppReporting("foregroundAppReporting");
inline constexpr QLatin1String sensitiveTelemetryEnabled("sensitiveTelemetryEnabled");
inline constexpr QLatin1String remoteCommandsEnabled("remoteCommandsEnabled");
inline constexpr QLatin1String autoStartServices("warden_autoStartServices");
inline constexpr QLatin1String autoRestartServices("warden_autoRestartServices");
inline constexpr QLatin1String updateSearchScope("updateSearchScope");
inline constexpr QLatin1String suppressedSerials("warden_suppressedSerials");
inline constexpr QLatin1String locationNotificationRules("warden_locationNotificationRules");
inline constexpr QLatin1String scheduledActions("warden_scheduledActions");
inline constexpr QLatin1String activeRemoteMessage("warden_activeRemoteMessage");
inline constexpr QLatin1String hideWindowAtLaunch("warden_hideWindowAtLaunch");
inline constexpr QLatin1String agentMode("agentMode");
inline constexpr QLatin1String tenantCode("warden_photographer");
inline constexpr QLatin1String lowDataMode("lowDataMode");
} // namespace FleetSettingsKeys

// The agent's persisted fleet switches and its four small persisted lists, all in the
// application's user-defaults domain. Main thread only. Nothing here fails visibly:
// data that does not decode reads as empty, and a value that cannot be encoded leaves
// the stored one in place.
class FleetSettingsStore {
public:
    FleetSettingsStore(DefaultsStore &defaults, Clock &clock);


    DefaultsStore &defaults() const { return m_defaults; }

    // The seven fleet switches as registration defaults (never written to disk).
    void registerFleetDefaults();

    bool fleetReportingEnabled() const;
    bool systemHealthReporting() const;
    bool appStateReporting() const;
    bool appManagementEnabled() const;
    bool foregroundAppReporting() const;
    bool sensitiveTelemetryEnabled() const;
    bool remoteCommandsEnabled() const;

    // True while the key holds nothing; an explicit false is honoured.
    bool autoStartServices() const;
    bool autoRestartServices() const;
    // entireMachine unless the key holds "applicationsFolder".
    UpdateSearchScope updateSearchScope() const;

    // Also converts the older list of bare serials, writing the new form back.
    QList<AlertSuppression> suppressedSerials();
    void setSuppressedSerials(const QList<AlertSuppression> &suppressions);

    QList<LocationNotificationRule> locationNotificationRules() const;
    void setLocationNotificationRules(const QList<LocationNotificationRule> &rules);
    // Replaces the rule of the rule's location; a rule that neither mutes now nor
    // disables a category just removes the location's entry.
    void upsertLocationRule(const LocationNotificationRule &rule);

    QList<ScheduledDeviceAction> scheduledActions() const;
    void setScheduledActions(const QList<ScheduledDeviceAction> &actions);
    void removeScheduledAction(const QUuid &id);

    std::optional<RemoteMessage> activeRemoteMessage() const;
    // None removes the key.
    void setActiveRemoteMessage(const std::optional<RemoteMessage> &message);

    // Keys the start-up code and the loops read directly; false when absent.
    bool hideWindowAtLaunch() const;
    bool agentMode() const;
    bool lowDataMode() const;
    // The current tenant code; empty when none.
    QString tenantCode() const;
    void setTenantCode(const QString &tenantCode);

private:
    bool switchOn(const QString &key, bool whenAbsent) const;
    // Writes `data` unless encoding failed (none).
    void writeData(const QString &key, const std::optional<QByteArray> &data);

    DefaultsStore &m_defaults;
    Clock &m_clock;
};

} // namespace vesk
