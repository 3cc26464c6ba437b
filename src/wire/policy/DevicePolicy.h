#pragma once

#include "wire/policy/AppRestartRule.h"
#include "wire/policy/KeepAliveRule.h"
#include "wire/policy/MonitoredShare.h"
#include "wire/policy/RestartSchedule.h"
#include "wire/policy/RetentionRule.h"
#include "wire/policy/UpdatePolicy.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace vesk {

// The rules an administrator assigns to machines. Every key may be absent and takes its
// default; a key that is present but malformed fails the whole policy (only the pin
// map inside the update policy is forgiven). The agent's own files hold these
// camelCase keys; the wire form is their snake_case conversion.
struct DevicePolicy {
    QUuid id = QUuid::createUuid();
    QString name = QStringLiteral("New Policy");
    RestartSchedule restartSchedule;
    QList<KeepAliveRule> keepAliveRules;
    QList<AppRestartRule> appRestartRules;
    UpdatePolicy updatePolicy;
    QList<RetentionRule> retentionRules;
    QList<MonitoredShare> monitoredShares;
    QStringList assignedSerials;

    static std::optional<DevicePolicy> fromJson(const QJsonValue &json, QString *error);
    // The member that carries a list of policies in the policy directory's answer.
    static QString listKey();
    QJsonObject toJson() const;
    bool operator==(const DevicePolicy &) const = default;
};

} // namespace vesk
