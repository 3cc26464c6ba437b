#include "settings/FleetSettingsStore.h"

#include "platform/Clock.h"
#include "platform/DefaultsStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QVariantList>

namespace vesk {

namespace {

template <class T> std::optional<QList<T>> decodeList(const QByteArray &data)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<T> items;
    const QJsonArray array = document.array();
    for (const QJsonValue &value : array) {
        std::optional<T> item = T::fromJson(value, nullptr);
        if (!item)
            return std::nullopt;
        items.append(std::move(*item));
    }
    return items;
}

// Encoded data that reads back as the same list; none when something in it cannot
// be written faithfully (an invalid date, for one).
template <class T> std::optional<QByteArray> encodeList(const QList<T> &items)
{
    QJsonArray array;
    for (const T &item : items)
        array.append(item.toJson());
    QByteArray data = QJsonDocument(array).toJson(QJsonDocument::Compact);
    if (decodeList<T>(data) != items)
        return std::nullopt;
    return data;
}

// The older form of the suppression list: bare serial numbers. The INI backend reads a
// one-element list back as a single text, so that counts as a list of one.
std::optional<QStringList> legacySerialList(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QStringList:
        return value.toStringList();
    case QMetaType::QString: {
        // Only a bare serial: JSON text written as a string by mistake is no old list.
        const QString text = value.toString().trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char('[')) || text.startsWith(QLatin1Char('{')))
            return std::nullopt;
        return QStringList{text};
    }
    case QMetaType::QVariantList: {
        QStringList serials;
        const QVariantList items = value.toList();
        for (const QVariant &item : items) {
            if (item.typeId() != QMetaType::QString)
                return std::nullopt;
            serials.append(item.toString());
        }
        return serials;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

QString UpdateSearchScopes::rawValue(UpdateSearchScope scope)
{
    switch (scope) {
    case UpdateSearchScope::applicationsFolder:
        return QStringLiteral("applicationsFolder");
    case UpdateSearchScope::entireMachine:
        return QStringLiteral("entireMachine");
    }
    return {};
}

std::optional<UpdateSearchScope> UpdateSearchScopes::fromRawValue(const QString &raw)
{
    for (UpdateSearchScope scope : {UpdateSearchScope::applicationsFolder, UpdateSearchScope::entireMachine}) {
        if (rawValue(scope) == raw)
            return scope;
    }
    return std::nullopt;
}

FleetSettingsStore::FleetSettingsStore(DefaultsStore &defaults, Clock &clock)
    : m_defaults(defaults)
    , m_clock(clock)
{
}

void FleetSettingsStore::registerFleetDefaults()
{
    namespace keys = FleetSettingsKeys;
    QVariantMap switches;
    switches.insert(keys::fleetReportingEnabled, true);
    switches.insert(keys::systemHealthReporting, true);
    switches.insert(keys::appStateReporting, true);
    switches.insert(keys::appManagementEnabled, true);
    switches.insert(keys::foregroundAppReporting, false);
    switches.insert(keys::sensitiveTelemetryEnabled, false);
    switches.insert(keys::remoteCommandsEnabled, true);
    m_defaults.registerDefaults(switches);
}

bool FleetSettingsStore::switchOn(const QString &key, bool whenAbsent) const
{
    return m_defaults.hasObject(key) ? m_defaults.boolValue(key) : whenAbsent;
}

bool FleetSettingsStore::fleetReportingEnabled() const
{
    return m_defaults.boolValue(FleetSettingsKeys::fleetReportingEnabled);
}

bool FleetSettingsStore::systemHealthReporting() const
{
    return m_defaults.boolValue(FleetSettingsKeys::systemHealthReporting);
}

bool FleetSettingsStore::appStateReporting() const
{
    return m_defaults.boolValue(FleetSettingsKeys::appStateReporting);
}

bool FleetSettingsStore::appManagementEnabled() const
{
    return m_defaults.boolValue(FleetSettingsKeys::appManagementEnabled);
}

bool FleetSettingsStore::foregroundAppReporting() const
{
    return m_defaults.boolValue(FleetSettingsKeys::foregroundAppReporting);
}

bool FleetSettingsStore::sensitiveTelemetryEnabled() const
{
    return m_defaults.boolValue(FleetSettingsKeys::sensitiveTelemetryEnabled);
}

bool FleetSettingsStore::remoteCommandsEnabled() const
{
    return m_defaults.boolValue(FleetSettingsKeys::remoteCommandsEnabled);
}

bool FleetSettingsStore::autoStartServices() const
{
    return switchOn(FleetSettingsKeys::autoStartServices, true);
}

bool FleetSettingsStore::autoRestartServices() const
{
    return switchOn(FleetSettingsKeys::autoRestartServices, true);
}

UpdateSearchScope FleetSettingsStore::updateSearchScope() const
{
    return UpdateSearchScopes::fromRawValue(m_defaults.stringValue(FleetSettingsKeys::updateSearchScope))
        .value_or(UpdateSearchScope::entireMachine);
}

QList<AlertSuppression> FleetSettingsStore::suppressedSerials()
{
    const QString key = FleetSettingsKeys::suppressedSerials;
    const QVariant stored = m_defaults.object(key);
    if (stored.typeId() == QMetaType::QByteArray)
        return decodeList<AlertSuppression>(stored.toByteArray()).value_or(QList<AlertSuppression>());

    const std::optional<QStringList> serials = legacySerialList(stored);
    if (!serials)
        return {};
    QList<AlertSuppression> suppressions;
    const QDateTime now = m_clock.now();
    for (const QString &serial : *serials)
        suppressions.append(AlertSuppression{serial, SuppressionDuration::indefinitely, now});
    writeData(key, encodeList(suppressions));
    return suppressions;
}

void FleetSettingsStore::setSuppressedSerials(const QList<AlertSuppression> &suppressions)
{
    writeData(FleetSettingsKeys::suppressedSerials, encodeList(suppressions));
}

QList<LocationNotificationRule> FleetSettingsStore::locationNotificationRules() const
{
    return decodeList<LocationNotificationRule>(m_defaults.dataValue(FleetSettingsKeys::locationNotificationRules))
        .value_or(QList<LocationNotificationRule>());
}

void FleetSettingsStore::setLocationNotificationRules(const QList<LocationNotificationRule> &rules)
{
    writeData(FleetSettingsKeys::locationNotificationRules, encodeList(rules));
}

void FleetSettingsStore::upsertLocationRule(const LocationNotificationRule &rule)
{
    QList<LocationNotificationRule> rules = locationNotificationRules();
    rules.removeIf([&](const LocationNotificationRule &r) { return r.locationCode == rule.locationCode; });
    if (rule.isMuted(m_clock.now()) || !rule.disabledCategories.isEmpty())
        rules.append(rule);
    setLocationNotificationRules(rules);
}

QList<ScheduledDeviceAction> FleetSettingsStore::scheduledActions() const
{
    return decodeList<ScheduledDeviceAction>(m_defaults.dataValue(FleetSettingsKeys::scheduledActions))
        .value_or(QList<ScheduledDeviceAction>());
}

void FleetSettingsStore::setScheduledActions(const QList<ScheduledDeviceAction> &actions)
{
    writeData(FleetSettingsKeys::scheduledActions, encodeList(actions));
}

void FleetSettingsStore::removeScheduledAction(const QUuid &id)
{
    QList<ScheduledDeviceAction> actions = scheduledActions();
    actions.removeIf([&](const ScheduledDeviceAction &action) { return action.id == id; });
    setScheduledActions(actions);
}

std::optional<RemoteMessage> FleetSettingsStore::activeRemoteMessage() const
{
    const QByteArray data = m_defaults.dataValue(FleetSettingsKeys::activeRemoteMessage);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return RemoteMessage::fromJson(document.object(), nullptr);
}

void FleetSettingsStore::setActiveRemoteMessage(const std::optional<RemoteMessage> &message)
{
    if (!message) {
        m_defaults.remove(FleetSettingsKeys::activeRemoteMessage);
        return;
    }
    const QByteArray data = QJsonDocument(message->toJson()).toJson(QJsonDocument::Compact);
    const std::optional<RemoteMessage> readBack = RemoteMessage::fromJson(QJsonDocument::fromJson(data).object(), nullptr);
    writeData(FleetSettingsKeys::activeRemoteMessage, readBack == message ? std::optional(data) : std::nullopt);
}

bool FleetSettingsStore::hideWindowAtLaunch() const
{
    return m_defaults.boolValue(FleetSettingsKeys::hideWindowAtLaunch);
}

bool FleetSettingsStore::agentMode() const
{
    return m_defaults.boolValue(FleetSettingsKeys::agentMode);
}

bool FleetSettingsStore::lowDataMode() const
{
    return m_defaults.boolValue(FleetSettingsKeys::lowDataMode);
}

QString FleetSettingsStore::tenantCode() const
{
    return m_defaults.stringValue(FleetSettingsKeys::tenantCode);
}

void FleetSettingsStore::setTenantCode(const QString &tenantCode)
{
    m_defaults.setValue(FleetSettingsKeys::tenantCode, tenantCode);
}

void FleetSettingsStore::writeData(const QString &key, const std::optional<QByteArray> &data)
{
    if (data)
        m_defaults.setValue(key, *data);
}

} // namespace vesk
