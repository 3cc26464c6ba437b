#pragma once

#include "wire/policy/Weekdays.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <optional>

namespace vesk {

// How app updates are installed on the machines that carry the policy. Every key may
// be absent; a pin map that does not read as text-to-text is taken as no pins.
struct UpdatePolicy {
    enum class Mode { adminApproved, automatic, localAllowed };

    Mode mode = Mode::adminApproved;
    int windowStart = 1; // first hour of the automatic-install window
    int windowEnd = 5;   // hour at which the window closes
    Weekdays days = Weekdays::everyDay();
    QMap<QString, QString> pinnedVersions; // bundle identifier → version

    static QString rawValue(Mode mode);
    static std::optional<Mode> modeFromRawValue(const QString &raw);
    // The console's sentence for each mode.
    static QString description(Mode mode);

    static std::optional<UpdatePolicy> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const UpdatePolicy &) const = default;
};

} // namespace vesk
