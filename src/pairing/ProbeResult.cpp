#include "pairing/ProbeResult.h"

#include <ostream>

namespace vesk {

std::ostream &operator<<(std::ostream &out, const ProbeResult &result)
{
    switch (result.kind) {
    case ProbeResult::Kind::ok:
        return out << "ok(id=" << result.details.secretId << ", preview=" << result.details.secretPreview.toStdString()
                   << ", tenant=" << result.details.tenantCode.toStdString() << ")";
    case ProbeResult::Kind::error:
        return out << "error(\"" << result.message.toStdString() << "\")";
    case ProbeResult::Kind::serialUnknown:
        return out << "serialUnknown";
    case ProbeResult::Kind::tenantHasNoSecret:
        return out << "tenantHasNoSecret";
    case ProbeResult::Kind::throttled:
        return out << "throttled";
    }
    return out;
}

} // namespace vesk
