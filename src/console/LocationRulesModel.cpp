#include "console/LocationRulesModel.h"

#include "platform/Clock.h"
#include "settings/FleetSettingsStore.h"

#include <algorithm>

namespace vesk {

LocationRulesModel::LocationRulesModel(FleetSettingsStore &store, Clock &clock, QObject *parent)
    : QObject(parent), m_store(store), m_clock(clock)
{
    reload();
}

void LocationRulesModel::reload()
{
    m_rules = m_store.locationNotificationRules();
    emit changed();
}

QList<LocationRulesModel::Row> LocationRulesModel::rows() const
{
    const QDateTime now = m_clock.now();
    QList<Row> rows;
    for (const LocationNotificationRule &rule : m_rules) {
        Row row{rule.locationCode, rule.locationCode, rule.statusText(now), rule.isMuted(now)};
        if (!rule.locationName.isEmpty() && rule.locationName != rule.locationCode)
            row.title = QStringLiteral("%1 (%2)").arg(rule.locationName, rule.locationCode);
        if (!row.muted)
            row.status = rule.disabledCategories.isEmpty()
                             ? LocationRuleTexts::notifying
                             : LocationRuleTexts::offPrefix + rule.disabledCategories.join(QStringLiteral(", "));
        rows.append(row);
    }
    return rows;
}

int LocationRulesModel::rowOf(const QString &locationCode) const
{
    for (int i = 0; i < m_rules.size(); ++i)
        if (m_rules[i].locationCode == locationCode)
            return i;
    return -1;
}

bool LocationRulesModel::categoryEnabled(const QString &locationCode, AlertCategory category) const
{
    const auto rule = std::find_if(m_rules.cbegin(), m_rules.cend(),
                                   [&](const LocationNotificationRule &r) { return r.locationCode == locationCode; });
    return rule == m_rules.cend() || !rule->disabledCategories.contains(AlertCategories::rawValue(category));
}

bool LocationRulesModel::add(const QString &locationCode, const QString &locationName)
{
    const QString code = locationCode.trimmed();
    const QString name = locationName.trimmed().isEmpty() ? code : locationName.trimmed();
    if (code.isEmpty()) {
        m_message = LocationRuleTexts::noCode;
        emit changed();
        return false;
    }
    m_message.clear();
    if (LocationNotificationRule *rule = find(code))
        rule->locationName = name;
    else
        m_rules.append(LocationNotificationRule{code, name, std::nullopt, std::nullopt, {}});
    save();
    return true;
}

void LocationRulesModel::mute(const QString &locationCode, SuppressionDuration duration)
{
    if (LocationNotificationRule *rule = find(locationCode)) {
        rule->mutedDuration = duration;
        rule->mutedAt = m_clock.now();
        save();
    }
}

void LocationRulesModel::unmute(const QString &locationCode)
{
    if (LocationNotificationRule *rule = find(locationCode)) {
        rule->mutedDuration.reset();
        rule->mutedAt.reset();
        save();
    }
}

void LocationRulesModel::setCategoryEnabled(const QString &locationCode, AlertCategory category, bool enabled)
{
    LocationNotificationRule *rule = find(locationCode);
    if (!rule)
        return;
    QStringList disabled;
    // Kept in the console's category order, whatever order the switches were flipped in.
    for (const AlertCategory each : AlertCategories::all()) {
        const QString raw = AlertCategories::rawValue(each);
        const bool off = each == category ? !enabled : rule->disabledCategories.contains(raw);
        if (off)
            disabled.append(raw);
    }
    rule->disabledCategories = disabled;
    save();
}

void LocationRulesModel::remove(const QString &locationCode)
{
    if (m_rules.removeIf([&](const LocationNotificationRule &r) { return r.locationCode == locationCode; }) > 0)
        save();
}

LocationNotificationRule *LocationRulesModel::find(const QString &locationCode)
{
    const auto rule = std::find_if(m_rules.begin(), m_rules.end(),
                                   [&](const LocationNotificationRule &r) { return r.locationCode == locationCode; });
    return rule == m_rules.end() ? nullptr : &*rule;
}

void LocationRulesModel::save()
{
    // The whole list as shown, so a location just added stays listed while the user picks its
    // mute or categories; the alert service's pruning drops a rule that then does neither.
    m_store.setLocationNotificationRules(m_rules);
    emit changed();
}

} // namespace vesk
