#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <QUuid>

#include <optional>
#include <ostream>

namespace vesk {

// A season: the days of the year (both ends inclusive) on which a credential set is
// current. A season whose end comes before its start runs across the new year.
struct CredentialSchedule {
    QUuid id;
    QString credentialSetName;
    int startMonth = 1;
    int startDay = 1;
    int endMonth = 12;
    int endDay = 31;
    int priority = 0;           // higher wins where seasons overlap
    bool recurring = true;      // "Recurring yearly"
    std::optional<int> year;    // only meaningful when not recurring; 0 counts as every year

    // Whether the season covers `at`, read as a calendar date in `zone`.
    bool isActive(const QDateTime &at, const QTimeZone &zone) const;

    QJsonObject toJson() const;
    static std::optional<CredentialSchedule> fromJson(const QJsonObject &json);

    bool operator==(const CredentialSchedule &) const = default;
};

// The whole stored list; an empty list when any element does not decode.
QJsonArray credentialSchedulesToJson(const QList<CredentialSchedule> &schedules);
QList<CredentialSchedule> credentialSchedulesFromJson(const QJsonArray &array);

std::ostream &operator<<(std::ostream &out, const CredentialSchedule &schedule);

} // namespace vesk
