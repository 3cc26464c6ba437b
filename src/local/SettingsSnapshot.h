#pragma once

#include "wire/policy/DevicePolicy.h"
#include "wire/policy/MonitoredShare.h"
#include "wire/policy/RetentionRule.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>
#include <variant>

namespace vesk {

// The console's preferences carried from one machine to the next. Every field is optional:
// absent in the file (or unset on the exporting machine) means "leave this machine's value".
struct TransferPreferences {
    std::optional<bool> lowDataMode;
    std::optional<QString> alertScope;
    std::optional<QString> photographer;
    std::optional<QString> eventcode;
    std::optional<bool> workflowShowSoftware;
    std::optional<bool> workflowShowUpdates;
    std::optional<bool> workflowShowInstalledApps;
    std::optional<bool> workflowShowPolicies;
    std::optional<bool> workflowShowPolicyManager;
    std::optional<bool> workflowShowEnforcementLog;
    std::optional<bool> workflowShowFolderCleanup;
    std::optional<bool> workflowShowNetworkShares;
    std::optional<bool> workflowShowFleetManagement;
    std::optional<bool> hideWindowAtLaunch;
    std::optional<bool> autoStartServices;
    std::optional<bool> autoRestartServices;
    std::optional<bool> scheduledRestartEnabled;
    std::optional<int> scheduledRestartHour;
    std::optional<int> scheduledRestartMinute;
    std::optional<int> scheduledRestartDays;
    std::optional<bool> autoLockOnLaunch;
    std::optional<QMap<QString, QString>> pinnedVersions;

    bool operator==(const TransferPreferences &) const = default;
};

// Why a settings file was refused; the text is what the operator reads.
enum class TransferError {
    unreadableFile,   // "The file could not be read."
    notASettingsFile, // "This isn't a Vesk Warden settings file."
};
QString transferErrorText(TransferError error);

// One machine's set-up as a file: preferences, the local policy library, this machine's own
// cleanup rules and shares. Never lock hashes, share passwords, the fleet secret, alert
// history or anything a policy brought.
struct SettingsSnapshot {
    static constexpr int currentFormatVersion = 1;
    // Our files are a few kilobytes; anything this large is not one of them.
    static constexpr qint64 maxFileBytes = 32LL * 1024 * 1024;

    int formatVersion = currentFormatVersion;
    std::optional<QDateTime> exportedAt;
    std::optional<QString> appVersion;
    TransferPreferences preferences;
    QList<DevicePolicy> policies;
    QList<RetentionRule> retentionRules;
    QList<MonitoredShare> monitoredShares;

    // Pretty-printed JSON, keys sorted, dates as ISO 8601 text.
    QByteArray encode() const;
    // The snapshot, or notASettingsFile when a required field is missing or malformed. The
    // format version is not compared: a later version that still decodes is accepted.
    static std::variant<SettingsSnapshot, TransferError> decode(const QByteArray &bytes);

    bool operator==(const SettingsSnapshot &) const = default;
};

} // namespace vesk
