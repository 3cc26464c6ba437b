#pragma once

#include <QString>

namespace vesk::fleetd {

// A tenant: whoever owns machines on the fleet server. Codes are the account codes
// of upload credentials ("ABCD1234") and are matched without regard to case.
struct TenantRecord {
    qint64 id = 0;
    QString code;
};

} // namespace vesk::fleetd
