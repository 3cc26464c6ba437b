#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// The App Management switch as the system's settings show it, read from the privacy
// databases: the first database (in the order given) holding a row for `clientId` decides,
// auth_value 2 or more being on. None when no database is readable or none has a row.
// Each database is opened read-only and closed again.
namespace PrivacyDatabase {

inline constexpr const char *appManagementQuery = "SELECT auth_value FROM access\n"
                                                  "WHERE service = 'kTCCServiceSystemPolicyAppBundles' AND client = ?\n"
                                                  "ORDER BY auth_value DESC LIMIT 1";

std::optional<bool> appManagementSwitch(const QStringList &databases, const QString &clientId);

} // namespace PrivacyDatabase

} // namespace vesk
