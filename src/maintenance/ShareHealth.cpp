#include "maintenance/ShareHealth.h"

namespace vesk {

QString shareStatusRawValue(ShareStatus status)
{
    switch (status) {
    case ShareStatus::unknown:
        return QStringLiteral("unknown");
    case ShareStatus::checking:
        return QStringLiteral("checking");
    case ShareStatus::mounted:
        return QStringLiteral("mounted");
    case ShareStatus::notMounted:
        return QStringLiteral("notMounted");
    case ShareStatus::hostUnreachable:
        return QStringLiteral("hostUnreachable");
    case ShareStatus::stale:
        return QStringLiteral("stale");
    case ShareStatus::remounting:
        return QStringLiteral("remounting");
    case ShareStatus::disabled:
        return QStringLiteral("disabled");
    }
    return {};
}

} // namespace vesk
