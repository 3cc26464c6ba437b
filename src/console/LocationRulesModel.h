#pragma once

#include "alerts/WardenAlert.h"
#include "settings/LocationNotificationRule.h"

#include <QList>
#include <QObject>
#include <QString>

namespace vesk {

class Clock;
class FleetSettingsStore;

namespace LocationRuleTexts {
inline const QString mutedBanner = QStringLiteral("All notifications from this location are muted.");
inline const QString notifying = QStringLiteral("Notifying");
inline const QString offPrefix = QStringLiteral("Off: ");
inline const QString noCode = QStringLiteral("Enter the location's event code first.");
} // namespace LocationRuleTexts

// The per-location notification rules behind the Alerts screen's "Location notification rules":
// add a location, mute it for a while or turn it back on, switch single alert categories off
// and on, remove it. The settings store holds the list; each change is written there at once,
// and the list is read back from it, so the alert service's pruning shows on the next reload.
class LocationRulesModel final : public QObject {
    Q_OBJECT
public:
    struct Row {
        QString locationCode;
        QString title;  // "Name (CODE)", or the code alone when the name is the code
        QString status; // the mute's text, else the categories switched off, else "Notifying"
        bool muted = false;
    };

    LocationRulesModel(FleetSettingsStore &store, Clock &clock, QObject *parent = nullptr);

    // Reads the list from the store again.
    void reload();
    const QList<LocationNotificationRule> &rules() const { return m_rules; }
    QList<Row> rows() const;
    // The row of a location, -1 when it has no rule.
    int rowOf(const QString &locationCode) const;
    // The result of the last add: empty after success, else why it was refused.
    const QString &message() const { return m_message; }
    bool categoryEnabled(const QString &locationCode, AlertCategory category) const;

    // A new location starts with everything on; an existing one only takes the new name.
    bool add(const QString &locationCode, const QString &locationName);
    void mute(const QString &locationCode, SuppressionDuration duration);
    void unmute(const QString &locationCode);
    void setCategoryEnabled(const QString &locationCode, AlertCategory category, bool enabled);
    void remove(const QString &locationCode);

signals:
    void changed();

private:
    LocationNotificationRule *find(const QString &locationCode);
    void save();

    FleetSettingsStore &m_store;
    Clock &m_clock;
    QList<LocationNotificationRule> m_rules;
    QString m_message;
};

} // namespace vesk
